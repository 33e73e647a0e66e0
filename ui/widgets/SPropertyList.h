#pragma once
// CSPropertyList: a two-column grid of named values on the tree widget.
// Group rows (nodes with children) carry a title and expand as in the tree;
// value rows are CPropItem nodes with the label in the left column (100
// pixels) and the value in the right one. Rows the owner marks editable
// show a pencil and are changed in place: numbers, rationals and texts in
// the embedded edit field, enumerations from a popup menu of their options.
// A press on another place ends the edit: the new text is checked and
// stored, or refused with a message box while the field stays open with the
// row's old value. Every end of an edit, refused or not, posts sprite
// message 5 (lparam the item) to the parent when it is an input sprite,
// before the value is checked.
//
// Integer rows accept their range (unsigned rows 0 to 16777214, signed ones
// -2147483647 to 2147483647; a row with another range gets no edit field,
// only the message 5 when the edit ends); rational rows accept a number or a
// fraction and keep it with one decimal above 1, else as one over a whole
// number; text rows take up to 255 ASCII characters.
//
// The owner builds the rows with the Add...Property functions inside the
// tree's edit guard and the rows go with the hierarchy; an edit whose item
// has left the rows is dropped.
//
// Threads: the UI thread handles input and changes the items' values under
// the list's lock; the render thread draws and renders values under it.
// Lock order: the list's lock, then the skin set's.

#include <cstdint>
#include <string>
#include <string_view>

#include "image/BgraImage.h"
#include "image/SystemTime.h"
#include "ui/widgets/EditSprite.h"
#include "ui/widgets/PropItem.h"
#include "ui/widgets/SMenu.h"
#include "ui/widgets/STree.h"

// Posted to the parent when an edit ends: lparam = the item.
inline constexpr std::int32_t kPropMsgEditEnded = 5;

class CSPropertyList : public CSTree {
public:
  enum class EditMode : std::int32_t { None = 0, Field = 1, OptionMenu = 2, NoEditor = 3 };

  static constexpr std::int32_t kEditorId = 1;
  static constexpr std::int32_t kOptionMenuId = 2;
  static constexpr std::int32_t kDefaultLabelColumn = 100;
  static constexpr std::int32_t kOptionIdBase = 1000;
  static constexpr std::int32_t kUnsignedMaximum = 0xFFFFFE;
  static constexpr std::int32_t kSignedMaximum = 2147483647;
  static constexpr std::int32_t kSignedMinimum = -2147483647;
  static constexpr std::int32_t kLabelIndent = 16;
  static constexpr std::int32_t kValueInset = 5;
  static constexpr std::int32_t kValueMargin = 40;  // the value is rendered at most W - labelColumn - 40 wide
  static constexpr std::int32_t kMarkerFromRight = 32;
  static constexpr std::int32_t kGroupBandAlpha = 45;
  static constexpr std::int32_t kSelectedBandAlpha = 20;
  static constexpr std::uint32_t kRowLineColor = 0xFF202020u;
  static constexpr std::uint32_t kSeparatorMiddle = 0xFF202020u;
  static constexpr std::uint32_t kSeparatorEnd = 0xFF181818u;
  static constexpr std::u16string_view kNumberChars = u"0123456789-+";
  static constexpr std::u16string_view kFractionChars = u"0123456789-+./";

  // The selection is marked by the rows themselves.
  CSPropertyList();
  ~CSPropertyList() override;

  // The tree's creation, then "propedit.png", the edit field (hidden child,
  // id 1) and the option menu (a popup of the window, id 2).
  [[nodiscard]] bool OnSpriteCreate() override;
  // A final one also takes the option menu out of the window.
  void Destroy(int final) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  bool OnSetCursor(Point point) override;
  // Not while the edit field is open: a press beside a refused value
  // leaves the focus in the field, where the user mends it.
  bool CanTakeFocus() override { return editMode != EditMode::Field; }
  // 11 from the option menu: the chosen option; then the tree's handling.
  bool OnSpriteMessage(const SpriteMessage& message) override;
  bool DrawRow(std::int32_t row) override;

  // Rows: each appends a new item with the label to the parent's children
  // and returns it; null when the value is missing and addAnyway is false.
  // A row added anyway for a missing value has valueKnown 0. Rows are not
  // editable until the owner says so.
  // Skipped when value equals missing; "%u", 0 to 16777214.
  static CPropItem* AddUIntProperty(std::int32_t id, std::uint32_t value, std::u16string_view label,
                                    CTreeNode& parent, std::uint32_t missing, bool addAnyway);
  // Skipped when value equals missing; "%d", -2147483647 to 2147483647.
  static CPropItem* AddIntProperty(std::int32_t id, std::int32_t value, std::u16string_view label,
                                   CTreeNode& parent, std::int32_t missing, bool addAnyway);
  // Skipped when the text is empty; cut to 255 characters.
  static CPropItem* AddTextProperty(std::int32_t id, std::u16string_view text, std::u16string_view label,
                                    CTreeNode& parent, bool addAnyway);
  // Year 0 is missing (then the text of "Unknown"); "Y-MM-DD hh:mm:ss", or
  // only the day when the hour is 0. Never editable.
  static CPropItem* AddDateProperty(std::int32_t id, const SystemTime& date, std::u16string_view label,
                                    CTreeNode& parent, bool addAnyway);
  // value: numerator in the low, denominator in the high 32 bits, read as
  // signed; a zero denominator is missing. Shown as RationalText.
  static CPropItem* AddRationalProperty(std::int32_t id, std::uint64_t value, std::u16string_view label,
                                        CTreeNode& parent, bool addAnyway);
  // Value -1 is missing; the options as CPropItem::SetEnumOptions reads them.
  static CPropItem* AddEnumProperty(std::int32_t id, std::u16string_view label, std::u16string_view options,
                                    std::int32_t value, CTreeNode& parent, bool addAnyway);

  // What a row's value shows: its text for number, rational and text rows
  // whose value is known, the label of the option with enumValue for
  // enumerations, else the text of "Unknown". Caller holds the lock.
  static std::u16string ValueDisplayText(const CPropItem& item);
  // Renders ValueDisplayText at most W - labelColumn - 40 pixels wide,
  // setting valueCut when it was shortened. Caller holds the lock.
  [[nodiscard]] bool RenderValueText(CPropItem& item);

  // Ends the edit in progress (a refused value keeps it open and nothing
  // else happens), then opens the row's editor by its type; -1 only ends.
  // Nothing when the row is already being edited in a shown field.
  void BeginEdit(std::int32_t row);
  // Posts 5, then checks and stores the field's text. False when the value
  // was refused (a message box said why). True for edits without a field.
  [[nodiscard]] bool EndEdit();

  // Fields: UI thread; labelColumn also read while drawing.
  std::int32_t labelColumn = kDefaultLabelColumn;
  CBgraImage editMarker;  // "propedit.png"
  CPropItem* editingItem = nullptr;
  CEditSprite* activeEditor = nullptr;  // the field while it is shown
  EditMode editMode = EditMode::None;
  CEditSprite editor;
  CSMenu optionMenu;

private:
  // A new row appended to parent's children.
  static CPropItem* AppendItem(CTreeNode& parent, std::int32_t id, std::u16string_view label,
                               PropValueType type);
  // The item on a row, when the row shows a value item; caller holds the lock.
  CPropItem* ItemAtRow(std::int32_t row) const;
  bool IsShownItem(const CPropItem* item) const;
  void OpenField(CPropItem& item, std::int32_t row);
  void OpenOptionMenu(CPropItem& item, std::int32_t row);
  void CloseField();
  void ForgetEdit();
  // Stores a new value text (the rendered value goes) and redraws.
  void StoreValue(CPropItem& item, std::u16string_view text);
  void ChooseOption(std::int32_t commandId);
};
