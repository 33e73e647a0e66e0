#include "editor/RepairTool.h"

#include <cstring>
#include <mutex>

#include "editor/ProgressRunner.h"
#include "filters/ImageInpainting.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

void CRepairTool::ApplyStroke() {
  BlendCovered(
      0, [](std::int32_t u, std::uint16_t* pixel, const std::uint16_t* old, std::int32_t, std::int32_t) {
        const std::int64_t keep = 255 - u;
        pixel[2] = static_cast<std::uint16_t>(old[2] * keep / 255);
        pixel[1] = static_cast<std::uint16_t>((std::int64_t{u} * 65535 + old[1] * keep) / 255);
        pixel[0] = static_cast<std::uint16_t>(old[0] * keep / 255);
      });
}

void CRepairTool::CommitStroke() {
  CBFLayer* layer = TargetLayer();
  CBFDoc* document = Document();
  if (!layer || !document) return;
  CPlane8 marks;
  if (!CBFLayer::CropPlaneToLayer(*layer, marks, strokePlane)) return;
  InpaintingParams params;
  params.mask = &marks;
  params.patchSize = brush.size;
  params.edgePatchesOnly = 0;
  params.reserved = 1;
  CImageInpainting inpainting;
  // The fill works on the layer's pixels from before the stroke.
  const bool finished =
      RunWithProgress(inpainting, &params, Text(u"selinpaint"), &backup, layer->m_x, layer->m_y);
  if (!finished) {
    (void)ShowMessageBox(Text(u"smarterasefaild"), MessageBoxIcon::Information,
                         MessageBoxButtons::Ok);  // an OK box has one answer
  }
  CBFLayer* still = TargetLayer();
  if (!still) return;
  {
    // The fill, or after a failure the pixels from before the stroke.
    std::lock_guard guard(still->m_lock);
    if (still->m_image.byteSize == backup.byteSize && !backup.IsEmpty())
      std::memcpy(still->m_image.pixels, backup.pixels, backup.byteSize);
  }
  document->m_modified = 1;
  if (!finished) return;
  const Rect r = LayerStrokeRect(*still);
  if (r.IsEmpty()) return;
  if (!RecordStrokeStep(*still, r, u"hisTempPainting")) UIResources().WriteLog("Repair step not recorded");
}

bool CRepairTool::RecordToolStep() { return RecordLayerStep(u"hismarterase"); }
