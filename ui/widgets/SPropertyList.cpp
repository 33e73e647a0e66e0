#include "ui/widgets/SPropertyList.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "platform/Utf16.h"
#include "platform/WindowHost.h"
#include "ui/DialogSprite.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/PropValueText.h"

namespace {

std::int32_t Width(const CBgraImage& image) { return static_cast<std::int32_t>(image.width); }
std::int32_t Height(const CBgraImage& image) { return static_cast<std::int32_t>(image.height); }

std::u16string TextOf(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

void ShowError(std::u16string_view text) {
  ShowMessageBox(text, MessageBoxIcon::Error, MessageBoxButtons::Ok);
}

// A text row's filter kind: 2 (numeric fields only) counts as none.
EditFilter TextRowFilter(std::int32_t kind) {
  switch (kind) {
    case static_cast<std::int32_t>(EditFilter::FileName):
      return EditFilter::FileName;
    case static_cast<std::int32_t>(EditFilter::Ascii):
      return EditFilter::Ascii;
    default:
      return EditFilter::Any;
  }
}

}  // namespace

CSPropertyList::CSPropertyList() { drawSelectionBar = 0; }

CSPropertyList::~CSPropertyList() { optionMenu.RemoveFromWindow(); }

bool CSPropertyList::OnSpriteCreate() {
  if (!CSTree::OnSpriteCreate()) return false;
  {
    std::lock_guard guard(lock);
    if (!editMarker.LoadFile(UIResources().theme.basicFolder / "propedit.png")) return false;
  }
  if (!editor.Create(this, kEditorId, {0, 0, 100, 20}, 1, u"")) return false;
  editor.visible = 0;
  AppendChild(&editor);
  if (!optionMenu.Create(nullptr, renderWindow, kOptionMenuId, {0, 0, 100, 100}, kPopupMenuLayer))
    return false;
  optionMenu.visible = 0;
  return true;
}

void CSPropertyList::Destroy(int final) {
  if (final) {
    ForgetEdit();
    optionMenu.RemoveFromWindow();
    optionMenu.Destroy(final);
  }
  CSTree::Destroy(final);
}

// Rows -----------------------------------------------------------------------------------

CPropItem* CSPropertyList::AppendItem(CTreeNode& parent, std::int32_t id, std::u16string_view label,
                                      PropValueType type) {
  auto item = std::make_unique<CPropItem>();
  item->text = std::u16string(label);
  item->propertyId = id;
  item->valueType = type;
  return static_cast<CPropItem*>(parent.AppendChild(std::move(item)));
}

CPropItem* CSPropertyList::AddUIntProperty(std::int32_t id, std::uint32_t value, std::u16string_view label,
                                           CTreeNode& parent, std::uint32_t missing, bool addAnyway) {
  if (value == missing && !addAnyway) return nullptr;
  CPropItem* item = AppendItem(parent, id, label, PropValueType::UnsignedInt);
  item->SetValueText(FormatText(u"%u", {value}));
  item->minimum = 0;
  item->maximum = kUnsignedMaximum;
  item->valueKnown = value != missing ? 1 : 0;
  return item;
}

CPropItem* CSPropertyList::AddIntProperty(std::int32_t id, std::int32_t value, std::u16string_view label,
                                          CTreeNode& parent, std::int32_t missing, bool addAnyway) {
  if (value == missing && !addAnyway) return nullptr;
  CPropItem* item = AppendItem(parent, id, label, PropValueType::SignedInt);
  item->SetValueText(FormatText(u"%d", {value}));
  item->minimum = kSignedMinimum;
  item->maximum = kSignedMaximum;
  item->valueKnown = value != missing ? 1 : 0;
  return item;
}

CPropItem* CSPropertyList::AddTextProperty(std::int32_t id, std::u16string_view text,
                                           std::u16string_view label, CTreeNode& parent, bool addAnyway) {
  if (text.empty() && !addAnyway) return nullptr;
  CPropItem* item = AppendItem(parent, id, label, PropValueType::Text);
  item->SetValueText(text);
  item->minimum = CPropItem::kTextMaxLength;
  item->maximum = CPropItem::kTextFilter;
  item->valueKnown = text.empty() ? 0 : 1;
  return item;
}

CPropItem* CSPropertyList::AddDateProperty(std::int32_t id, const SystemTime& date, std::u16string_view label,
                                           CTreeNode& parent, bool addAnyway) {
  if (!date.IsSet() && !addAnyway) return nullptr;
  CPropItem* item = AppendItem(parent, id, label, PropValueType::Text);
  if (!date.IsSet()) {
    item->SetValueText(TextOf(u"Unknown"));
    item->valueKnown = 0;
  } else if (date.hour == 0) {
    item->SetValueText(FormatText(
        u"%d-%02d-%02d", {std::int32_t{date.year}, std::int32_t{date.month}, std::int32_t{date.day}}));
  } else {
    item->SetValueText(
        FormatText(u"%d-%02d-%02d %02d:%02d:%02d",
                   {std::int32_t{date.year}, std::int32_t{date.month}, std::int32_t{date.day},
                    std::int32_t{date.hour}, std::int32_t{date.minute}, std::int32_t{date.second}}));
  }
  item->minimum = CPropItem::kTextMaxLength;
  item->maximum = CPropItem::kTextFilter;
  return item;
}

CPropItem* CSPropertyList::AddRationalProperty(std::int32_t id, std::uint64_t value,
                                               std::u16string_view label, CTreeNode& parent, bool addAnyway) {
  const auto numerator = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  const auto denominator = static_cast<std::int32_t>(static_cast<std::uint32_t>(value >> 32));
  if (denominator == 0 && !addAnyway) return nullptr;
  CPropItem* item = AppendItem(parent, id, label, PropValueType::Rational);
  item->SetValueText(RationalText(numerator, denominator));
  item->valueKnown = denominator != 0 ? 1 : 0;
  return item;
}

CPropItem* CSPropertyList::AddEnumProperty(std::int32_t id, std::u16string_view label,
                                           std::u16string_view options, std::int32_t value, CTreeNode& parent,
                                           bool addAnyway) {
  if (value == -1 && !addAnyway) return nullptr;
  CPropItem* item = AppendItem(parent, id, label, PropValueType::Enumeration);
  item->SetEnumOptions(options);
  item->enumValue = value;
  item->valueKnown = value != -1 ? 1 : 0;
  return item;
}

CPropItem* CSPropertyList::ItemAtRow(std::int32_t row) const {
  if (row < 0 || row >= static_cast<std::int32_t>(rows.size())) return nullptr;
  CTreeNode* node = rows[static_cast<std::size_t>(row)].node;
  if (node->HasChildren()) return nullptr;
  return dynamic_cast<CPropItem*>(node);
}

bool CSPropertyList::IsShownItem(const CPropItem* item) const {
  std::lock_guard guard(lock);
  return item && std::any_of(rows.begin(), rows.end(), [&](const TreeRow& row) { return row.node == item; });
}

// Drawing --------------------------------------------------------------------------------

std::u16string CSPropertyList::ValueDisplayText(const CPropItem& item) {
  if (item.valueType == PropValueType::Enumeration) {
    if (const PropOption* option = item.FindOption(item.enumValue)) return option->label;
  } else if (item.valueKnown) {
    return item.valueText;
  }
  return TextOf(u"Unknown");
}

bool CSPropertyList::RenderValueText(CPropItem& item) {
  // A list narrower than its label column still renders its ".." rather
  // than a value without a limit.
  const std::int32_t limit = std::max(rect.Width() - labelColumn - kValueMargin, 1);
  std::int32_t cut = 0;
  if (!UIResources().skins.RenderTextLocked(ValueDisplayText(item), item.valueImage, {}, 0, limit, &cut))
    return false;
  item.valueCut = cut;
  return true;
}

bool CSPropertyList::DrawRow(std::int32_t index) {
  if (index < 0 || index >= static_cast<std::int32_t>(rows.size()) || surface.IsEmpty()) return false;
  const TreeRow& row = rows[static_cast<std::size_t>(index)];
  CTreeNode* node = row.node;
  if (node->HasChildren()) {
    DrawSelectionBar(index * rowHeight, kGroupBandAlpha, rowHeight);
    return CSTree::DrawRow(index);
  }
  auto* item = dynamic_cast<CPropItem*>(node);
  if (!item) return CSTree::DrawRow(index);

  const std::int32_t surfaceWidth = Width(surface);
  const std::int32_t surfaceHeight = Height(surface);
  const std::int32_t y = index * rowHeight - scrollOffset;
  if (y >= surfaceHeight) return true;
  if (y + rowHeight <= 0) return false;
  if (item->valueImage.IsEmpty() && !RenderValueText(*item)) return false;
  if (index == selectedRow) DrawSelectionBar(index * rowHeight, kSelectedBandAlpha, rowHeight);
  if (node->textImage.IsEmpty() && !UIResources().skins.RenderTextLocked(node->text, node->textImage))
    return false;

  const auto& colors = UIResources().theme.colors;
  const std::uint32_t color = !item->enabled ? colors[2] : (item->editable ? colors[0] : colors[1]);
  const std::int32_t indent = row.depth * kIndent + kLabelIndent;
  std::int32_t x = indent;
  if (node->icon && !node->icon->IsEmpty()) {
    BlendImage(surface, *node->icon, x, y + (rowHeight - Height(*node->icon)) / 2, true, {}, 256);
    x += Width(*node->icon) + 4;
  }
  // An empty clip means the whole surface: a label with no room is not drawn.
  if (x < labelColumn) {
    BlendColorMask(surface, node->textImage, x, y + (rowHeight - Height(node->textImage)) / 2, color,
                   {x, 0, labelColumn, surfaceHeight});
  }
  // Drawn upward, so that a row cut by the top edge keeps its part.
  const std::int32_t separatorX = labelColumn + 1;
  DrawGradientLine(surface, {separatorX, std::min(surfaceHeight - 1, y + rowHeight)}, {separatorX, y},
                   kSeparatorMiddle, kSeparatorEnd, 2.0);
  const std::int32_t valueLeft = labelColumn + 1 + indent;
  item->valueX = valueLeft + kValueInset;
  item->valueY = y + (rowHeight - Height(item->valueImage)) / 2;
  if (valueLeft < surfaceWidth) {
    BlendColorMask(surface, item->valueImage, item->valueX, item->valueY, color,
                   {valueLeft, 0, surfaceWidth, surfaceHeight});
  }
  if (item->editable && !editMarker.IsEmpty()) {
    BlendImage(surface, editMarker, surfaceWidth - kMarkerFromRight, y + (rowHeight - Height(editMarker)) / 2,
               true, {}, 256);
  }
  const std::int32_t lineY = y + rowHeight;
  if (lineY >= 0 && lineY < surfaceHeight)
    FillRect(surface, {0, lineY, surfaceWidth, lineY + 1}, kRowLineColor);
  return false;
}

// Editing --------------------------------------------------------------------------------

void CSPropertyList::BeginEdit(std::int32_t row) {
  CPropItem* item = nullptr;
  {
    std::lock_guard guard(lock);
    item = ItemAtRow(row);
  }
  if (item && item == editingItem && activeEditor && editor.visible) return;
  if (editingItem) {
    if (!EndEdit()) {
      // Refused: the field stays open with what the user typed.
      if (CRenderWindow* window = RenderWindowOf(*this)) window->SetFocusSprite(&editor, 0);
      return;
    }
    CloseField();
    ForgetEdit();
  }
  if (!item) return;
  switch (item->valueType) {
    case PropValueType::UnsignedInt:
    case PropValueType::SignedInt: {
      const bool defaultRange =
          item->valueType == PropValueType::UnsignedInt
              ? item->minimum == 0 && item->maximum == kUnsignedMaximum
              : (item->minimum == kSignedMinimum || item->minimum == 0) && item->maximum == kSignedMaximum;
      if (!defaultRange) {
        // No field: the owner hears of the edit when it ends.
        editingItem = item;
        editMode = EditMode::NoEditor;
        return;
      }
      editor.filterKind = EditFilter::Listed;
      editor.allowedChars = std::u16string(kNumberChars);
      editor.maxLength = CEditSprite::kDefaultMaxLength;
      break;
    }
    case PropValueType::Rational:
      editor.filterKind = EditFilter::Listed;
      editor.allowedChars = std::u16string(kFractionChars);
      editor.maxLength = CEditSprite::kDefaultMaxLength;
      break;
    case PropValueType::Text:
      editor.filterKind = TextRowFilter(item->maximum);
      editor.allowedChars.clear();
      editor.maxLength =
          item->minimum < CEditSprite::kDefaultMaxLength ? item->minimum : CEditSprite::kDefaultMaxLength;
      break;
    case PropValueType::Enumeration:
      OpenOptionMenu(*item, row);
      return;
  }
  OpenField(*item, row);
}

void CSPropertyList::OpenField(CPropItem& item, std::int32_t row) {
  std::u16string text;
  std::int32_t left = 0;
  std::int32_t top = 0;
  {
    std::lock_guard guard(lock);
    text = item.valueText;
    left = labelColumn + rows[static_cast<std::size_t>(row)].depth * kIndent + 1;
    top = row * rowHeight - scrollOffset - 2;
  }
  // A value that cannot be shown leaves the row without a field.
  if (!editor.SetText(text)) return;
  editor.MoveCaretToEnd();
  editor.SetSpriteRect(left, top, rect.Width() - left - kScrollBarWidth, rowHeight + 4);
  CDialogSprite::ShowControl(&editor, true);
  activeEditor = &editor;
  editMode = EditMode::Field;
  editingItem = &item;
  if (CRenderWindow* window = RenderWindowOf(*this)) window->SetFocusSprite(&editor, 0);
}

void CSPropertyList::OpenOptionMenu(CPropItem& item, std::int32_t row) {
  Point at;
  {
    std::lock_guard guard(lock);
    at = {labelColumn + rows[static_cast<std::size_t>(row)].depth * kIndent + 1,
          row * rowHeight - scrollOffset};
  }
  if (optionMenu.visible) optionMenu.CloseMenu(false);
  optionMenu.Destroy(0);
  for (const PropOption& option : item.options) {
    // Values come from text files: an id that would overflow, or be 0 (a
    // separator), is left out.
    const std::int64_t commandId = std::int64_t{option.value} + kOptionIdBase;
    if (commandId < 1 || commandId > INT32_MAX) continue;
    optionMenu.AddItem(u"", static_cast<std::int32_t>(commandId), option.label, nullptr);
  }
  editingItem = &item;
  editMode = EditMode::OptionMenu;
  CRenderWindow* window = RenderWindowOf(*this);
  if (window && optionMenu.ItemCount() > 0)
    window->ShowPopupMenu(&optionMenu, PointToWindow(at), true, true, this);
}

void CSPropertyList::CloseField() {
  if (!editor.visible) return;
  CRenderWindow* window = RenderWindowOf(*this);
  const bool focused = window && window->FocusSprite() == &editor;
  CDialogSprite::ShowControl(&editor, false);
  if (focused) window->SetFocusSprite(this, 0);
}

void CSPropertyList::ForgetEdit() {
  editingItem = nullptr;
  activeEditor = nullptr;
  editMode = EditMode::None;
}

void CSPropertyList::StoreValue(CPropItem& item, std::u16string_view text) {
  std::lock_guard guard(lock);
  item.SetValueText(text);
  item.valueKnown = 1;
  dirty = 1;
}

bool CSPropertyList::EndEdit() {
  CPropItem* item = editingItem;
  // An item that left the rows may be gone with its hierarchy.
  if (!IsShownItem(item)) {
    CloseField();
    ForgetEdit();
    return true;
  }
  Notify(kPropMsgEditEnded, 0, item);
  if (!activeEditor || editMode != EditMode::Field) return true;
  const std::u16string text = TruncatedText(activeEditor->GetText(), CPropItem::kValueField);
  switch (item->valueType) {
    case PropValueType::UnsignedInt:
    case PropValueType::SignedInt: {
      const EditedValue value = ReadIntegerValue(text, item->minimum, item->maximum);
      if (value.check == EditedValueCheck::NotANumber) {
        ShowError(TextOf(u"propUpdateErr"));
        return false;
      }
      if (value.check == EditedValueCheck::OutOfRange) {
        ShowError(CDialogSprite::RangeMessage(item->minimum, item->maximum, value.number));
        return false;
      }
      StoreValue(*item, value.text);
      return true;
    }
    case PropValueType::Rational: {
      const EditedValue value = ReadRationalValue(text);
      if (value.check != EditedValueCheck::Ok) {
        ShowError(TextOf(u"propUpdateErr"));
        return false;
      }
      StoreValue(*item, value.text);
      return true;
    }
    case PropValueType::Text:
    case PropValueType::Enumeration:
      break;
  }
  StoreValue(*item, text);
  return true;
}

void CSPropertyList::ChooseOption(std::int32_t commandId) {
  if (editMode != EditMode::OptionMenu || !IsShownItem(editingItem)) return;
  CPropItem& item = *editingItem;
  if (item.valueType != PropValueType::Enumeration) return;
  {
    std::lock_guard guard(lock);
    item.enumValue = commandId - kOptionIdBase;
    const PropOption* option = item.FindOption(item.enumValue);
    item.SetValueText(option ? std::u16string_view(option->label) : std::u16string_view());
    item.valueKnown = 1;
    dirty = 1;
  }
  if (EndEdit()) ForgetEdit();
}

// Input ----------------------------------------------------------------------------------

void CSPropertyList::OnLButtonDown(Point point, std::uint32_t flags) {
  if (!OverScrollBar(point) && point.x > labelColumn) {
    std::int32_t row = -1;
    bool editable = false;
    {
      std::lock_guard guard(lock);
      row = RowAtPoint(point);
      const CPropItem* item = ItemAtRow(row);
      editable = item && item->enabled && item->editable;
    }
    if (editable) {
      SelectRow(row, true, true);
      BeginEdit(row);
      // The press goes on to the field it opened, unless the field already
      // hears it through the capture.
      CRenderWindow* window = RenderWindowOf(*this);
      if (editor.visible && editor.rect.Contains(point) && !(window && window->HasCapture(&editor))) {
        editor.OnLButtonDown({point.x - editor.rect.left, point.y - editor.rect.top},
                             flags & ~kMouseFlagCaptured);
      }
      return;
    }
  }
  BeginEdit(-1);
  CSTree::OnLButtonDown(point, flags);
}

void CSPropertyList::OnMouseMove(Point point, std::uint32_t flags) {
  CSTree::OnMouseMove(point, flags);
  if (OverScrollBar(point)) return;
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window) return;
  bool showTip = false;
  Point tipPoint;
  std::u16string tipText;
  {
    std::lock_guard guard(lock);
    const CPropItem* item = Rect{0, 0, rect.Width(), rect.Height()}.Contains(point) && point.x > labelColumn
                                ? ItemAtRow(RowAtPoint(point))
                                : nullptr;
    if (item && item->enabled && item->valueCut && item != editingItem) {
      showTip = true;
      tipPoint = PointToWindow({item->valueX - 4, item->valueY - 4});
      tipText = item->valueText;
    }
  }
  if (showTip) {
    window->ShowTip(tipPoint.x, tipPoint.y, tipText, true, false);
  } else {
    window->HideTip();
  }
}

bool CSPropertyList::OnSetCursor(Point point) {
  if (HitTestChild(point)) return CMoveOverSprite::OnSetCursor(point);
  bool hand = false;
  {
    std::lock_guard guard(lock);
    const std::int32_t row = RowAtPoint(point);
    if (row >= 0) {
      const CTreeNode* node = rows[static_cast<std::size_t>(row)].node;
      const auto* item = dynamic_cast<const CPropItem*>(node);
      hand = node->HasChildren() || (item && item->editable && item->enabled);
    }
  }
  SetWindowCursor(hand ? CursorShape::Hand : CursorShape::Arrow);
  return true;
}

bool CSPropertyList::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kMenuMsgCommand && message.sender == &optionMenu)
    ChooseOption(static_cast<std::int32_t>(message.wparam));
  return CSTree::OnSpriteMessage(message);
}
