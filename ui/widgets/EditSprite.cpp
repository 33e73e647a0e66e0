#include "ui/widgets/EditSprite.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/LittleEndian.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "ui/Clipboard.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"

namespace {

constexpr std::u16string_view kFileNameRefused = u"\"'*/:<>?\\|";
constexpr std::uint32_t kOpaque = 0xFF000000u;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsLineBreak(char32_t c) { return c == U'\r' || c == U'\n'; }
// C0, DEL and C1.
bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

char32_t Combine(char32_t high, char32_t low) { return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00); }

// The characters of a text: a surrogate pair is one, a lone surrogate is
// kept as the unit it is.
std::vector<char32_t> Characters(std::u16string_view text) {
  std::vector<char32_t> out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      out.push_back(Combine(c, text[++i]));
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::u16string TextOf(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

// A record with its glyph; false when the glyph cannot be made.
[[nodiscard]] bool MakeRecord(char32_t character, EditCharRecord& record) {
  record.character = character;
  if (IsLineBreak(character)) return true;
  record.glyph = UIResources().glyphs.Get(UIResources().skins, character, 0);
  record.hasGlyph = record.glyph ? 1 : 0;
  return record.glyph != nullptr;
}

}  // namespace

CEditSprite::CEditSprite() {
  alpha = 192;
  idleAlpha = 220;
}

// The menu dies with the field: the render thread must not reach it.
CEditSprite::~CEditSprite() { contextMenu.RemoveFromWindow(); }

bool CEditSprite::Create(CSprite* parentSprite, std::int32_t fieldId, const Rect& fieldRect,
                         std::int32_t fieldLayer, std::optional<std::u16string_view> initialText) {
  if (!CSprite::Create(parentSprite, nullptr, fieldId, fieldRect, fieldLayer)) return false;
  maxLength = kDefaultMaxLength;
  if (initialText && !SetText(*initialText)) return false;
  if (!contextMenu.Create(nullptr, renderWindow, kContextMenuId, {0, 0, 100, 100}, kPopupMenuLayer))
    return false;
  contextMenu.visible = 0;
  return true;
}

void CEditSprite::Destroy(int final) {
  {
    std::lock_guard guard(lock);
    chars.clear();
    selectionStart = selectionEnd = -1;
    caret = 0;
  }
  if (final) {
    contextMenu.RemoveFromWindow();
    contextMenu.Destroy(final);
  }
  CMoveOverSprite::Destroy(final);
}

// Text ----------------------------------------------------------------------------

bool CEditSprite::SetText(std::u16string_view text) {
  std::vector<char32_t> characters = Characters(text.substr(0, text.find(u'\0')));
  const auto limit = static_cast<std::size_t>(std::max(maxLength, 0));
  if (characters.size() + 1 >= limit) {
    characters.resize(limit >= 3 ? limit - 3 : 0);
    for (int dot = 0; dot < 2 && characters.size() + 1 < limit; ++dot) characters.push_back(U'.');
  }
  // Built aside: a glyph that cannot be made leaves the old text.
  std::vector<EditCharRecord> records(characters.size());
  for (std::size_t i = 0; i < characters.size(); ++i) {
    if (!MakeRecord(characters[i], records[i])) return false;
  }
  {
    std::lock_guard guard(lock);
    chars.swap(records);
    selectionStart = selectionEnd = -1;
    undoSteps.clear();
    redoSteps.clear();
    LayoutChars();
    caret = static_cast<std::int32_t>(chars.size());
  }
  ScrollToCaret();
  Redraw();
  return true;
}

void CEditSprite::SetValue(std::u16string_view text) {
  if (SetText(text)) MoveCaretToEnd();
}

std::u16string CEditSprite::GetText() const {
  std::lock_guard guard(lock);
  std::u16string text;
  text.reserve(chars.size());
  for (const EditCharRecord& record : chars) AppendUtf16(text, record.character);
  return text;
}

void CEditSprite::GetValue(std::span<char16_t> buffer) {
  if (buffer.empty()) return;
  std::u16string text = GetText();
  if (text.size() + 1 >= buffer.size()) {
    std::size_t keep = buffer.size() >= 3 ? buffer.size() - 3 : 0;
    if (keep > 0 && IsHighSurrogate(text[keep - 1])) --keep;
    text.resize(keep);
    for (int dot = 0; dot < 2 && text.size() + 1 < buffer.size(); ++dot) text.push_back(u'.');
  }
  std::copy(text.begin(), text.end(), buffer.begin());
  buffer[text.size()] = u'\0';
}

std::int32_t CEditSprite::Count() const {
  std::lock_guard guard(lock);
  return static_cast<std::int32_t>(chars.size());
}

void CEditSprite::LayoutChars() {
  std::lock_guard guard(lock);
  std::int32_t x = 0;
  for (EditCharRecord& record : chars) {
    record.x = x;
    record.y = 0;
    if (record.hasGlyph) x += record.GlyphWidth() + 1;
  }
}

void CEditSprite::ClampCaret() { caret = std::clamp(caret, 0, static_cast<std::int32_t>(chars.size())); }

void CEditSprite::NotifyTextChanged() {
  if (parent && parent->IsInputSprite())
    static_cast<void>(PostSpriteMessage(parent, kEditMsgTextChanged, static_cast<std::uint64_t>(Count()), 0,
                                        this));  // nothing to tell a target that is gone
}

// Editing -------------------------------------------------------------------------

void CEditSprite::InsertChar(char32_t character, bool record) {
  if (Count() >= maxLength) return;
  EditCharRecord made;
  if (!MakeRecord(character, made)) return;
  {
    std::lock_guard guard(lock);
    ClampCaret();
    chars.insert(chars.begin() + caret, std::move(made));
    LayoutChars();
    ++caret;
    if (record) {
      undoSteps.push_back({caret - 1, EditStepKind::Inserted, character});
      redoSteps.clear();
    }
  }
  ScrollToCaret();
  Redraw();
}

void CEditSprite::DeleteChar(std::int32_t index, bool record) {
  {
    std::lock_guard guard(lock);
    if (index < 0 || index >= static_cast<std::int32_t>(chars.size())) return;
    if (record) {
      undoSteps.push_back({index, EditStepKind::Deleted, chars[static_cast<std::size_t>(index)].character});
      redoSteps.clear();
    }
    chars.erase(chars.begin() + index);
    if (index < selectionStart) {
      --selectionStart;
      --selectionEnd;
    } else if (index < selectionEnd) {
      --selectionEnd;
    }
    if (selectionStart >= 0 && selectionEnd <= selectionStart) selectionStart = selectionEnd = -1;
    LayoutChars();
  }
  Redraw();
}

void CEditSprite::DeleteSelection() {
  {
    std::lock_guard guard(lock);
    if (selectionStart >= 0 && selectionEnd <= selectionStart) selectionStart = selectionEnd = -1;
    if (selectionStart < 0) return;
    caret = selectionStart;
  }
  // Each character is its own undo step. A selection that reaches past the
  // text (left by an undo) ends with the text.
  while (selectionStart >= 0 && selectionStart < Count()) DeleteChar(selectionStart, true);
  {
    std::lock_guard guard(lock);
    selectionStart = selectionEnd = -1;
    ClampCaret();
  }
  ScrollToCaret();
  Redraw();
}

void CEditSprite::MoveCaret(std::int32_t position, bool extend, bool clear) {
  bool moved = false;
  {
    std::lock_guard guard(lock);
    if (clear) selectionStart = selectionEnd = -1;
    position = std::clamp(position, 0, static_cast<std::int32_t>(chars.size()));
    if (position != caret) {
      moved = true;
      if (extend) {
        if (selectionStart < 0) {
          selectionStart = std::min(caret, position);
          selectionEnd = std::max(caret, position);
        } else if (position >= caret) {
          (selectionEnd < position ? selectionEnd : selectionStart) = position;
        } else {
          (position >= selectionStart ? selectionEnd : selectionStart) = position;
        }
        if (selectionEnd <= selectionStart) selectionStart = selectionEnd = -1;
      }
      caret = position;
    }
  }
  if (moved) ScrollToCaret();
  Redraw();
}

void CEditSprite::SelectAll() {
  {
    std::lock_guard guard(lock);
    if (chars.empty()) {
      selectionStart = selectionEnd = -1;
    } else {
      selectionStart = 0;
      selectionEnd = static_cast<std::int32_t>(chars.size());
    }
  }
  Redraw();
}

void CEditSprite::MoveCaretToEnd() {
  bool moved = false;
  {
    std::lock_guard guard(lock);
    selectionStart = selectionEnd = -1;
    const auto end = static_cast<std::int32_t>(chars.size());
    moved = caret != end;
    caret = end;
  }
  if (moved) ScrollToCaret();
  {
    std::lock_guard guard(lock);
    scrollX = 0;
    scrollY = 0;
  }
  Redraw();
}

void CEditSprite::ScrollToCaret() {
  {
    std::lock_guard guard(lock);
    const std::int32_t width = TextArea().Width();
    if (width <= 0) return;
    const std::int32_t x = CaretX();
    const std::int32_t v = x - scrollX;
    if (v < 0) {
      scrollX += v;
    } else if (v > width) {
      scrollX = std::max(0, x - width + kRightMargin);
    }
  }
  Redraw();
}

std::int32_t CEditSprite::CaretX() const {
  std::lock_guard guard(lock);
  if (chars.empty()) return 0;
  const std::int32_t at = std::clamp(caret, 0, static_cast<std::int32_t>(chars.size()));
  if (at < static_cast<std::int32_t>(chars.size()))
    return std::max(chars[static_cast<std::size_t>(at)].x - 1, 0);
  const EditCharRecord& last = chars.back();
  return last.x + last.GlyphWidth() + 1;
}

Rect CEditSprite::TextArea() const {
  return {kInsetX, kInsetY, rect.Width() - kInsetX, rect.Height() - kInsetY};
}

std::int32_t CEditSprite::CharIndexAtPoint(Point point) const {
  std::lock_guard guard(lock);
  const Rect area = TextArea();
  const std::int32_t x = point.x - area.left + scrollX;
  const std::int32_t y = point.y - area.top + scrollY;
  std::int32_t boundary = 0;
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const EditCharRecord& record = chars[i];
    const bool wholeWidth = i + 1 == chars.size() || chars[i + 1].y > record.y;
    const std::int32_t end = record.x + (wholeWidth ? record.GlyphWidth() : record.GlyphWidth() / 2);
    if (boundary < x && x <= end && record.y < y && y <= record.y + kLineHeight)
      return static_cast<std::int32_t>(i);
    boundary = end;
  }
  return x > boundary ? static_cast<std::int32_t>(chars.size()) : -1;
}

bool CEditSprite::Accepts(char32_t character) const {
  switch (filterKind) {
    case EditFilter::Any:
      return true;
    case EditFilter::FileName:
      return character >= 0x10000 ||
             kFileNameRefused.find(static_cast<char16_t>(character)) == std::u16string_view::npos;
    case EditFilter::Listed: {
      if (character == 0 || character >= 0x10000) return false;
      const std::u16string_view listed =
          std::u16string_view(allowedChars).substr(0, std::min(allowedChars.size(), kAllowedField - 1));
      return listed.substr(0, listed.find(u'\0')).find(static_cast<char16_t>(character)) !=
             std::u16string_view::npos;
    }
    case EditFilter::Ascii:
      return character <= 127;
  }
  return false;
}

// Undo and redo --------------------------------------------------------------------

void CEditSprite::Undo() {
  if (undoSteps.empty()) return;
  EditUndoStep step = undoSteps.back();
  undoSteps.pop_back();
  if (step.kind == EditStepKind::Inserted) {
    DeleteChar(step.position, false);
    step.kind = EditStepKind::Deleted;
  } else {
    {
      std::lock_guard guard(lock);
      caret = std::clamp(step.position, 0, static_cast<std::int32_t>(chars.size()));
    }
    ScrollToCaret();
    InsertChar(step.character, false);
    step.kind = EditStepKind::Inserted;
  }
  redoSteps.push_back(step);
  Redraw();
  NotifyTextChanged();
}

void CEditSprite::Redo() {
  if (redoSteps.empty()) return;
  EditUndoStep step = redoSteps.back();
  redoSteps.pop_back();
  if (step.kind == EditStepKind::Deleted) {
    {
      std::lock_guard guard(lock);
      caret = std::clamp(step.position, 0, static_cast<std::int32_t>(chars.size()));
    }
    InsertChar(step.character, false);
    step.kind = EditStepKind::Inserted;
  } else {
    DeleteChar(step.position, false);
    step.kind = EditStepKind::Deleted;
  }
  undoSteps.push_back(step);
  Redraw();
  NotifyTextChanged();
}

// Clipboard -------------------------------------------------------------------------

bool CEditSprite::CopySelection() {
  std::u16string text;
  {
    std::lock_guard guard(lock);
    if (selectionStart < 0) return false;
    const auto from = static_cast<std::size_t>(std::min<std::int32_t>(selectionStart, Count()));
    const auto to = static_cast<std::size_t>(std::clamp<std::int32_t>(selectionEnd, selectionStart, Count()));
    for (std::size_t i = from; i < to && i - from < kMaxCopied; ++i) AppendUtf16(text, chars[i].character);
  }
  std::vector<std::uint8_t> block((text.size() + 1) * 2, 0);
  for (std::size_t i = 0; i < text.size(); ++i) StoreLE16(&block[2 * i], text[i]);
  return WriteClipboardBytes(ClipboardFormat::UnicodeText, block) != 0;
}

void CEditSprite::CutSelection() {
  if (CopySelection()) DeleteSelection();
  NotifyTextChanged();
}

void CEditSprite::Paste() {
  std::vector<std::uint8_t> bytes;
  if (!ReadClipboardBytes(ClipboardFormat::Text, bytes)) return;
  const auto end = std::find(bytes.begin(), bytes.end(), 0);
  const std::u16string text =
      FromUtf8({reinterpret_cast<const char*>(bytes.data()), static_cast<std::size_t>(end - bytes.begin())});
  // Numeric fields take pasted text as it comes; the others filter it as
  // typing does, and a pasted line break or tab never reaches a name.
  const bool filtered = filterKind != EditFilter::Listed;
  DeleteSelection();
  for (const char32_t c : Characters(text)) {
    if (Count() >= maxLength - 1) break;
    if (filtered && (IsControl(c) || !Accepts(c))) continue;
    InsertChar(c, true);
  }
  NotifyTextChanged();
}

// Input ------------------------------------------------------------------------------

void CEditSprite::OnChar(std::uint32_t character, std::uint32_t, std::uint32_t) {
  if (!IsEnabled()) return;
  char32_t c = character;
  const char16_t pending = std::exchange(m_pendingHigh, u'\0');
  if (IsHighSurrogate(c)) {
    m_pendingHigh = static_cast<char16_t>(c);  // the pair's other half comes next
    return;
  }
  if (IsLowSurrogate(c)) {
    if (pending == 0) return;  // half a character is refused
    c = Combine(pending, c);
  }
  switch (c) {
    case 1:
      SelectAll();
      return;
    case 3:
      (void)CopySelection();  // a refused copy changes nothing here
      return;
    case 22:
      Paste();
      return;
    case 24:
      CutSelection();
      return;
    case 25:
      Redo();
      return;
    case 26:
      Undo();
      return;
    default:
      break;
  }
  if (IsControl(c) || !Accepts(c)) return;
  DeleteSelection();
  InsertChar(c, true);
  NotifyTextChanged();
}

void CEditSprite::OnKeyDown(std::uint32_t key, std::uint32_t, std::uint32_t) {
  if (key == VK_RETURN) {
    if (parent && parent->IsInputSprite()) {
      if (auto* target = dynamic_cast<CMessageSprite*>(parent)) target->OnKeyDown(key, 1, 0);
    }
    return;
  }
  if (!IsEnabled()) return;
  {
    std::lock_guard guard(lock);
    ClampCaret();
  }
  const bool shift = UiQueue().GetKeyState(VK_SHIFT) < 0;
  switch (key) {
    case VK_BACK:
      if (HasSelection()) {
        DeleteSelection();
      } else if (caret > 0) {
        DeleteChar(caret - 1, true);
        {
          std::lock_guard guard(lock);
          --caret;
        }
        ScrollToCaret();
      }
      NotifyTextChanged();
      Redraw();
      break;
    case VK_DELETE:
      if (HasSelection()) {
        DeleteSelection();
      } else if (caret < Count()) {
        DeleteChar(caret, true);
      }
      NotifyTextChanged();
      Redraw();
      break;
    case VK_HOME:
    case VK_END:
    case VK_LEFT:
    case VK_RIGHT: {
      const std::int32_t position = key == VK_HOME   ? 0
                                    : key == VK_END  ? Count()
                                    : key == VK_LEFT ? caret - 1
                                                     : caret + 1;
      // Shift grows or shrinks the selection from where it is.
      MoveCaret(position, shift, !shift);
      break;
    }
    default:
      break;
  }
}

void CEditSprite::OnMouseMove(Point point, std::uint32_t flags) {
  if (mouseSelecting) {
    if (flags & MK_LBUTTON) {
      MoveCaret(CharIndexAtPoint(point), true, false);
      return;
    }
    mouseSelecting = 0;
  }
  CMoveOverSprite::OnMouseMove(point, flags);
  OnSetCursor(point);
}

void CEditSprite::OnLButtonDown(Point point, std::uint32_t) {
  if (!IsEnabled() || !Rect{0, 0, rect.Width(), rect.Height()}.Contains(point)) return;
  const std::int32_t index = CharIndexAtPoint(point);
  if (index < 0) return;
  {
    std::lock_guard guard(lock);
    caret = index;
  }
  mouseAnchor = index;
  mouseSelecting = 1;
  Redraw();
}

void CEditSprite::OnLButtonUp(Point point, std::uint32_t) {
  if (!IsEnabled() || !mouseSelecting) return;
  if (CharIndexAtPoint(point) == mouseAnchor) {
    std::lock_guard guard(lock);
    selectionStart = selectionEnd = -1;
  }
  mouseSelecting = 0;
  Redraw();
}

void CEditSprite::OnLButtonDblClk(Point, std::uint32_t) {
  if (IsEnabled()) SelectAll();
}

void CEditSprite::OnRButtonDown(Point point, std::uint32_t flags) {
  if (TextArea().Contains(point)) {
    if (IsEnabled()) ShowContextMenu(point);
    return;
  }
  CMoveOverSprite::OnRButtonDown(point, flags);
}

void CEditSprite::OnCaptureReleased() {
  mouseSelecting = 0;
  pointerInside = 0;
}

bool CEditSprite::OnSetCursor(Point point) {
  SetWindowCursor(IsEnabled() && TextArea().Contains(point) ? CursorShape::IBeam : CursorShape::Arrow);
  return true;
}

// Context menu and messages --------------------------------------------------------------

void CEditSprite::ShowContextMenu(Point point) {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window) return;
  const std::u16string ctrl = TextOf(u"Ctrl");
  auto shortcut = [&](char16_t letter) {
    return FormatText(u"%s+%c", {TextArg(ctrl), TextArg(static_cast<std::int32_t>(letter))});
  };
  contextMenu.AddItemEx(u"C", kEditCmdCopy, TextOf(u"Copy"), u"menucopy.png", shortcut(u'C'), nullptr);
  contextMenu.AddItemEx(u"T", kEditCmdCut, TextOf(u"Cut"), u"menucut.png", shortcut(u'X'), nullptr);
  contextMenu.AddItemEx(u"P", kEditCmdPaste, TextOf(u"Paste"), u"menupaste.png", shortcut(u'V'), nullptr);
  contextMenu.AddItem(u"", 0, u"", nullptr);
  contextMenu.AddItemEx(u"U", kEditCmdUndo, TextOf(u"Undo"), u"menuundo.png", shortcut(u'Z'), nullptr);
  contextMenu.AddItemEx(u"R", kEditCmdRedo, TextOf(u"Redo"), u"menuredo.png", shortcut(u'Y'), nullptr);
  contextMenu.AddItem(u"", 0, u"", nullptr);
  contextMenu.AddItemEx(u"", kEditCmdSelectAll, TextOf(u"SelectAll"), u"", shortcut(u'A'), nullptr);
  if (contextMenu.FindItem({}, kEditCmdReset) < 0)
    contextMenu.AddItemEx(u"", kEditCmdReset, TextOf(u"EditReset"), u"", u"", nullptr);
  contextMenu.EnableItem(kEditCmdUndo, !undoSteps.empty());
  contextMenu.EnableItem(kEditCmdRedo, !redoSteps.empty());
  window->ShowPopupMenu(&contextMenu, PointToWindow(point), true, true, this);
}

void CEditSprite::RunCommand(std::int32_t command) {
  switch (command) {
    case kEditCmdCopy:
      (void)CopySelection();  // a refused copy changes nothing here
      break;
    case kEditCmdCut:
      CutSelection();
      break;
    case kEditCmdPaste:
      Paste();
      break;
    case kEditCmdUndo:
      Undo();
      break;
    case kEditCmdRedo:
      Redo();
      break;
    case kEditCmdSelectAll:
      SelectAll();
      break;
    case kEditCmdReset:
      // Cleared by the program's own hand: the parent hears nothing.
      if (SetText(u"")) MoveCaretToEnd();
      break;
    default:
      return;
  }
  if (CRenderWindow* window = RenderWindowOf(*this)) window->SetFocusSprite(this, 0);
}

bool CEditSprite::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kMenuMsgCommand) {
    RunCommand(static_cast<std::int32_t>(message.wparam));
  } else if (message.code == kSpriteMsgFocusChanged) {
    m_hasFocus = message.wparam != 0 ? 1 : 0;
    m_pendingHigh = 0;
    Redraw();
  }
  return CMoveOverSprite::OnSpriteMessage(message);
}

void CEditSprite::Redraw() {
  dirty = 1;
  UpdateInputArea();
}

void CEditSprite::UpdateInputArea() {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window || window->FocusSprite() != this) return;
  Rect local;
  {
    std::lock_guard guard(lock);
    const Rect area = TextArea();
    const std::int32_t x =
        std::clamp(area.left + CaretX() - scrollX, area.left, std::max(area.left, area.right));
    local = {x, area.top, x + 1, std::max(area.top + kCaretHeight, area.bottom)};
  }
  window->SetTextInputArea(RectToWindow(local));
}

// Drawing ---------------------------------------------------------------------------

bool CEditSprite::Draw(std::uint32_t now) {
  // The caret is read clamped (CaretX): only the UI thread writes it.
  const bool eased = CMoveOverSprite::Draw(now);
  const bool enabled = IsEnabled();
  const auto phase = static_cast<std::int32_t>(now / kBlinkMs);
  bool blinked = false;
  if (phase != blinkPhase) {
    // On through each odd phase while the field has the focus.
    const bool on = (phase & 1) != 0 && m_hasFocus != 0 && enabled;
    blinked = on != m_caretOn;
    m_caretOn = on;
    blinkPhase = phase;
  }
  if ((!dirty && !blinked) || surface.IsEmpty()) return eased;
  if (!StretchSkinFrame(surface, UIResources().skins.roundFrameImage, 0, 0)) return eased;

  const auto& colors = UIResources().theme.colors;
  const Rect area = TextArea();
  const std::uint32_t textColor = enabled ? colors[0] : colors[2];
  if (!area.IsEmpty()) {
    const std::uint32_t selectionColor = colors[kThemeAccent] | kOpaque;
    for (std::size_t i = 0; i < chars.size(); ++i) {
      const EditCharRecord& record = chars[i];
      if (!record.hasGlyph || !record.glyph) continue;
      std::int32_t x = record.x + area.left - scrollX;
      std::int32_t y = record.y + area.top - scrollY;
      if (x >= area.right) break;
      const std::int32_t w = record.GlyphWidth(), h = record.GlyphHeight();
      if (x + w < area.left) continue;
      const auto index = static_cast<std::int32_t>(i);
      if (index >= selectionStart && index < selectionEnd) {
        const Rect cell{std::max(x, area.left), std::max(y, area.top), std::min(x + w + 1, area.right),
                        std::min(y + h, area.bottom)};
        if (!cell.IsEmpty()) FillRect(surface, cell, selectionColor);
        x = std::clamp(x, area.left, std::max(area.left, area.right - w));
        y = std::clamp(y, area.top, std::max(area.top, area.bottom - h));
      }
      BlendColorMask(surface, *record.glyph, x, y, textColor, area);
    }
    if (m_caretOn) {
      const std::int32_t x = CaretX() + area.left - scrollX;
      if (x >= area.left && x < area.right)
        FillRect(surface, {x, area.top, x + 1, std::min(area.top + kCaretHeight, area.bottom)},
                 textColor | kOpaque);
    }
  }
  InvalidateArea({}, 1);
  return true;
}
