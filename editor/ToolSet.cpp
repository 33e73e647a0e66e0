#include "editor/ToolSet.h"

#include <algorithm>
#include <string>

#include "ui/UIResources.h"
#include "ui/widgets/PanelSprite.h"

const std::vector<CToolSet::ToolEntry>& CToolSet::Entries() {
  static const std::vector<ToolEntry> entries = {
      {kToolPolygonSel, u"toolPolygon", 0, u"", "Polygon"},
      {kToolColorRange, u"toolRange", 3, u"", "ColorRange"},
      {kToolCrop, u"toolCrop", 12, u"", "Crop"},
      {kToolFreeCrop, u"toolFreeCrop", 13, u"", "Free Crop"},
      {kToolShapeChange, u"toolShape", 8, u"", "Shape Change"},
      {kToolRepair, u"toolRepair", 9, u"Repair", "Repair"},
      {kToolRedeye, u"toolRedeye", 10, u"Redeye", "Redeye"},
      {kToolMove, u"toolMove", 14, u"", "Move"},
      {kToolTransform, u"toolTrans", 15, u"", "Transform"},
      {kToolText, u"toolText", 16, u"", "Text"},
      {kToolFreeSel, u"toolFreeSel", 4, u"", "Free select"},
      {kToolRectSel, u"toolRectSel", 1, u"", "Rect sel"},
      {kToolRoundSel, u"toolRoundSel", 2, u"", "Round"},
      {kToolFreePaint, u"toolFreePaint", 7, u"FreePaintTool", "Free Paint"},
      {kToolCamera, u"toolCamera", 6, u"CameraTool", "Camera"},
  };
  return entries;
}

CToolSet::~CToolSet() {
  ReleaseToolPanels();
  icons.Free();
}

CTool* CToolSet::ToolFor(std::int32_t id) {
  switch (id) {
    case kToolPolygonSel:
      return &polygonSel;
    case kToolColorRange:
      return &colorRange;
    case kToolCrop:
      return &crop;
    case kToolFreeCrop:
      return &freeCrop;
    case kToolShapeChange:
      return &shapeChange;
    case kToolRepair:
      return &repair;
    case kToolRedeye:
      return &redeye;
    case kToolMove:
      return &move;
    case kToolTransform:
      return &transform;
    case kToolText:
      return &text;
    case kToolFreeSel:
      return &freeSel;
    case kToolRectSel:
      return &rectSel;
    case kToolRoundSel:
      return &roundSel;
    case kToolFreePaint:
      return &freePaint;
    case kToolCamera:
      return &camera;
    default:
      return nullptr;
  }
}

int CToolSet::InitTools() {
  CUIResources& resources = UIResources();
  resources.WriteLog("Create tools");
  if (!icons.LoadStrip(resources.skins.SkinFilePath(u"toolbar.png"), kIconWidth)) return 0;
  resources.WriteLog("Create tools - Image List OK");
  for (const ToolEntry& entry : Entries()) {
    const char16_t* text = resources.texts.LookupText(entry.nameKey);
    CTool* tool = ToolFor(entry.id);
    if (!tool->Init(entry.id, icons.At(static_cast<std::size_t>(entry.iconCell)), text ? text : u""))
      return 0;
    resources.WriteLog("Create tools - " + std::string(entry.logName) + " OK");
  }
  list.clear();
  for (const ToolEntry& entry : Entries()) list.push_back(ToolFor(entry.id));
  return 1;
}

void CToolSet::ReleaseToolPanels() {
  for (CTool* tool : list) {
    if (tool->optionPanel) tool->optionPanel->Destroy(1);
  }
  list.clear();
}

bool CToolSet::Contains(const CTool* tool) const {
  return tool && std::find(list.begin(), list.end(), tool) != list.end();
}

CTool* CToolSet::Find(std::int32_t id) const {
  const auto it = std::find_if(list.begin(), list.end(), [id](const CTool* t) { return t->toolId == id; });
  return it == list.end() ? nullptr : *it;
}
