#include "output/SaveCommands.h"

#include <cstdint>

#include "editor/CommandRegistry.h"
#include "editor/SEditPage.h"
#include "output/SaveDlg.h"

void RegisterSaveCommands() {
  EditCommands().Register(kCmdSave, [](CSEditPage& page, const SpriteMessage&) -> std::int32_t {
    CSaveDlg dialog(&page.document, &page.imageInfo);
    if (!dialog.Create(CSaveDlg::kTemplateId)) return 0;
    return dialog.RunModal() == kIdOk ? 1 : 0;
  });
  EditCommands().Register(kCmdExportLayer, [](CSEditPage& page, const SpriteMessage&) -> std::int32_t {
    const CBFLayer* layer = page.document.GetCurrentLayer();
    if (!layer) return 0;
    CSaveDlg dialog(&page.document, &page.imageInfo);
    return dialog.ExportLayer(layer->m_image, layer->Name()) ? 1 : 0;
  });
}
