#pragma once
// CLayerNode: one row of the layer panel's list: the layer it shows (not
// owned; matched against the document before every use), its thumbnail,
// built on the row's first drawing, and the places of the row's eye, opacity
// bar and blend mode as last drawn, in list coordinates.

#include "document/BFLayer.h"
#include "image/BgraImage.h"
#include "platform/Rect.h"
#include "ui/widgets/TreeNode.h"

struct CLayerNode final : CTreeNode {
  CBFLayer* layer = nullptr;
  CBgraImage thumbnail;
  Rect eyeRect;
  Rect opacityRect;    // empty for the base layer
  Rect blendModeRect;  // empty for the base layer
};
