#pragma once
// CAboutSprite: the about box: the skin picture "about.png" with the version
// line drawn on it (right end at x 529, top at 279), centred in the window.
// RunModal opens it as a popup and runs the UI queue until the first click
// or key that comes more than 200 ms after it opened (so the click that
// opened it does not close it), then fades it out and takes it out of the
// window and the registry.
//
// The caller creates it without a parent in the live render window (sprite
// id 9999, layer 170), adds it to the window's top-level sprites and calls
// RunModal; a creation fails, and nothing is shown, when "about.png" is not
// in the skin folder or the line cannot be rendered.

#include <atomic>
#include <cstdint>

#include "image/BgraImage.h"
#include "ui/PopupSprite.h"

class CAboutSprite : public CPopupSprite {
public:
  static constexpr std::int32_t kSpriteId = 9999;
  static constexpr std::int32_t kLayer = 170;
  static constexpr std::uint32_t kIgnoreInputMs = 200;
  static constexpr std::int32_t kVersionRight = 529;
  static constexpr std::int32_t kVersionTop = 279;
  static constexpr std::u16string_view kVersionLine = u"version 1.0.";

  ~CAboutSprite() override;
  // Loads the picture, renders the line and centres the sprite.
  [[nodiscard]] bool OnSpriteCreate() override;
  bool Draw(std::uint32_t now) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnRButtonDown(Point point, std::uint32_t flags) override;
  void OnChar(std::uint32_t character, std::uint32_t repeat, std::uint32_t flags) override;
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;

  // Shows the box and waits until it is closed; then it is out of the
  // window. False when the sprite was not created in a live window.
  [[nodiscard]] bool RunModal();

  CBgraImage picture;
  CBgraImage versionText;  // coverage
  std::atomic<std::uint32_t> openedAt{0};
  std::atomic<std::int32_t> closedFlag{0};

private:
  // Input closes the box once 200 ms have passed since it opened.
  void CloseOnInput();
};
