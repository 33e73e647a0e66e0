#pragma once
// CToolSet: the one instance of every editing tool, shared by all edit
// pages, with the tool list and the icon strip "toolbar.png" (24-pixel
// cells). The program holds one global tool set, built before main; the
// main window's start-up stage initialises it (InitTools) and its
// destruction releases the option panels (ReleaseToolPanels).
//
// List order (the order of creation, start-up and the log lines): polygon
// select, colour range, crop, free crop, shape change, repair, red-eye,
// move, transform, text, free select, rectangle select, round select, free
// paint, clone stamp. A tool that is not built yet is a CPlaceholderTool
// with its button, icon and name.
//
// UI thread.

#include <cstdint>
#include <string_view>
#include <vector>

#include "editor/CameraTool.h"
#include "editor/ColorRangeTool.h"
#include "editor/CropTool.h"
#include "editor/FreeCropTool.h"
#include "editor/FreePaintTool.h"
#include "editor/FreeSelTool.h"
#include "editor/MoveTool.h"
#include "editor/PlaceholderTool.h"
#include "editor/PolygonSelTool.h"
#include "editor/RectSelTool.h"
#include "editor/RedeyeTool.h"
#include "editor/RepairTool.h"
#include "editor/RoundSelTool.h"
#include "editor/ShapeChangeTool.h"
#include "editor/TextTool.h"
#include "editor/Tool.h"
#include "editor/TransTool.h"
#include "image/ImageArray.h"

class CToolSet {
public:
  static constexpr std::int32_t kIconWidth = 24;
  static constexpr std::size_t kToolCount = 15;

  // What the set knows of each tool, in list order.
  struct ToolEntry {
    std::int32_t id;
    std::u16string_view nameKey;
    std::int32_t iconCell;
    std::u16string_view registryName;  // the brush tools' settings key; empty for the others
    std::string_view logName;          // of the start-up line "Create tools - <name> OK"
  };
  static const std::vector<ToolEntry>& Entries();

  CToolSet() = default;
  ~CToolSet();
  CToolSet(const CToolSet&) = delete;
  CToolSet& operator=(const CToolSet&) = delete;

  // Logs "Create tools", loads the icon strip from the skin folder (0
  // without a further line when it cannot be loaded), logs "Create tools -
  // Image List OK", then initialises each tool with its id, icon cell and
  // localised name, logging its line; the first failure returns 0. Then the
  // list holds all tools, in list order; 1.
  [[nodiscard]] int InitTools();
  // Destroys the option panels of the listed tools and empties the list.
  void ReleaseToolPanels();
  // The pointer is one of the listed tools.
  bool Contains(const CTool* tool) const;
  // The listed tool with the id, or null.
  CTool* Find(std::int32_t id) const;
  // The tool instance of an entry, listed or not.
  CTool* ToolFor(std::int32_t id);

  CPolygonSelTool polygonSel;
  CColorRangeTool colorRange;
  CCropTool crop;
  CFreeCropTool freeCrop;
  CShapeChangeTool shapeChange;
  CRepairTool repair;
  CRedeyeTool redeye;
  CMoveTool move;
  CTransTool transform;
  CTextTool text;
  CFreeSelTool freeSel;
  CRectSelTool rectSel;
  CRoundSelTool roundSel;
  CFreePaintTool freePaint;
  CCameraTool camera;

  // Empty until InitTools; tests may list tools of their own.
  std::vector<CTool*> list;
  CImageArray icons;
};
