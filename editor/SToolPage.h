#pragma once
// CSToolPage: the "tools" panel in the side column of an edit page: a strip
// of 30-pixel buttons, one per editing tool of the tool set (the third row,
// crop to text, only outside external-editor mode), and the no-tool button
// (99999), enabled exactly while a tool is current. It owns the one way the
// current tool of an edit page changes (SetCurrentTool), and every 30
// frames it enables the free crop button only for a one-layer document and
// the move and transform buttons only for a floating current layer.
//
// UI thread, but Draw (render thread), which only counts frames.

#include <atomic>
#include <cstdint>

#include "image/BgraImage.h"
#include "ui/widgets/PanelSprite.h"
#include "ui/widgets/STabPage.h"

class CSEditPage;
class CTool;
class IEditorShell;

// The page's frame tick, posted to itself every 30 frames: wparam 30.
inline constexpr std::int32_t kToolPageMsgTick = 101;

class CSToolPage final : public CSTabPage {
public:
  static constexpr std::int32_t kStripId = 1;
  static constexpr std::int32_t kButtonSide = 30;
  static constexpr std::int32_t kColumns = 5;
  static constexpr Rect kNoToolRect{160, 30, 190, 60};
  static constexpr std::int32_t kTickFrames = 30;

  explicit CSToolPage(IEditorShell& editorShell);

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // "no.png", the strip with its buttons; false when either fails.
  [[nodiscard]] bool OnSpriteCreate() override;
  // Counts frames; draws nothing.
  bool Draw(std::uint32_t now) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  void Destroy(int final) override;

  // The tool switch on the current edit page (nothing without one).
  void SetCurrentTool(CTool* tool);
  // The same on a given page: refused while its current tool is busy; the
  // old tool deactivated (kind 10000 or more), the new one handed to the
  // canvas and activated (no tool when it refuses), the page's strip and
  // selection panel updated.
  static void SwitchTool(CSEditPage& page, CTool* tool);
  // Enables the buttons by what the current edit page's document allows.
  void UpdateAvailability();

  IEditorShell& shell;
  CPanelSprite strip;
  CBgraImage noToolPicture;
  std::atomic<std::int32_t> frameCounter{0};

private:
  [[nodiscard]] bool AddToolButtons();
};
