#include "ui/dialogs/SStringDialog.h"

#include <algorithm>

#include "platform/Utf16.h"
#include "ui/RenderWindow.h"
#include "ui/widgets/SStaticText.h"

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Cut to at most limit units, never between the halves of a pair.
std::u16string CutToLength(std::u16string text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t keep = limit;
  if (keep > 0 && IsHighSurrogate(text[keep - 1])) --keep;
  text.resize(keep);
  return text;
}

bool RunStringDialog(std::u16string& text, std::int32_t maxLength, std::u16string_view title,
                     std::u16string_view prompt, Point position, EditFilter filter) {
  CSStringDialog dialog;
  if (!dialog.Create(title, prompt, &text, maxLength)) return false;
  dialog.filterKind = filter;
  if (position.x != kDialogCentred.x) {
    Rect place{position.x, position.y, position.x + dialog.rect.Width(), position.y + dialog.rect.Height()};
    if (CRenderWindow* window = RenderWindowOf(dialog)) {
      const Size client = window->LogicalSize();
      if (place.right > client.width) place = place.Offset(-place.Width(), 0);
      if (place.bottom > client.height) place = place.Offset(0, -place.Height());
    }
    dialog.SetSpriteRect(place.left, place.top, place.Width(), place.Height());
  }
  if (dialog.RunModal() != kIdOk) return false;
  text = CutToLength(dialog.answer, dialog.maxLength);
  return true;
}

}  // namespace

bool InputString(std::u16string& text, std::int32_t maxLength, std::u16string_view title,
                 std::u16string_view prompt, Point position) {
  return RunStringDialog(text, maxLength, title, prompt, position, EditFilter::Any);
}

bool InputName(std::u16string& text, std::u16string_view title, Point position) {
  return RunStringDialog(text, CSStringDialog::kNameLength, title, {}, position, EditFilter::FileName);
}

CEditSprite* CSStringDialog::Field() const { return dynamic_cast<CEditSprite*>(FindControl(kEditId)); }

bool CSStringDialog::Create(std::u16string_view titleText, std::u16string_view promptText,
                            const std::u16string* initial, std::int32_t maximum) {
  if (!CDialogSprite::Create(kTemplateId)) return false;
  if (!SetTitle(titleText)) return false;
  prompt = TruncatedText(promptText, kPromptField);
  auto* label = dynamic_cast<CSStaticText*>(FindControl(kPromptId));
  if (!label || !label->SetText(prompt)) return false;
  maxLength = static_cast<std::uint16_t>(maximum <= 0 || maximum > kNoLimit ? kNoLimit : maximum);
  if (initial) {
    if (CEditSprite* field = Field()) {
      // Shown whole even when longer than the maximum, which applies only
      // to what is typed afterwards.
      if (field->SetText(*initial)) field->MoveCaretToEnd();
      if (maxLength < kNoLimit) field->maxLength = maxLength;
    }
  }
  return true;
}

bool CSStringDialog::OnInitDialog() {
  CEditSprite* field = Field();
  if (!field || !BindControl(kEditId, answer)) return false;
  if (CRenderWindow* window = RenderWindowOf(*this)) window->SetFocusSprite(field, 0);
  if (maxLength < kNoLimit) field->maxLength = maxLength;
  field->filterKind = filterKind;
  if (filterKind == EditFilter::Listed) {
    if (allowedChars.empty()) {
      field->filterKind = EditFilter::Any;
    } else {
      field->allowedChars = allowedChars.substr(0, CEditSprite::kAllowedField - 1);
    }
  }
  return true;
}

void CSStringDialog::SetInitialFocus() {
  CEditSprite* field = Field();
  CRenderWindow* window = RenderWindowOf(*this);
  if (field && window) window->SetFocusSprite(field, 0);
}
