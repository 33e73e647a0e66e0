#pragma once
// CSCheckBox: the check box of a sprite dialog: the skin's 20-pixel glyph
// (enabled or disabled, ticked or not) and a caption wrapped at the width
// less 35. A press or the Space key flips it and tells the parent (when it
// takes sprite messages) with message 100: wparam the control's id, lparam
// the new state, 1 or 0. Setting the value tells no one. A disabled box
// (acceptsInput 0) is drawn in grey and ignores input. It takes the
// keyboard focus, so Tab reaches it.
//
// Threads: input on the UI thread, Draw on the render thread; the state is
// atomic and the caption picture changes only under the control's lock.

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "image/BgraImage.h"
#include "ui/DialogControl.h"
#include "ui/SkinSet.h"

// Sent to the parent when the user changes a check box or radio button.
inline constexpr std::int32_t kCheckMsgChanged = 100;

class CSCheckBox : public CDialogControl {
public:
  static constexpr std::int32_t kCaptionInset = 35;
  static constexpr Point kGlyphAt{2, 2};
  static constexpr Point kCaptionAt{28, 4};

  CSCheckBox();

  bool Draw(std::uint32_t now) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  bool CanTakeFocus() override { return true; }
  // "1" when ticked, else "0".
  void GetValue(std::span<char16_t> buffer) override;
  // The state becomes the text's leading integer (0 when none); nothing is
  // posted.
  void SetValue(std::u16string_view text) override;

  // Attaches as CSprite::Create on layer 2, keeps the caption and renders
  // it at the width less 35. The caller appends the box to its parent.
  [[nodiscard]] bool Create(CSprite* parentSprite, std::int32_t controlId, const Rect& controlRect,
                            std::u16string_view captionText);
  bool IsEnabled() const { return acceptsInput != 0; }
  bool IsChecked() const { return checkState != 0; }
  std::u16string Caption() const;

  std::atomic<std::int32_t> checkState{0};

protected:
  // The first of the four glyph cells of the box's kind.
  virtual SkinIcon FirstGlyph() const { return kIconCheckBox; }
  // Ticks (or, for a check box, flips) after a press or Space.
  virtual void Toggle();
  void Notify(std::int32_t state);

  std::u16string m_caption;   // under lock
  CBgraImage m_captionImage;  // under lock; coverage
};
