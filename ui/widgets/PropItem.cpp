#include "ui/widgets/PropItem.h"

#include "platform/Utf16.h"
#include "ui/TextFormat.h"

namespace {

// Labels are cut a character earlier than their field's rule would.
constexpr std::size_t kLabelCutFrom = CPropItem::kOptionLabelField - 2;

}  // namespace

void CPropItem::Clear() {
  options.clear();
  CTreeNode::Clear();
}

std::size_t CPropItem::SetEnumOptions(std::u16string_view text) {
  options.clear();
  const std::u16string copy = TruncatedText(text, kOptionsField);
  std::u16string_view rest = copy;
  while (!rest.empty()) {
    const std::size_t bar = rest.find(u'|');
    const std::u16string_view entry = rest.substr(0, bar);
    const std::size_t caret = entry.find(u'^');
    if (caret == std::u16string_view::npos) break;
    PropOption option;
    option.label = std::u16string(entry.substr(0, caret));
    if (option.label.size() >= kLabelCutFrom)
      option.label = option.label.substr(0, kLabelCutFrom - 1) + u"..";
    option.value = LeadingInteger(entry.substr(caret + 1));
    options.push_back(std::move(option));
    if (bar == std::u16string_view::npos) break;
    rest = rest.substr(bar + 1);
  }
  return options.size();
}

const PropOption* CPropItem::FindOption(std::int32_t value) const {
  for (const PropOption& option : options) {
    if (option.value == value) return &option;
  }
  return nullptr;
}

void CPropItem::SetValueText(std::u16string_view text) {
  valueText = TruncatedText(text, kValueField);
  valueImage.Free();
}
