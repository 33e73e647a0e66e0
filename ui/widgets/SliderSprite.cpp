#include "ui/widgets/SliderSprite.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"
#include "ui/widgets/ParseFraction.h"

namespace {

std::int32_t Width(const CBgraImage& image) { return static_cast<std::int32_t>(image.width); }

}  // namespace

CSliderSprite::CSliderSprite() {
  // The value button is 35 pixels wide: at the buttons' own size and cut
  // 10 pixels short of that, any value of three digits would show as "..".
  valueButton.fontSize = kValueFontSize;
  valueButton.cutCaption = 0;
}

CSliderSprite::~CSliderSprite() {
  std::lock_guard guard(lock);
  barImage.Free();
  sliderBarSkin.Free();
  thumbImage.Free();
}

bool CSliderSprite::OnSpriteCreate() {
  const std::int32_t w = rect.Width();
  if (!valueButton.Create(this, nullptr, kValueId, {w - 40, 0, w - 5, kHeight}, 0, u"0", {}, false) ||
      !plusButton.Create(this, nullptr, kPlusId, {w - 63, 2, w - 45, 20}, 0, {}, u"add.png", false) ||
      !minusButton.Create(this, nullptr, kMinusId, {2, 2, 18, 18}, 0, {}, u"sub.png", false)) {
    return false;
  }
  plusButton.ReleaseBackground();
  minusButton.ReleaseBackground();
  AppendChild(&valueButton);
  AppendChild(&plusButton);
  AppendChild(&minusButton);
  const std::filesystem::path& basic = UIResources().theme.basicFolder;
  {
    std::lock_guard guard(lock);
    if (!sliderBarSkin.LoadFile(basic / "sliderbar.png") || !thumbImage.LoadFile(basic / "slider.png"))
      return false;
  }
  UpdateValueText();
  return true;
}

void CSliderSprite::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  CMoveOverSprite::SetSpriteRect(x, y, w, h);
  minusButton.SetSpriteRect(2, 2, 16, 16);
  plusButton.SetSpriteRect(w - 63, 2, 18, 18);
  valueButton.SetSpriteRect(w - 40, 0, 35, 20);
}

// Value --------------------------------------------------------------------------

Rect CSliderSprite::TrackRect() const { return {kTrackLeft, 0, rect.Width() - kTrackRightMargin, kHeight}; }

std::int32_t CSliderSprite::Value() const {
  std::lock_guard guard(lock);
  return value;
}

std::int32_t CSliderSprite::Step() const {
  std::lock_guard guard(lock);
  const std::int32_t track = TrackRect().Width();
  if (track <= 0) return 1;
  const double step = std::floor((static_cast<double>(maximum) - minimum) / track / scale);
  return static_cast<std::int32_t>(std::clamp(step, 1.0, 2147483647.0));
}

std::int32_t CSliderSprite::Clamped(double raw) const {
  // In floating point first: a huge shown value never reaches the integer
  // conversion unclamped.
  const double low = std::min(minimum, maximum);
  const double high = std::max(minimum, maximum);
  return static_cast<std::int32_t>(std::round(std::clamp(raw, low, high)));
}

void CSliderSprite::SetRange(std::int32_t newMinimum, std::int32_t newMaximum, std::int32_t newValue,
                             std::int32_t newScale, std::u16string_view newUnit) {
  {
    std::lock_guard guard(lock);
    minimum = newMinimum;
    maximum = newMaximum;
    value = newValue;
    scale = std::max(newScale, 1);
    unit = TruncatedText(newUnit, kUnitField);
  }
  UpdateValueText();
  dirty = 1;
}

void CSliderSprite::PostChanged() {
  if (!parent || !parent->IsInputSprite()) return;
  std::int32_t raw = 0, units = 1;
  {
    std::lock_guard guard(lock);
    raw = value;
    units = scale;
  }
  // An owner already gone, or a queue shut down, takes no notice; the value
  // itself is kept.
  static_cast<void>(PostSpriteMessage(parent, kSliderMsgChanged,
                                      static_cast<std::uint64_t>(static_cast<std::int64_t>(raw)),
                                      static_cast<std::uint64_t>(units), this));
}

void CSliderSprite::SetSliderValue(double shown, bool notify) {
  if (!std::isfinite(shown)) return;
  {
    std::lock_guard guard(lock);
    const std::int32_t next = Clamped(shown * scale);
    if (next == value && !notify) return;
    value = next;
  }
  UpdateValueText();
  dirty = 1;
  if (notify) PostChanged();
}

void CSliderSprite::StepBy(std::int32_t steps) {
  const double raw = static_cast<double>(Value()) + static_cast<double>(steps) * Step();
  std::int32_t units = 1;
  {
    std::lock_guard guard(lock);
    units = scale;
  }
  SetSliderValue(raw / units, true);
}

void CSliderSprite::UpdateValueText() {
  if (valueButton.key == 0 || !IsObjectKeyAlive(valueButton.key)) return;
  std::u16string text;
  {
    std::lock_guard guard(lock);
    text = scale == 1 ? FormatText(u"%d%s", {value, unit})
                      : FormatText(u"%g%s", {static_cast<double>(value) / scale, unit});
  }
  valueButton.SetText(TruncatedText(text, kValueTextField));
}

void CSliderSprite::GetValue(std::span<char16_t> buffer) {
  CopyTextTruncated(buffer, FormatText(u"%d", {Value()}));
}

void CSliderSprite::SetValue(std::u16string_view text) {
  {
    std::lock_guard guard(lock);
    value = Clamped(static_cast<double>(LeadingInteger(text)));
  }
  UpdateValueText();
  dirty = 1;
  PostChanged();
}

// Drawing ------------------------------------------------------------------------

bool CSliderSprite::Draw(std::uint32_t now) {
  const bool eased = CMoveOverSprite::Draw(now);
  if (!dirty || surface.IsEmpty()) return eased;
  std::fill(surface.pixels, surface.pixels + surface.byteSize, std::uint8_t{0});
  const std::int32_t width = Width(surface);
  const std::int32_t height = static_cast<std::int32_t>(surface.height);
  const auto barWidth = static_cast<std::uint32_t>(std::max(width - kBarMargin, 1));
  if (barImage.width != barWidth || barImage.height != kHeight) {
    CBgraImage made;
    if (!made.Create(barWidth, kHeight) || !StretchSkinFrame(made, sliderBarSkin, 25, 5)) return false;
    barImage = std::move(made);
  }
  const bool enabled = IsEnabled();
  BlendImage(surface, barImage, 0, 0, true, {}, enabled ? 255 : 128);

  trackRect = TrackRect();
  const std::int32_t thumbWidth = Width(thumbImage);
  const std::int64_t travel = trackRect.Width() - thumbWidth;
  const std::int64_t range = std::int64_t{maximum} - minimum;
  std::int64_t offset = 0;
  if (travel > 0 && range > 0)
    offset = std::clamp((std::int64_t{value} - minimum) * travel / range, std::int64_t{0}, travel);
  const auto fill = static_cast<std::int32_t>(offset + thumbWidth / 2);
  if (fill > 0) {
    // White that fades in from the track's left end up to the thumb's centre.
    for (std::int32_t y = 3; y <= 16 && y < height; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(surface.Row(static_cast<std::uint32_t>(y)));
      for (std::int32_t x = trackRect.left; x < trackRect.left + fill && x < width; ++x) {
        const auto a = static_cast<std::uint32_t>(128 * (x - trackRect.left) / fill);
        row[x] = 0x00FFFFFFu | (a << 24);
      }
    }
  }
  thumbRect = {};
  if (enabled && thumbWidth > 0) {
    const auto x = static_cast<std::int32_t>(trackRect.left + offset);
    BlendImage(surface, thumbImage, x, 3, true, {}, 256);
    thumbRect = {x, 3, x + thumbWidth, 17};
  }
  InvalidateArea({}, 1);
  return true;
}

// Input --------------------------------------------------------------------------

std::int32_t CSliderSprite::DragValue(std::int32_t x) const {
  const std::int32_t track = TrackRect().Width();
  if (track <= 0) return value;
  const double shown =
      (static_cast<double>(x) - dragStartX) * (static_cast<double>(maximum) - minimum) / track / scale +
      dragStartValue;
  return Clamped(shown * scale);
}

void CSliderSprite::OnLButtonDown(Point point, std::uint32_t flags) {
  if (!IsEnabled()) return;
  if (HitTestChild(point)) {
    CMoveOverSprite::OnLButtonDown(point, flags);
    return;
  }
  double jumpTo = 0.0;
  bool jump = false;
  {
    std::lock_guard guard(lock);
    const Rect track = TrackRect();
    const std::int64_t travel = track.Width() - Width(thumbImage);
    if (thumbRect.Contains(point)) {
      dragging = 1;
      dragStartX = point.x;
      dragStartValue = static_cast<double>(value) / scale;
    } else if (track.Contains(point) && travel > 0) {
      // The thumb's centre goes under the pointer.
      const std::int64_t raw = minimum + (point.x - Width(thumbImage) / 2 - track.left) *
                                             (std::int64_t{maximum} - minimum) / travel;
      jumpTo = static_cast<double>(raw) / scale;
      jump = true;
    }
  }
  if (jump) SetSliderValue(jumpTo, true);
  if (dragging) {
    if (CRenderWindow* window = RenderWindowOf(*this)) window->SetCaptureSprite(this);
  }
}

void CSliderSprite::OnMouseMove(Point point, std::uint32_t flags) {
  CMoveOverSprite::OnMouseMove(point, flags);
  if (!IsEnabled()) return;
  const bool inside = Rect{0, 0, rect.Width(), rect.Height()}.Contains(point);
  bool changed = false;
  bool drag = false;
  bool overThumb = false;
  double endAt = 0.0;
  {
    std::lock_guard guard(lock);
    drag = dragging != 0;
    overThumb = thumbRect.Contains(point);
    if (drag) {
      const std::int32_t next = DragValue(point.x);
      if (inside) {
        changed = next != value;
        value = next;
      } else {
        dragging = 0;
        endAt = static_cast<double>(next) / scale;
      }
    }
  }
  if (!inside) {
    if (drag) SetSliderValue(endAt, true);
    return;
  }
  if (changed) {
    UpdateValueText();
    dirty = 1;
  }
  if (drag || (overThumb && !HitTestChild(point))) {
    SetWindowCursor(UIResources().handCursor);
  } else if (!HitTestChild(point)) {
    SetWindowCursor(CursorShape::Arrow);
  }
}

void CSliderSprite::OnLButtonUp(Point point, std::uint32_t flags) {
  if (!IsEnabled()) return;
  double shown = 0.0;
  bool ended = false;
  {
    std::lock_guard guard(lock);
    if (dragging) {
      dragging = 0;
      ended = true;
      shown = static_cast<double>(DragValue(point.x)) / scale;
    }
  }
  if (!ended) {
    CMoveOverSprite::OnLButtonUp(point, flags);
    return;
  }
  SetSliderValue(shown, true);
  SetWindowCursor(CursorShape::Arrow);
}

void CSliderSprite::OnCaptureReleased() {
  {
    std::lock_guard guard(lock);
    if (!dragging) return;
    dragging = 0;
    value = Clamped(value);
  }
  UpdateValueText();
  dirty = 1;
  PostChanged();
}

void CSliderSprite::OnMouseWheel(Point, std::int32_t delta) {
  if (!IsEnabled()) return;
  StepBy(delta <= 0 ? 1 : -1);
}

void CSliderSprite::OnKeyDown(std::uint32_t key, std::uint32_t, std::uint32_t) {
  if (!IsEnabled()) return;
  if (key == VK_LEFT) StepBy(-1);
  if (key == VK_RIGHT) StepBy(1);
}

bool CSliderSprite::AskValue() {
  std::u16string text, prompt;
  {
    std::lock_guard guard(lock);
    const double units = scale;
    text = FormatText(u"%g", {value / units});
    // The tip is a text of the table, which users may edit: only its two
    // real placeholders are filled.
    prompt = FormatText(UIResources().texts.TextOrKey(u"sliderInputTip"), {minimum / units, maximum / units});
  }
  const auto self = key;
  const bool confirmed = InputString(text, kInputLength, UIResources().texts.TextOrKey(u"sliderInputValue"),
                                     prompt, PointToWindow({rect.Width(), 0}));
  // The dialog's loop may have closed the page that owns the slider.
  if (!IsObjectKeyAlive(self)) return false;
  if (!confirmed || text.empty()) return true;
  double shown = 0.0;
  if (ParseFraction(text, shown)) {
    SetSliderValue(shown, true);
  } else {
    // A box with OK alone: its answer tells nothing.
    (void)ShowMessageBox(UIResources().texts.TextOrKey(u"sliderInputFormat"), MessageBoxIcon::Error,
                         MessageBoxButtons::Ok);
  }
  return IsObjectKeyAlive(self);
}

bool CSliderSprite::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kSpriteMsgButtonClicked && IsEnabled()) {
    if (message.sender == &minusButton) StepBy(-1);
    if (message.sender == &plusButton) StepBy(1);
    if (message.sender == &valueButton && !AskValue()) return true;
  }
  return CMoveOverSprite::OnSpriteMessage(message);
}
