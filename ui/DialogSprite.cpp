#include "ui/DialogSprite.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <string>
#include <utility>

#include "platform/Clock.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "ui/BlendTables.h"
#include "ui/DialogScript.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/AnimationSwitch.h"
#include "ui/widgets/EditSprite.h"
#include "ui/widgets/FlatSimpleList.h"
#include "ui/widgets/SCheckBox.h"
#include "ui/widgets/SRatioButton.h"
#include "ui/widgets/SStaticText.h"
#include "ui/widgets/SliderSprite.h"

namespace {

std::int32_t g_dialogLayer = kFirstDialogLayer;  // UI thread

constexpr std::int32_t kControlLayer = 2;
constexpr std::int32_t kStaticIdBase = 1000;
constexpr std::int32_t kTitleMargin = 40;
constexpr std::int32_t kShadeStrength = 120;

DialogControlKind KindOfClass(std::string_view className) {
  if (className == "ListBox") return DialogControlKind::ListBox;
  if (className == "Edit") return DialogControlKind::Edit;
  if (className == "Button") return DialogControlKind::Button;
  if (className == "Static") return DialogControlKind::Static;
  if (className.find("trackbar") != std::string_view::npos) return DialogControlKind::Trackbar;
  return DialogControlKind::Other;
}

std::int32_t Width(const CBgraImage& image) {
  return image.IsEmpty() ? 0 : static_cast<std::int32_t>(image.width);
}
std::int32_t Height(const CBgraImage& image) {
  return image.IsEmpty() ? 0 : static_cast<std::int32_t>(image.height);
}

std::u16string Decimal(std::int64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// Owned by the dialog once made; null when it cannot be made.
CDialogControl* MakeControl(CDialogSprite& dialog, const DialogControlTemplate& entry, std::size_t index,
                            std::u16string_view text) {
  switch (entry.kind) {
    case DialogControlKind::Static: {
      auto* label = new (std::nothrow) CSStaticText;
      if (label &&
          label->Create(&dialog, kStaticIdBase + static_cast<std::int32_t>(index), entry.rect, text, 0))
        return label;
      delete label;
      return nullptr;
    }
    case DialogControlKind::Button: {
      if (entry.subtype == u'C' || entry.subtype == u'R') {
        CSCheckBox* box =
            entry.subtype == u'C' ? new (std::nothrow) CSCheckBox : new (std::nothrow) CSRatioButton;
        if (box && box->Create(&dialog, entry.controlId, entry.rect, text)) return box;
        delete box;
        return nullptr;
      }
      auto* button = new (std::nothrow) CSButton;
      if (button &&
          button->Create(&dialog, nullptr, entry.controlId, entry.rect, kControlLayer, text, {}, false))
        return button;
      delete button;
      return nullptr;
    }
    case DialogControlKind::Edit: {
      auto* field = new (std::nothrow) CEditSprite;
      if (field && field->Create(&dialog, entry.controlId, entry.rect, kControlLayer, text)) return field;
      delete field;
      return nullptr;
    }
    case DialogControlKind::ListBox: {
      auto* list = new (std::nothrow) CFlatSimpleList;
      if (list && list->Create(&dialog, nullptr, entry.controlId, entry.rect, kControlLayer)) {
        // Given its place once more, now that it has its scroll bar, so that
        // it lays itself out.
        list->SetSpriteRect(entry.rect.left, entry.rect.top, entry.rect.Width(), entry.rect.Height());
        return list;
      }
      delete list;
      return nullptr;
    }
    case DialogControlKind::Trackbar: {
      auto* slider = new (std::nothrow) CSliderSprite;
      if (slider && slider->Create(&dialog, nullptr, entry.controlId, entry.rect, kControlLayer))
        return slider;
      delete slider;
      return nullptr;
    }
    default:
      // Unknown classes are not made: a template with one cannot be built.
      return nullptr;
  }
}

}  // namespace

std::int32_t CDialogSprite::LayerCounter() { return g_dialogLayer; }

std::u16string CDialogSprite::RangeMessage(std::int64_t minimum, std::int64_t maximum, std::int64_t value) {
  const std::u16string message =
      FormatText(UIResources().texts.TextOrKey(u"dlgUpdateRange"), {minimum, maximum, value});
  return TruncatedText(message, kRangeMessageField);
}

CDialogSprite::CDialogSprite() {
  kind |= kSpriteKindNoFaintFocus | kSpriteKindDialog;
  alpha = 0;
  acceptsInput = 1;
  activeChild = -1;
}

CDialogSprite::~CDialogSprite() {
  Detach();
  Destroy(1);
}

// Creation ---------------------------------------------------------------------

void CDialogSprite::ReadControlTemplates(const DialogTemplate& dialogTemplate) {
  templates.clear();
  templates.reserve(dialogTemplate.items.size());
  for (const DialogTemplateItem& item : dialogTemplate.items) {
    DialogControlTemplate entry;
    entry.kind = KindOfClass(item.className);
    entry.rect = item.PixelRect().Offset(0, kDialogControlOffset);
    entry.text = item.text.substr(0, kTitleField - 1);
    entry.controlId = item.id;
    if (entry.text.size() > 2 && entry.text[0] == u'#') {
      entry.subtype = entry.text[1];
      entry.text.erase(0, 2);
    }
    templates.push_back(std::move(entry));
  }
}

Rect CDialogSprite::CentredPlace() const {
  Size client{width, height};
  if (CRenderWindow* window = g_RenderWindow.load()) client = window->LogicalSize();
  const auto left = static_cast<std::int32_t>((client.width - static_cast<double>(width)) / 2.0);
  const auto top = static_cast<std::int32_t>((client.height - static_cast<double>(height)) / 2.0);
  return {left, top, left + width, top + height};
}

bool CDialogSprite::Create(std::int32_t templateId, Rect place) {
  // A dialog built before (and run, or not) starts again from nothing.
  Destroy(0);
  m_created = false;
  m_ran = false;
  const DialogTemplate* dialogTemplate = UIResources().dialogTemplates.Find(templateId);
  ISpriteWindow* window = LiveSpriteWindow();
  if (!dialogTemplate || !window) return false;
  ReadControlTemplates(*dialogTemplate);
  const Size client = dialogTemplate->PixelSize();
  width = client.width;
  height = client.height + kDialogTitleBand;
  title = TruncatedText(dialogTemplate->caption, kTitleField);

  if (place.right == place.left) place = CentredPlace();
  if (!CSprite::Create(nullptr, window, templateId, place, g_dialogLayer)) return false;

  if (UIResources().texts.HasText(title))
    title = TruncatedText(UIResources().texts.TextOrKey(title), kTitleField);
  CBgraImage renderedTitle;
  {
    CSkinSet& skins = UIResources().skins;
    std::lock_guard textLock(skins);
    if (!skins.RenderText(title, renderedTitle, {}, kTitleFontSize, rect.Width() - kTitleMargin))
      return false;
  }
  CBgraImage frame;
  const std::filesystem::path basic = UIResources().theme.basicFolder;
  if (icon.IsEmpty() && !icon.LoadFile(basic / "defwndicon.png")) icon.Free();
  if (!frame.LoadFile(basic / "dialogframe.png")) return false;
  {
    std::lock_guard guard(lock);
    titleImage = std::move(renderedTitle);
    frameImage = std::move(frame);
  }

  if (!CreateControls()) return false;
  if (!closeButton.Create(this, nullptr, kIdCancel, {width - 32, 1, width - 1, 32}, kControlLayer, {},
                          u"close.png", false)) {
    return false;
  }
  AppendChild(&closeButton);
  if (CDialogControl* ok = FindControl(kIdOk)) {
    if (CRenderWindow* renderWindow = RenderWindowOf(*this)) renderWindow->SetFocusSprite(ok, 1);
  }

  visible = 0;
  InvalidateArea({}, 1);
  FreeSurfaces();
  m_created = true;
  return true;
}

bool CDialogSprite::CreateControls() {
  for (std::size_t i = 0; i < templates.size(); ++i) {
    DialogControlTemplate& entry = templates[i];
    const std::u16string text =
        entry.text.empty() ? std::u16string() : UIResources().texts.TextOrKey(entry.text);
    CDialogControl* control = MakeControl(*this, entry, i, text);
    if (!control) return false;
    control->owned = 1;
    AppendChild(control);
    entry.control = control;
  }
  return true;
}

bool CDialogSprite::SetTitle(std::u16string_view text) {
  const std::u16string stored = TruncatedText(text, kTitleField);
  CBgraImage picture;
  {
    CSkinSet& skins = UIResources().skins;
    std::lock_guard textLock(skins);
    if (!skins.RenderText(stored, picture, {}, kTitleFontSize, rect.Width() - kTitleMargin)) return false;
  }
  std::lock_guard guard(lock);
  title = stored;
  titleImage = std::move(picture);
  dirty = 1;
  return true;
}

CDialogControl* CDialogSprite::FindControl(std::int32_t controlId) const {
  for (const DialogControlTemplate& entry : templates) {
    if (entry.controlId == controlId) return entry.control;
  }
  return nullptr;
}

void CDialogSprite::ShowControl(CSprite* control, bool shown) {
  if (!control) return;
  if (shown) {
    control->visible = 1;
    control->dirty = 1;
    return;
  }
  control->visible = 0;
  control->InvalidateArea({}, 1);
  control->FreeSurfaces();
}

// Running ----------------------------------------------------------------------

bool CDialogSprite::OnInitDialog() { return true; }

void CDialogSprite::SetInitialFocus() {
  CDialogControl* ok = FindControl(kIdOk);
  CRenderWindow* window = RenderWindowOf(*this);
  if (ok && window) window->SetFocusSprite(ok, 0);
}

void CDialogSprite::ShowPopup() {
  if (CRenderWindow* window = RenderWindowOf(*this)) window->HideTip();
  visible = 1;
  dirty = 1;
}

std::int32_t CDialogSprite::RunModal() {
  if (m_ran || !m_created || key == 0) return endCode;
  m_ran = true;
  CRenderWindow* window = RenderWindowOf(*this);
  if (!OnInitDialog() || !window) {
    Detach();
    return endCode;
  }
  window->OpenPopup(this);
  m_opened = true;
  ++g_dialogLayer;
  m_layerRaised = true;
  window->AddKeyShortcut(this, VK_ESCAPE, false, false);
  SetInitialFocus();
  {
    std::lock_guard guard(lock);
    if (g_AnimationEnabled) {
      fadeState = 1;
      fadeStart = TickCount();
      fadeEnd = fadeStart + kDialogFadeMs;
    } else {
      fadeState = 0;
      alpha = 255;
      dirty = 1;
    }
  }

  endCode = 0;
  CDialogScript* script = ActiveDialogScript();
  if (script) script->Begin(*this);
  CUiQueue& queue = UiQueue();
  while (endCode == 0) {
    UiMessage message;
    // A script answers only once everything its last step caused is done.
    if (script && !queue.PeekMessage(message, false)) {
      script->Step(*this);
      continue;
    }
    if (!script && !queue.GetMessage(message, false)) {
      endCode = kIdCancel;  // the queue has shut down: nobody can answer
      break;
    }
    if (endCode != 0) break;  // set meanwhile: the message is dropped
    queue.Dispatch(message);
  }
  if (script) script->End(*this);

  if (fadeOutOnClose && g_AnimationEnabled) {
    Rect area;
    {
      std::lock_guard guard(lock);
      area = rect;
    }
    // Without the effect (no memory, nothing on screen) the dialog simply vanishes.
    static_cast<void>(window->StartFadeEffect(area, CBgraImage()));
  }
  SleepMilliseconds(100);
  InvalidateArea({}, 1);
  visible = 0;
  FreeSurfaces();
  Detach();
  return endCode;
}

void CDialogSprite::Detach() {
  CRenderWindow* window = RenderWindowOf(*this);
  if (window) {
    if (std::exchange(m_opened, false)) window->ClosePopup(this);
    // Out of the window's lists under its lock: no frame reaches the dialog
    // once this returns, whatever becomes of the object.
    window->RemoveTopLevelSprite(this);
    window->RemoveKeyShortcuts(this);
    // A tip of one of the dialog's controls goes with it, and so does a tip
    // they asked for that has not been shown yet: no frame can ask again.
    window->HideTip();
  }
  if (m_layerRaised) {
    --g_dialogLayer;
    m_layerRaised = false;
  }
  if (key != 0) {
    UnregisterObject(key);
    key = 0;
  }
  Destroy(0);
}

void CDialogSprite::Destroy(int final) {
  for (DialogControlTemplate& entry : templates) {
    if (entry.control) {
      entry.control->owned = 1;
      entry.control->closed = 1;
      entry.control = nullptr;
    }
  }
  bindings.clear();
  CSprite::Destroy(final);
  templates.clear();
}

void CDialogSprite::OnCommand(std::int32_t commandId) {
  if (commandId == kIdOk) {
    (void)OnOK();  // a refused value keeps the dialog open
  } else if (commandId == kIdCancel) {
    OnCancel();
  }
}

void CDialogSprite::OnCancel() { endCode = kIdCancel; }

bool CDialogSprite::OnOK() {
  if (!UpdateData(true)) return false;
  endCode = kIdOk;
  return true;
}

bool CDialogSprite::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kSpriteMsgButtonClicked) OnCommand(static_cast<std::int32_t>(message.wparam));
  return CPopupSprite::OnSpriteMessage(message);
}

void CDialogSprite::OnKeyDown(std::uint32_t key, std::uint32_t, std::uint32_t) {
  if (key == VK_RETURN) {
    (void)OnOK();  // a refused value keeps the dialog open
  } else if (key == VK_ESCAPE) {
    OnCancel();
  }
}

// Values -----------------------------------------------------------------------

bool CDialogSprite::AddBinding(std::int32_t controlId, ControlBinding binding) {
  for (std::size_t i = 0; i < templates.size(); ++i) {
    if (templates[i].controlId != controlId) continue;
    binding.entry = i;
    bindings.push_back(std::move(binding));
    return true;
  }
  return false;
}

bool CDialogSprite::BindControl(std::int32_t controlId, std::int32_t& variable) {
  return AddBinding(controlId, {0, &variable, BindKind::Int, 0, 0});
}

bool CDialogSprite::BindControl(std::int32_t controlId, std::uint32_t& variable) {
  return AddBinding(controlId, {0, &variable, BindKind::Unsigned, 0, 0});
}

bool CDialogSprite::BindControl(std::int32_t controlId, std::u16string& variable) {
  return AddBinding(controlId, {0, &variable, BindKind::String, 0, 0});
}

bool CDialogSprite::BindControl(std::int32_t controlId, std::int32_t& variable, std::int32_t maximum,
                                std::int32_t minimum) {
  return AddBinding(controlId, {0, &variable, BindKind::RangedInt, maximum, minimum});
}

bool CDialogSprite::UpdateData(bool save) {
  if (!save) {
    for (const ControlBinding& binding : bindings) {
      CDialogControl* control = templates[binding.entry].control;
      if (!control) return false;
      std::u16string text;
      if (auto* const* number = std::get_if<std::int32_t*>(&binding.variable)) {
        text = Decimal(**number);
      } else if (auto* const* unsignedNumber = std::get_if<std::uint32_t*>(&binding.variable)) {
        text = Decimal(**unsignedNumber);
      } else if (auto* const* string = std::get_if<std::u16string*>(&binding.variable)) {
        text = **string;
      }
      control->SetValue(text);
    }
    return true;
  }

  std::vector<char16_t> buffer(kValueField);
  for (const ControlBinding& binding : bindings) {
    CDialogControl* control = templates[binding.entry].control;
    if (!control) return false;
    std::fill(buffer.begin(), buffer.end(), u'\0');
    control->GetValue(buffer);
    const std::u16string_view text(buffer.data(), BoundedLength(buffer));
    if (auto* const* string = std::get_if<std::u16string*>(&binding.variable)) {
      **string = std::u16string(text);
      continue;
    }
    const std::int32_t value = LeadingInteger(text);
    if (auto* const* unsignedNumber = std::get_if<std::uint32_t*>(&binding.variable)) {
      if (value < 0) {
        ShowMessageBox(UIResources().texts.TextOrKey(u"dlgUpdateUINT"), MessageBoxIcon::Error,
                       MessageBoxButtons::Ok);
        return false;
      }
      **unsignedNumber = static_cast<std::uint32_t>(value);
      continue;
    }
    auto* const* number = std::get_if<std::int32_t*>(&binding.variable);
    if (!number) return false;
    if (binding.kind == BindKind::RangedInt && (value < binding.minimum || value > binding.maximum)) {
      ShowMessageBox(RangeMessage(binding.minimum, binding.maximum, value), MessageBoxIcon::Error,
                     MessageBoxButtons::Ok);
      return false;
    }
    **number = value;
  }
  return true;
}

// Drawing ----------------------------------------------------------------------

void CDialogSprite::UpdateFade(std::uint32_t now) {
  const std::int64_t span = static_cast<std::int64_t>(fadeEnd) - fadeStart;
  const std::int64_t elapsed = static_cast<std::int32_t>(now - fadeStart);
  const std::int64_t p = span > 0 ? elapsed * 255 / span : 255;
  if (p > 254 || p < 0) {
    if (endCode != 0) {
      alpha = 0;
    } else {
      fadeState = 0;
      alpha = 255;
      dirty = 1;
    }
    return;
  }
  alpha = static_cast<std::int32_t>(fadeState == 1 ? p : 255 - p);
  dirty = 1;
}

bool CDialogSprite::Draw(std::uint32_t now) {
  if (fadeState != 0) UpdateFade(now);
  if (const std::int32_t period = timerPeriod; period != 0) {
    // Refused only once the dialog is gone or the queue has shut down: no tick is due then.
    if (++frameCounter % period == 0)
      static_cast<void>(
          PostSpriteMessage(this, kDialogMsgTimer, static_cast<std::uint64_t>(period), 0, nullptr));
  }
  if (!dirty || surface.IsEmpty()) return false;
  if (!StretchSkinFrame(surface, frameImage, 0, 0)) return false;

  std::int32_t titleX = 10;
  if (!icon.IsEmpty()) {
    BlendImage(surface, icon, 7, 5 + (kDialogTitleBand - Height(icon)) / 2, true, {}, 256);
    titleX = Width(icon) + 10;
  }
  BlendColorMask(surface, titleImage, titleX, 9, UIResources().theme.colors[0], {});

  // The title band's dark pixels are pulled toward the grey of theme colour
  // 4, more the darker they are.
  if (const BlendTables* tables = GetBlendTables()) {
    const std::uint32_t c4 = UIResources().theme.colors[4];
    const std::uint32_t grey = (6 * ((c4 >> 8) & 0xFF) + 3 * ((c4 >> 16) & 0xFF) + (c4 & 0xFF)) / 10;
    const std::uint32_t rows = std::min<std::uint32_t>(kShadedRows, surface.height);
    for (std::uint32_t y = 0; y < rows; ++y) {
      std::uint8_t* pixel = surface.At(0, y);
      for (std::uint32_t x = 0; x < surface.width; ++x, pixel += 4) {
        const std::uint32_t a = pixel[3];
        if (a == 0) continue;
        const std::uint32_t w = (((255 - pixel[1]) * a) / 256) * kShadeStrength / 256;
        if (w == 0) continue;
        for (int c = 0; c < 3; ++c)
          pixel[c] = static_cast<std::uint8_t>(tables->source[w][grey] + tables->destination[w][pixel[c]]);
      }
    }
  }

  // Small dialogs are slightly see-through, large ones opaque.
  if (static_cast<std::int64_t>(surface.width) * surface.height < kOpaqueFromPixels || translucent) {
    for (std::uint32_t y = 0; y < surface.height; ++y) {
      std::uint8_t* pixel = surface.At(0, y);
      for (std::uint32_t x = 0; x < surface.width; ++x, pixel += 4)
        pixel[3] = std::min<std::uint8_t>(pixel[3], kAlphaCap);
    }
  }
  InvalidateArea({}, 1);
  return true;
}

// Mouse ------------------------------------------------------------------------

void CDialogSprite::OnLButtonDown(Point point, std::uint32_t flags) {
  if (HitTestChild(point)) {
    CPopupSprite::OnLButtonDown(point, flags);
    return;
  }
  if (point.y >= kDialogDragBand) return;
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window) return;
  window->SetCaptureSprite(this);
  dragging = 1;
  grabPoint = point;
}

void CDialogSprite::OnLButtonUp(Point point, std::uint32_t flags) {
  if (dragging) {
    dragging = 0;
    if (CRenderWindow* window = RenderWindowOf(*this)) window->ReleaseCaptureSprite(this);
    return;
  }
  CPopupSprite::OnLButtonUp(point, flags);
}

void CDialogSprite::OnMouseMove(Point point, std::uint32_t flags) {
  if (!dragging) {
    if (HitTestChild(point)) {
      CPopupSprite::OnMouseMove(point, flags);
    } else {
      SetWindowCursor(CursorShape::Arrow);
    }
    return;
  }
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window) return;
  const Point at = PointToWindow(point);
  const Size client = window->LogicalSize();
  if (at.x < 0 || at.y < 0 || at.x >= client.width || at.y >= client.height) return;
  InvalidateArea({}, 1);
  SetSpriteRect(at.x - grabPoint.x, at.y - grabPoint.y, rect.Width(), rect.Height());
  InvalidateArea({}, 1);
}
