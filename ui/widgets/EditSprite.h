#pragma once
// CEditSprite: the one-line text field of sprite dialogs, the property
// list's in-place editor and the text input dialog. The text is a list of
// character records, each with its glyph picture (shared through the glyph
// cache), laid out left to right with one pixel between glyphs inside the
// text area (the field inset by 5 pixels left and right and 4 top and
// bottom), scrolled so that the caret stays visible. It offers a blinking
// caret, selection by mouse and keys, per-character undo and redo, the
// clipboard, a context menu, four input filters and a maximum length. Every
// change the user makes is reported to the parent (when it takes sprite
// messages) with message 13, wparam the number of characters.
//
// Characters: typed text arrives as UTF-16 units; a surrogate pair becomes
// one character (one record, one undo step), and a surrogate without its
// other half is refused. Control characters are never typed into the text.
// Pasted text is read as UTF-8 and loses nothing; outside numeric fields
// (filter Listed) it passes the filter as typed text does, and its control
// characters are dropped. Setting the text from the program clears the undo
// and redo queues, whose steps belong to the text it replaces.
//
// A disabled field (acceptsInput 0) is drawn in theme colour 2 without a
// caret and ignores typing, editing keys, the mouse and the context menu;
// Enter still goes to the parent. While the field has the keyboard focus
// the window keeps text input on, and input methods are told where the
// caret is.
//
// Threads: everything runs on the UI thread except Draw (render thread).
// The records, caret, selection and scrolling change under the field's
// lock, which the render thread holds while it draws; window calls, the
// clipboard and messages happen outside it.

#include <atomic>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/widgets/EditCharRecord.h"
#include "ui/widgets/MoveOverSprite.h"
#include "ui/widgets/SMenu.h"

// Sent to the parent after a change by the user: wparam = the number of
// characters.
inline constexpr std::int32_t kEditMsgTextChanged = 13;

enum class EditFilter : std::int32_t {
  Any = 0,
  FileName = 1,  // not " ' * / : < > ? \ |
  Listed = 2,    // only the characters of allowedChars (numeric fields)
  Ascii = 3,     // nothing above 127
};

// The context menu's commands.
enum EditCommand : std::int32_t {
  kEditCmdCopy = 1,
  kEditCmdCut = 2,
  kEditCmdPaste = 3,
  kEditCmdUndo = 4,
  kEditCmdRedo = 5,
  kEditCmdSelectAll = 6,
  kEditCmdReset = 7,
};

class CEditSprite : public CMoveOverSprite {
public:
  static constexpr std::int32_t kDefaultMaxLength = 4096;
  static constexpr std::size_t kAllowedField = 256;  // allowedChars keeps 255
  static constexpr std::int32_t kContextMenuId = 100;
  static constexpr std::int32_t kInsetX = 5;
  static constexpr std::int32_t kInsetY = 4;
  static constexpr std::int32_t kCaretHeight = 14;
  static constexpr std::int32_t kLineHeight = 20;   // a press hits a character this far below its top
  static constexpr std::int32_t kRightMargin = 10;  // the caret keeps this far inside the right edge
  static constexpr std::uint32_t kBlinkMs = 350;
  static constexpr std::size_t kMaxCopied = 4103;  // characters one copy takes

  CEditSprite();
  ~CEditSprite() override;

  bool Draw(std::uint32_t now) override;
  // Frees the records; a final one also takes the context menu out of the
  // window and destroys it.
  void Destroy(int final) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  // Inside the text area: the context menu; elsewhere the base forwarding.
  void OnRButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonDblClk(Point point, std::uint32_t flags) override;
  void OnChar(std::uint32_t character, std::uint32_t repeat, std::uint32_t flags) override;
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  void OnCaptureReleased() override;
  bool OnSetCursor(Point point) override;
  // The menu's commands (11) and the focus changes (300), then the base.
  bool OnSpriteMessage(const SpriteMessage& message) override;
  bool CanTakeFocus() override { return true; }
  bool WantsTextInput() override { return acceptsInput != 0; }
  // The text, cut to the buffer (n - 3 characters and ".." when it does not
  // fit), never between the halves of a pair.
  void GetValue(std::span<char16_t> buffer) override;
  // SetText, then MoveCaretToEnd.
  void SetValue(std::u16string_view text) override;

  // Attaches as CSprite::Create with the parent's window, sets maxLength to
  // 4096 and the initial text when given, then makes the context menu
  // (hidden, id 100, layer 201). False on any failure.
  [[nodiscard]] bool Create(CSprite* parentSprite, std::int32_t fieldId, const Rect& fieldRect,
                            std::int32_t fieldLayer, std::optional<std::u16string_view> initialText = {});
  // Replaces the text, cut to maxLength characters (maxLength - 1 or more
  // keep maxLength - 3 and ".."); the caret goes to the end. No undo step,
  // no message; the undo and redo queues are emptied. False, and the old
  // text kept, when a glyph cannot be rendered.
  [[nodiscard]] bool SetText(std::u16string_view text);
  std::u16string GetText() const;
  std::int32_t Count() const;
  // No selection, the caret after the last character, scrolled back to the
  // beginning.
  void MoveCaretToEnd();

  // Editing primitives. InsertChar puts a character at the caret (nothing
  // when the field is full or the glyph cannot be made); DeleteChar removes
  // the character at index (the caret stays, the selection follows).
  // record: an undo step is kept and the redo queue emptied.
  void InsertChar(char32_t character, bool record);
  void DeleteChar(std::int32_t index, bool record);
  // Deletes the selected characters one by one (each its own undo step) and
  // leaves the caret where the selection began.
  void DeleteSelection();
  // position clamped to [0, count]. clear drops the selection first; extend
  // grows or shrinks it toward position.
  void MoveCaret(std::int32_t position, bool extend, bool clear);
  void SelectAll();
  void Undo();
  void Redo();
  // Puts the selected characters on the clipboard as text; false when
  // nothing is selected or the clipboard refused it.
  [[nodiscard]] bool CopySelection();
  // Copies, and deletes the selection only when the copy worked.
  void CutSelection();
  void Paste();
  void ScrollToCaret();
  // The caret position a point (field coordinates) stands for; -1 when it
  // lies left of or between the lines of the text.
  std::int32_t CharIndexAtPoint(Point point) const;
  void NotifyTextChanged();
  // Fills the context menu and opens it at the point (field coordinates).
  void ShowContextMenu(Point point);
  // Whether a character passes the filter.
  bool Accepts(char32_t character) const;
  bool IsEnabled() const { return acceptsInput != 0; }
  bool HasSelection() const { return selectionStart >= 0; }
  Rect TextArea() const;
  // The caret's x in the text (before scrolling).
  std::int32_t CaretX() const;

  // Fields: the records, caret, selection and scrolling change under lock.
  std::int32_t selectionStart = -1;
  std::int32_t selectionEnd = -1;
  std::vector<EditCharRecord> chars;
  std::int32_t maxLength = kDefaultMaxLength;
  std::int32_t caret = 0;
  std::int32_t scrollX = 0;
  std::int32_t scrollY = 0;  // the text is one line: always 0
  std::deque<EditUndoStep> undoSteps;
  std::deque<EditUndoStep> redoSteps;
  CSMenu contextMenu;
  std::int32_t blinkPhase = -1;  // render thread
  std::int32_t mouseSelecting = 0;
  std::int32_t mouseAnchor = 0;
  EditFilter filterKind = EditFilter::Any;
  std::u16string allowedChars;  // set by the owner; cut to 255 when used

private:
  void LayoutChars();
  // Caller holds the lock.
  void ClampCaret();
  // Marks the field for drawing and tells input methods where the caret is
  // when the field has the focus. Never under the lock.
  void Redraw();
  void UpdateInputArea();
  void RunCommand(std::int32_t command);

  std::atomic<std::int32_t> m_hasFocus{0};
  char16_t m_pendingHigh = 0;  // a typed high surrogate waiting for its pair
  bool m_caretOn = false;      // render thread
};
