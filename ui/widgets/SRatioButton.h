#pragma once
// CSRatioButton: the radio button of a sprite dialog, a check box with the
// round glyph that a press or Space only ever ticks: pressing a ticked
// button does nothing and tells no one. The parent keeps its group
// consistent when message 100 arrives (it clears the other buttons through
// SetValue).

#include "ui/widgets/SCheckBox.h"

class CSRatioButton : public CSCheckBox {
protected:
  SkinIcon FirstGlyph() const override { return kIconRadio; }
  void Toggle() override;
};
