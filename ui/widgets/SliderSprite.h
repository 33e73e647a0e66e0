#pragma once
// CSliderSprite: the value slider of parameter dialogs. It holds an integer
// value between a minimum and a maximum together with a scale: the user
// sees value / scale, so a scale of 10 gives one decimal. A track with a
// draggable thumb, a minus (id 1) and a plus (id 2) button that step the
// value, and a value button (id 10) that shows it with its unit. Changes
// the user makes go to the parent (kind bit 2) as sprite message 14 with
// wparam = value and lparam = scale; a drag posts once, when it ends. A
// click on the value button asks for a number or a fraction ("1/4") in the
// text input dialog, beside the slider's top-right corner. The
// accepts-input flag is the enabled flag: a disabled slider draws its track
// at half strength, no thumb, and ignores the mouse and keys.
//
// The track is (20, 0) to (width - 65, 20) of the slider; a press on it
// puts the thumb's centre under the pointer (through the travel, track less
// thumb), a drag moves the value by the pointer's way over the whole track.
// One step (wheel notch, arrow key, button) is about a pixel's worth of the
// range, at least one raw unit.
//
// Threads: the value, range and scale change on the UI thread under the
// slider's lock; the render thread draws under it.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "image/BgraImage.h"
#include "platform/Rect.h"
#include "ui/widgets/MoveOverSprite.h"
#include "ui/widgets/SButton.h"

inline constexpr std::int32_t kSliderMsgChanged = 14;  // wparam value, lparam scale

class CSliderSprite : public CMoveOverSprite {
public:
  static constexpr std::int32_t kMinusId = 1;
  static constexpr std::int32_t kPlusId = 2;
  static constexpr std::int32_t kValueId = 10;
  static constexpr std::size_t kUnitField = 8;
  static constexpr std::size_t kValueTextField = 64;
  static constexpr std::int32_t kTrackLeft = 20;
  static constexpr std::int32_t kTrackRightMargin = 65;
  static constexpr std::int32_t kHeight = 20;
  static constexpr std::int32_t kBarMargin = 45;
  static constexpr std::int32_t kValueFontSize = 12;
  static constexpr std::int32_t kInputLength = 31;

  CSliderSprite();
  ~CSliderSprite() override;

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // The three buttons and the two pictures; false when one fails.
  [[nodiscard]] bool OnSpriteCreate() override;
  bool Draw(std::uint32_t now) override;
  void OnMouseWheel(Point point, std::int32_t delta) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  bool CanTakeFocus() override { return true; }
  void OnCaptureReleased() override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // "%d" of the raw value.
  void GetValue(std::span<char16_t> buffer) override;
  // The raw value from the text's leading integer, clamped (no scaling: a
  // GetValue / SetValue round trip keeps the value); posts 14.
  void SetValue(std::u16string_view text) override;

  // Stores the five (the unit cut to 8 characters; a scale below 1 counts
  // as 1) without clamping the value or posting anything.
  void SetRange(std::int32_t newMinimum, std::int32_t newMaximum, std::int32_t newValue,
                std::int32_t newScale, std::u16string_view newUnit);
  // value = shown x scale, clamped in floating point, then rounded half away
  // from zero; nothing for a value that is not finite. With notify, 14 is
  // posted even when the value did not change.
  void SetSliderValue(double shown, bool notify);
  void UpdateValueText();
  // The track from the rectangle.
  Rect TrackRect() const;
  std::int32_t Step() const;
  bool IsEnabled() const { return acceptsInput != 0; }
  std::int32_t Value() const;

  // Fields; under lock.
  std::int32_t maximum = 100;
  std::int32_t minimum = 0;
  std::int32_t value = 0;
  std::int32_t scale = 1;
  std::u16string unit;
  CSButton plusButton;
  CSButton minusButton;
  CSButton valueButton;
  std::int32_t dragging = 0;
  std::int32_t dragStartX = 0;
  double dragStartValue = 0.0;
  Rect trackRect;
  Rect thumbRect;  // empty while no thumb is drawn
  CBgraImage barImage;
  CBgraImage sliderBarSkin;  // "sliderbar.png"
  CBgraImage thumbImage;     // "slider.png"

private:
  // The value a drag to x gives, clamped (lock held).
  std::int32_t DragValue(std::int32_t x) const;
  std::int32_t Clamped(double raw) const;
  void PostChanged();
  void StepBy(std::int32_t steps);
  // The value input of the value button: the typed number or fraction is
  // set and posted, anything else is refused with a message box. False
  // when the slider was destroyed meanwhile (nothing of it may be touched).
  [[nodiscard]] bool AskValue();
};
