#pragma once
// CSVerticalTabFrame: a tab frame whose title strip lies at its bottom
// (the album's folder and search pages); the pages fill the space above it.

#include "ui/widgets/STabFrame.h"

class CSVerticalTabFrame : public CSTabFrame {
public:
  // The strip takes rows h - 35 to h - 3, then the frame lays out.
  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
};
