#pragma once
// CMetroPanel: a panel of the same behaviour as CPanelSprite, for owners
// that want a panel of this class.

#include "ui/widgets/PanelSprite.h"

class CMetroPanel : public CPanelSprite {};
