#include "ui/widgets/SRatioButton.h"

void CSRatioButton::Toggle() {
  if (checkState != 0) return;
  checkState = 1;
  dirty = 1;
  Notify(1);
}
