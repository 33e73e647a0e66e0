#include "editor/RedeyeTool.h"

#include <cstring>
#include <mutex>

#include "editor/ProgressRunner.h"
#include "filters/RedEye.h"
#include "ui/UIResources.h"

void CRedeyeTool::ApplyStroke() {
  // Values 0 and 1 are no marks. Only the changed area is visited: pixels
  // outside it keep the coverage they were blended with.
  BlendCovered(
      1, [](std::int32_t u, std::uint16_t* pixel, const std::uint16_t* old, std::int32_t, std::int32_t) {
        const std::int64_t e = 255 - u / 2;
        pixel[2] = static_cast<std::uint16_t>(old[2] * e / 255);
        pixel[1] = static_cast<std::uint16_t>((std::int64_t{u / 2} * 65535 + old[1] * e) / 255);
        pixel[0] = static_cast<std::uint16_t>(old[0] * e / 255);
      });
}

void CRedeyeTool::CommitStroke() {
  CBFLayer* layer = TargetLayer();
  CBFDoc* document = Document();
  if (!layer || !document) return;
  CPlane8 marks;
  if (!CBFLayer::CropPlaneToLayer(*layer, marks, strokePlane)) return;
  {
    // The veil goes away.
    std::lock_guard guard(layer->m_lock);
    if (layer->m_image.byteSize == backup.byteSize && !backup.IsEmpty())
      std::memcpy(layer->m_image.pixels, backup.pixels, backup.byteSize);
  }
  document->m_modified = 1;
  RedEyeParams params;
  params.eyeMask = &marks;
  CRedEye redEye;
  if (!RunWithProgress(redEye, &params, Text(u"hisRedeye"), &layer->m_image, layer->m_x, layer->m_y)) return;
  document->m_modified = 1;
  const CBFLayer* still = TargetLayer();
  if (!still) return;
  const Rect r = LayerStrokeRect(*still);
  if (r.IsEmpty()) return;
  if (!RecordStrokeStep(*still, r, u"hisTempPainting")) UIResources().WriteLog("Red-eye step not recorded");
}

bool CRedeyeTool::RecordToolStep() { return RecordLayerStep(u"hisRedeye"); }
