// The canvas's document actions behind the toolbar and the selection
// panel: saving, photo properties, printing, the wizard, adding an image as
// a layer, inpainting the selection and deleting the selected pixels. The
// dialogs of the program above the editor run through the command registry.

#include <algorithm>
#include <mutex>

#include "document/BFDoc.h"
#include "editor/CommandRegistry.h"
#include "editor/EditorShell.h"
#include "editor/ProgressRunner.h"
#include "editor/SEditPage.h"
#include "editor/SEditView.h"
#include "filters/ImageInpainting.h"
#include "image/ColourBgra16.h"
#include "platform/SettingsStore.h"
#include "ui/NotBuilt.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"
#include "ui/dialogs/ColorPickerDlg.h"
#include "ui/dialogs/FileChooser.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::u16string_view Text(std::u16string_view key) { return UIResources().texts.TextOrEmpty(key); }

[[nodiscard]] std::int32_t RunRegistered(CSEditPage& page, std::int32_t id) {
  SpriteMessage message;
  message.code = kMenuMsgCommand;
  message.wparam = static_cast<std::uint64_t>(id);
  return EditCommands().Run(id, page, message);
}

// The wizard's entries and the commands they run.
struct WizardEntry {
  std::int32_t entry;
  std::int32_t command;
};
constexpr WizardEntry kWizardEntries[] = {
    {11, 11003}, {12, 11000}, {13, 11008}, {21, 12003},
    {22, 12002}, {23, 12001}, {31, 13004}, {32, CSEditView::kWizardSharpen},
    {33, 13016}, {41, 13001}, {42, 13018}, {51, 10004},
    {52, 10007}, {53, 10008}, {54, 13017}, {61, 13002},
    {62, 13003}, {63, 10012}, {64, 13014}, {70, 12005},
    {90, 13013},
};
constexpr std::int32_t kWizardEraseEntry = 80;
constexpr std::int32_t kSmartEraseCommand = 13015;
constexpr std::int32_t kClearSkinCommand = 13003;

constexpr std::u16string_view kEditorSection = u"Editor";
constexpr std::u16string_view kFillNames[3] = {u"FillB", u"FillG", u"FillR"};

}  // namespace

std::int32_t CSEditView::SaveDocument() {
  const std::int32_t result = RunRegistered(page, kCmdSave);
  if (result == 1) {
    page.history.MarkSaved();
    page.shell.NotifyAlbumOfSave();
  }
  return result;
}

std::int32_t CSEditView::ShowPhotoProperties() { return RunRegistered(page, kCmdPhotoProperties); }

std::int32_t CSEditView::PrintDocument() { return RunRegistered(page, kCmdPrint); }

std::int32_t CSEditView::WizardEntryCommand(std::int32_t entry, bool hasSelection) {
  if (entry == kWizardEraseEntry) return hasSelection ? kSmartEraseCommand : kClearSkinCommand;
  for (const WizardEntry& e : kWizardEntries) {
    if (e.entry == entry) return e.command;
  }
  return 0;
}

std::int32_t CSEditView::RunWizard() {
  const std::int32_t entry = RunRegistered(page, kCmdWizard);
  if (entry <= 0) return 0;
  const std::int32_t command = WizardEntryCommand(entry, document && !document->m_selection.IsEmpty());
  if (command == kWizardSharpen) {
    WriteNotBuilt("Advanced sharpen");
  } else if (command != 0) {
    // Refused only while the window goes away.
    (void)PostSpriteMessage(&page, kMenuMsgCommand, static_cast<std::uint64_t>(command), 0, this);
  }
  return entry;
}

std::int32_t CSEditView::AddImageAsLayer() {
  std::filesystem::path path;
  if (!document || !FileChooser().ChooseOpenPath(u"addimg", u"AllSupportFile", path)) return 0;
  CBFDoc opened;
  const CBFLayer* layer = opened.OpenImageFile(path) ? opened.GetCurrentLayer() : nullptr;
  if (!layer || !document->InsertLayer(layer->m_image, layer->Name(), -1)) {
    (void)ShowMessageBox(Text(u"Cannotopenfile"), MessageBoxIcon::Error,
                         MessageBoxButtons::Ok);  // an OK box has one answer
    return 0;
  }
  document->m_modified = 1;
  if (!page.history.AddStep(kStepDocument, -1, Text(u"hisaddimage"), StepBlock::None, 0, {}))
    UIResources().WriteLog("Add-image step not recorded");
  return 1;
}

std::int32_t CSEditView::InpaintSelection() {
  if (!document || document->m_selection.IsEmpty()) return 1;
  CBFLayer* layer = document->GetCurrentLayer();
  if (!layer) return 0;
  CRenderWindow* window = RenderWindowOf(*this);
  if (window) window->ShowProgress({});
  const std::int32_t thickness = MeasureMaskThickness(document->m_selection);
  if (window) window->HideProgress();

  CPlane8 cropped;
  CPlane8* mask = &document->m_selection;
  if (layer->m_floating) {
    if (!CBFLayer::CropPlaneToLayer(*layer, cropped, document->m_selection)) return 0;
    mask = &cropped;
  }
  InpaintingParams params;
  params.mask = mask;
  params.patchSize = thickness;
  params.edgePatchesOnly = 0;
  params.reserved = 1;
  params.softenMask = 1;
  CImageInpainting inpainting;
  if (!RunWithProgress(inpainting, &params, Text(u"selinpaint"), &layer->m_image, layer->m_x, layer->m_y)) {
    (void)ShowMessageBox(Text(u"smarterasefaild"), MessageBoxIcon::Information,
                         MessageBoxButtons::Ok);  // an OK box has one answer
    return 0;
  }
  if (!page.history.AddStep(kStepLayer, -1, Text(u"hismarterase"), StepBlock::None, 0, {}))
    UIResources().WriteLog("Inpaint step not recorded");
  if (!document->m_selection.IsEmpty()) {
    page.KeepLastArea();
    std::lock_guard guard(document->m_lock);
    document->m_selection.Free();
  }
  document->m_modified = 1;
  return 1;
}

std::int32_t CSEditView::DeleteSelectionContent() {
  CBFLayer* layer = document ? document->GetCurrentLayer() : nullptr;
  if (!layer || document->m_selection.IsEmpty()) return 0;
  const CPlane8& selection = document->m_selection;
  const bool base = layer->m_floating == 0;
  std::uint32_t fill[3] = {0, 0, 0};  // B, G, R
  if (base) {
    CSettingsStore settings;
    for (int c = 0; c < 3; ++c) {
      std::uint32_t value = 0;
      if (settings.GetDword(CSettingsStore::Scope::CurrentUser, kEditorSection, kFillNames[c], value))
        fill[c] = std::min<std::uint32_t>(value, 0xFFFF);
    }
    const ColourBgra16 picked =
        PickColor(MakeColourBgra16(static_cast<std::uint16_t>(fill[2]), static_cast<std::uint16_t>(fill[1]),
                                   static_cast<std::uint16_t>(fill[0]), 0xFFFF));
    if (AlphaOf(picked) == 0) return 0;
    fill[0] = BlueOf(picked);
    fill[1] = GreenOf(picked);
    fill[2] = RedOf(picked);
    for (int c = 0; c < 3; ++c) {
      if (!settings.SetDword(kEditorSection, kFillNames[c], fill[c]))
        UIResources().WriteLog("Fill colour not kept");
    }
  }
  {
    std::lock_guard guard(layer->m_lock);
    CBgraImage16& image = layer->m_image;
    for (std::uint32_t y = 0; y < image.height; ++y) {
      const std::int64_t py = std::int64_t{layer->m_y} + y;
      if (py < 0 || py >= selection.height) continue;
      const std::uint8_t* mask = selection.Row(static_cast<std::uint32_t>(py));
      for (std::uint32_t x = 0; x < image.width; ++x) {
        const std::int64_t px = std::int64_t{layer->m_x} + x;
        if (px < 0 || px >= selection.width || mask[px] == 0) continue;
        const std::uint32_t v = mask[px];
        std::uint16_t* p = image.At(x, y);
        if (base) {
          for (int c = 0; c < 3; ++c)
            p[c] = static_cast<std::uint16_t>((fill[c] * v + p[c] * (255 - v)) / 255);
        } else {
          p[3] = static_cast<std::uint16_t>(std::uint32_t{p[3]} * (255 - v) / 255);
        }
      }
    }
  }
  if (!page.history.AddStep(kStepLayer, document->m_currentLayer, Text(u"hisdelsel"), StepBlock::None, 0, {}))
    UIResources().WriteLog("Delete step not recorded");
  document->m_modified = 1;
  return 1;
}
