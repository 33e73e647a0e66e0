// Dialog template files: UTF-8 text parsed into a template set, once from
// memory and once from a file of the folder; both must agree, and whatever
// is accepted keeps within the limits the dialogs rely on.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tests/fuzz/FuzzSupport.h"
#include "ui/DialogTemplateSet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CDialogTemplateSet fromText;
  std::string error;
  const bool parsed = fromText.Parse(text, "fuzz.dlg", error);
  FuzzCheck(parsed || (!error.empty() && fromText.Count() == 0), "a refused file adds nothing and says why");
  FuzzCheck(fromText.Count() <= CDialogTemplateSet::kMaxTemplates, "the template count is bounded");
  for (const auto& [id, entry] : fromText.All()) {
    const DialogTemplate* dialog = &entry;
    FuzzCheck(dialog->id == id && fromText.Find(id) == dialog, "templates are found by their ids");
    FuzzCheck(dialog->caption.size() <= CDialogTemplateSet::kMaxTextUnits, "captions are bounded");
    FuzzCheck(dialog->items.size() <= CDialogTemplateSet::kMaxItems, "controls are bounded");
    const Size pixels = dialog->PixelSize();
    FuzzCheck(pixels.width >= 0 && pixels.height >= 0, "sizes are not negative");
    for (const DialogTemplateItem& item : dialog->items) {
      FuzzCheck(item.text.size() <= CDialogTemplateSet::kMaxTextUnits, "texts are bounded");
      const Rect place = item.PixelRect();
      FuzzCheck(place.Width() >= 0 && place.Height() >= 0, "controls have no negative size");
    }
  }

  const auto folder = FuzzScratchFile("dialogs");
  std::filesystem::create_directories(folder);
  WriteFuzzFile(folder / "fuzz.dlg", std::span<const std::uint8_t>(data, size));
  CDialogTemplateSet fromFile;
  const bool loaded = fromFile.LoadFolder(folder, error);
  // An empty file cannot be read; otherwise the file reads as its text.
  FuzzCheck(size == 0 ? !loaded : (loaded == parsed && fromFile.Count() == fromText.Count()),
            "a file reads as its text does");
  return 0;
}
