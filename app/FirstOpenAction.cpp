#include "app/FirstOpenAction.h"

FirstOpenAction ChooseFirstOpenAction(std::int32_t mode, ImageFileType type, bool filmForRaw,
                                      bool autoWizard) {
  switch (mode) {
    case 0:
      if (type == ImageFileType::Raw && filmForRaw) return FirstOpenAction::Film;
      return autoWizard ? FirstOpenAction::Wizard : FirstOpenAction::None;
    case 1:
      return FirstOpenAction::BlueScreen;
    case 2:
      return FirstOpenAction::InsideOutside;
    default:
      return FirstOpenAction::None;
  }
}
