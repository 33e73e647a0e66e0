#pragma once
// CTool: an editing tool of the edit canvas. One long-lived instance of
// each tool serves every edit page (the tool set holds them); while a tool
// is current on a canvas (its host view) it receives the canvas's mouse and
// key input in tool coordinates (CanvasPoint), paints its marks into the
// canvas's overlay and may show an option panel in the canvas's toolbar
// band. A tool re-reads the document from its host view when it is
// activated and keeps no document pointer from one activation to the next.
//
// The defaults of every operation are those of a tool that ignores it:
// input handlers answer 0 (not handled), the rest do nothing.
//
// Threads: DrawOverlay runs on the render thread inside the canvas's
// surface update, with the canvas's sprite lock held. Everything else runs
// on the UI thread, which changes whatever DrawOverlay reads (points,
// corners, flags, pictures) only inside LockOverlay.

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "editor/CanvasPoint.h"
#include "editor/PreviewObject.h"
#include "editor/ToolId.h"

struct CBgraImage;
class CPanelSprite;
class CSEditView;
struct SpriteMessage;

class CTool : public CPreviewObject {
public:
  static constexpr std::size_t kNameLength = 128;
  // Mouse buttons as the handlers receive them.
  static constexpr std::int32_t kLeftButton = 1;
  static constexpr std::int32_t kRightButton = 0;
  // The option panel's sprite id is the tool id plus this.
  static constexpr std::int32_t kOptionPanelIdBase = 30000;

  CTool() = default;
  CTool(const CTool&) = delete;
  CTool& operator=(const CTool&) = delete;

  // Virtual operations, in slot order.
  // The overlay surface (the content rectangle's size, already cleared).
  void DrawOverlay(CBgraImage& target, std::uint32_t frameTime) override;
  virtual std::int32_t OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t flags);
  virtual std::int32_t OnButtonUp(std::int32_t button, CanvasPoint point, std::uint32_t flags);
  virtual std::int32_t OnDoubleClick(std::int32_t button, CanvasPoint point, std::uint32_t flags);
  // leftDown: the canvas's record of a left press that went to the tool.
  virtual std::int32_t OnMouseMove(std::int32_t leftDown, CanvasPoint previous, CanvasPoint point);
  // Shift (16) or Ctrl (17) down or up.
  virtual std::int32_t OnModifierKey(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags);
  // isVirtual 1: a virtual-key code; 0: a typed character.
  virtual std::int32_t OnKey(std::uint32_t key, std::int32_t isVirtual, std::uint32_t flags);
  virtual std::int32_t IsBusy();
  virtual void OnCaptureLost();
  virtual std::int32_t GetKind();
  // 0 refuses: the tool does not become current (a tool that cannot start
  // tells the user why first).
  [[nodiscard]] virtual std::int32_t Activate() = 0;
  virtual void Deactivate();
  // Stores the id, the icon (not owned) and the name (cut to 125 characters
  // and ".."); 0 when the icon is missing or empty.
  [[nodiscard]] virtual std::int32_t Init(std::int32_t id, CBgraImage* picture, std::u16string_view text);
  // Messages from the tool's option panel, and algorithm progress.
  virtual void OnMessage(const SpriteMessage& message);

  std::u16string Name() const;
  // The host view's sprite lock, under which the overlay is drawn; an empty
  // lock before the tool has a host view.
  std::unique_lock<std::recursive_mutex> LockOverlay();

  std::int32_t busy = 0;
  std::int32_t capture = 0;  // a drag holds the mouse capture: input also over the canvas's children
  CSEditView* hostView = nullptr;
  std::int32_t toolId = 0;
  CBgraImage* icon = nullptr;
  std::array<char16_t, kNameLength> name{};
  CPanelSprite* optionPanel = nullptr;

protected:
  ~CTool() = default;
  // The common part of an option panel: no parent, the live window, sprite
  // id toolId + 30000, layer 5, (0, 0, width, 40), no background; created
  // and registered. The tool then adds its items and sets optionPanel. 0 on
  // failure.
  [[nodiscard]] std::int32_t CreateOptionPanel(CPanelSprite& panel, std::int32_t width);
};
