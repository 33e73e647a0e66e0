#include "editor/Tool.h"

#include "editor/SEditView.h"
#include "image/BgraImage.h"
#include "platform/Utf16.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/SpriteWindow.h"
#include "ui/widgets/PanelSprite.h"

void CTool::DrawOverlay(CBgraImage&, std::uint32_t) {}

std::int32_t CTool::OnButtonDown(std::int32_t, CanvasPoint, std::uint32_t) { return 0; }

std::int32_t CTool::OnButtonUp(std::int32_t, CanvasPoint, std::uint32_t) { return 0; }

std::int32_t CTool::OnDoubleClick(std::int32_t, CanvasPoint, std::uint32_t) { return 0; }

std::int32_t CTool::OnMouseMove(std::int32_t, CanvasPoint, CanvasPoint) { return 0; }

std::int32_t CTool::OnModifierKey(std::uint32_t, std::uint32_t, std::uint32_t) { return 0; }

std::int32_t CTool::OnKey(std::uint32_t, std::int32_t, std::uint32_t) { return 0; }

std::int32_t CTool::IsBusy() { return busy; }

void CTool::OnCaptureLost() {}

std::int32_t CTool::GetKind() { return kToolKindPlain; }

void CTool::Deactivate() {}

std::int32_t CTool::Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) {
  if (!picture || picture->IsEmpty()) return 0;
  toolId = id;
  icon = picture;
  name.fill(0);
  CopyTextTruncated(name, text);
  return 1;
}

void CTool::OnMessage(const SpriteMessage&) {}

std::u16string CTool::Name() const { return std::u16string(name.data(), BoundedLength(name)); }

std::unique_lock<std::recursive_mutex> CTool::LockOverlay() {
  if (!hostView) return {};
  return std::unique_lock(hostView->lock);
}

std::int32_t CTool::CreateOptionPanel(CPanelSprite& panel, std::int32_t width) {
  constexpr std::int32_t kPanelLayer = 5;
  constexpr std::int32_t kPanelHeight = 40;
  if (!panel.Create(nullptr, LiveSpriteWindow(), toolId + kOptionPanelIdBase, {0, 0, width, kPanelHeight},
                    kPanelLayer))
    return 0;
  return 1;
}
