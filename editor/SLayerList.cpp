#include "editor/SLayerList.h"

#include <algorithm>
#include <mutex>

#include "document/BFDoc.h"
#include "document/DocHistory.h"
#include "editor/EditorShell.h"
#include "editor/LayerNode.h"
#include "editor/MenuCatalogue.h"
#include "image/BgraImage16.h"
#include "image/ColorModel.h"
#include "platform/WindowHost.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

namespace {

std::u16string_view Text(std::u16string_view key) { return UIResources().texts.TextOrEmpty(key); }

std::u16string_view BlendModeKey(std::uint8_t mode) {
  switch (mode) {
    case 1:
      return u"bmdarken";
    case 2:
      return u"bmlighten";
    case 5:
      return u"bmmul";
    case 6:
      return u"bmscreen";
    case 7:
      return u"bmoverlay";
    case 8:
      return u"bmhardlight";
    case 9:
      return u"bmsoftlight";
    case 10:
      return u"bmdif";
    default:
      return u"bmnormal";
  }
}

constexpr std::size_t kBlendTextField = 30;
constexpr std::int32_t kBlendTextSize = 12;
constexpr std::int32_t kOpacityBarWidth = 93;

}  // namespace

bool CSLayerList::OnSpriteCreate() {
  if (!CFlatSimpleList::OnSpriteCreate()) return false;
  rowHeight = kRowHeight;
  if (!eyePicture.LoadFile(UIResources().skins.SkinFilePath(u"eye.png")) ||
      !arrowPicture.LoadFile(UIResources().theme.basicFolder / "right.png")) {
    return false;
  }
  return blendModeMenu.Create(nullptr, renderWindow, kMenuId, {0, 0, 100, 100}, kMenuLayer);
}

CBFLayer* CSLayerList::LayerAt(std::int32_t row) const {
  if (!document || row < 0) return nullptr;
  return document->GetLayer(document->LayerCount() - 1 - row);
}

bool CSLayerList::BuildThumbnail(const CBFDoc& document, const CBFLayer& layer, CBgraImage& picture) {
  const std::uint64_t w = document.m_width;
  const std::uint64_t h = document.m_height;
  if (w == 0 || h == 0) return false;
  std::uint64_t tw = kThumbnailSide;
  std::uint64_t th = kThumbnailSide;
  // A side never reaches 0, however long and thin the document.
  if (h < w) {
    th = std::max<std::uint64_t>(1, h * kThumbnailSide / w);
  } else {
    tw = std::max<std::uint64_t>(1, w * kThumbnailSide / h);
  }
  CBgraImage16 wide;
  if (!wide.Create(static_cast<std::uint32_t>(tw), static_cast<std::uint32_t>(th))) return false;
  const CBgraImage16& image = layer.m_image;
  for (std::uint64_t i = 0; i < th; ++i) {
    for (std::uint64_t j = 0; j < tw; ++j) {
      const std::int64_t sx = static_cast<std::int64_t>(j * w / tw) - layer.m_x;
      const std::int64_t sy = static_cast<std::int64_t>(i * h / th) - layer.m_y;
      std::uint64_t sum[4] = {0, 0, 0, 0};
      std::uint32_t count = 0;
      for (std::int64_t dy = 0; dy < 2; ++dy) {
        for (std::int64_t dx = 0; dx < 2; ++dx) {
          const std::int64_t x = sx + dx;
          const std::int64_t y = sy + dy;
          if (x < 0 || y < 0 || x >= image.width || y >= image.height || image.IsEmpty()) continue;
          const std::uint16_t* p = image.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
          for (int c = 0; c < 4; ++c) sum[c] += p[c];
          ++count;
        }
      }
      std::uint16_t* out = wide.At(static_cast<std::uint32_t>(j), static_cast<std::uint32_t>(i));
      const std::uint32_t g = ((i / 5 + j / 5) % 2) ? 60000 : 30000;
      const std::uint32_t a = count ? static_cast<std::uint32_t>(sum[3] / count) >> 8 : 0;
      for (int c = 0; c < 3; ++c) {
        const auto average = count ? static_cast<std::uint32_t>(sum[c] / count) : 0u;
        if (a == 0) {
          out[c] = static_cast<std::uint16_t>(g);
        } else if (a == 255) {
          out[c] = static_cast<std::uint16_t>(average);
        } else {
          out[c] = static_cast<std::uint16_t>((g * (256 - a) + average * a) >> 8);
        }
      }
      out[3] = 0xFFFF;
    }
  }
  CBgraImage result;
  if (!result.Create(wide.width, wide.height) || !ConvertImage16To8(wide, result)) return false;
  picture = std::move(result);
  return true;
}

bool CSLayerList::DrawRow(std::int32_t index) {
  if (index < 0 || index >= static_cast<std::int32_t>(rows.size()) || surface.IsEmpty() || !document)
    return false;
  auto* node = static_cast<CLayerNode*>(rows[static_cast<std::size_t>(index)].node);
  const auto sw = static_cast<std::int32_t>(surface.width);
  const std::int32_t t = index * kRowHeight - scrollOffset;
  bool visible = true;
  bool floating = false;
  std::uint8_t opacity = 255;
  std::uint8_t blendMode = 0;
  {
    // The row's layer is read only while the document still holds it here.
    std::lock_guard documentGuard(document->m_lock);
    const std::int32_t count = document->LayerCount();
    if (static_cast<std::int32_t>(rows.size()) != count ||
        node->layer != document->GetLayer(count - 1 - index))
      return false;
    std::lock_guard layerGuard(node->layer->m_lock);
    if (node->thumbnail.IsEmpty() && !BuildThumbnail(*document, *node->layer, node->thumbnail)) return false;
    visible = node->layer->m_visible != 0;
    floating = node->layer->m_floating != 0;
    opacity = node->layer->m_opacity;
    blendMode = node->layer->m_blendMode;
  }
  if (t > static_cast<std::int32_t>(surface.height)) return true;
  if (index == selectedRow) DrawSelectionBar(index * kRowHeight, kSelectionStrength, kRowHeight);
  const auto& colors = UIResources().theme.colors;
  DrawRectOutline(surface, {4, t + 4, 46, t + 46}, colors[2], 255);
  BlendImage(surface, node->thumbnail,
             5 + (kThumbnailSide - static_cast<std::int32_t>(node->thumbnail.width)) / 2,
             t + 5 + (kThumbnailSide - static_cast<std::int32_t>(node->thumbnail.height)) / 2, true, {}, 256);
  BlendImage(surface, eyePicture, 50, t + 5, true, {}, visible ? 256 : 100);
  node->eyeRect = {50, t + 5 + scrollOffset, 70, t + 21 + scrollOffset};
  std::int32_t nameY = t + 25;
  if (floating) {
    node->blendModeRect = {80, t + 5 + scrollOffset, sw - 30, t + 21 + scrollOffset};
    std::u16string text(Text(BlendModeKey(blendMode)));
    if (text.size() > kBlendTextField) text = text.substr(0, kBlendTextField - 1) + u"..";
    CBgraImage rendered;
    if (UIResources().skins.RenderTextLocked(text, rendered, {}, kBlendTextSize, std::max(sw - 110, 1))) {
      BlendColorMask(surface, rendered, 80 + (sw - 110 - static_cast<std::int32_t>(rendered.width)) / 2,
                     t + 5 + (16 - static_cast<std::int32_t>(rendered.height)) / 2, colors[1], {});
    }
    BlendImage(surface, arrowPicture, sw - 30, t + 5, true, {}, 256);
    node->opacityRect = {50, t + 21 + scrollOffset, 145, t + 29 + scrollOffset};
    DrawRectOutline(surface, {50, t + 21, 145, t + 29}, colors[0], 255);
    TintRect(surface, {51, t + 22, 51 + opacity * kOpacityBarWidth / 255, t + 28}, colors[0], 255);
    nameY = t + 33;
  } else {
    node->opacityRect = {};
    node->blendModeRect = {};
  }
  if (node->textImage.IsEmpty() && !UIResources().skins.RenderTextLocked(node->text, node->textImage))
    return false;
  BlendColorMask(surface, node->textImage, 50, nameY, colors[0], {});
  // A name wider than the list less 55 pixels shows whole as a tooltip.
  TreeRow& row = rows[static_cast<std::size_t>(index)];
  row.textLeft = 54;
  row.textTop = std::max(nameY, 0);
  row.textFits = static_cast<std::int32_t>(node->textImage.width) <= sw - 55 ? 1 : 0;
  return false;
}

void CSLayerList::OnMouseMove(Point point, std::uint32_t flags) {
  CFlatSimpleList::OnMouseMove(point, flags);
  if (OverScrollBar(point)) return;
  std::lock_guard guard(lock);
  hotPart = kHotNone;
  if (hoveredRow < 0 || hoveredRow >= static_cast<std::int32_t>(rows.size())) return;
  const auto* node = static_cast<const CLayerNode*>(rows[static_cast<std::size_t>(hoveredRow)].node);
  const Point p{point.x, point.y + scrollOffset};
  if (node->eyeRect.Contains(p)) hotPart = kHotEye;
  const Rect blend = node->blendModeRect;
  if (!blend.IsEmpty() && Rect{blend.left, blend.top, blend.right + 16, blend.bottom}.Contains(p))
    hotPart = kHotBlendMode;
  const Rect bar = node->opacityRect;
  if (!bar.IsEmpty() && Rect{bar.left - 3, bar.top, bar.right + 3, bar.bottom}.Contains(p))
    hotPart = kHotOpacity;
}

bool CSLayerList::OnSetCursor(Point point) {
  if (HitTestChild(point)) return CFlatSimpleList::OnSetCursor(point);
  bool hand = false;
  {
    std::lock_guard guard(lock);
    hand = hoveredRow >= 0 && hotPart != kHotNone;
  }
  SetWindowCursor(hand ? UIResources().handCursor : CursorShape::Arrow);
  return true;
}

void CSLayerList::OnLButtonDown(Point point, std::uint32_t flags) {
  std::int32_t part = kHotNone;
  std::int32_t row = -1;
  {
    std::lock_guard guard(lock);
    part = hotPart;
    row = hoveredRow;
  }
  if (part != kHotNone && row >= 0) {
    if (part == kHotEye) {
      ToggleVisibility(row);
    } else if (part == kHotBlendMode) {
      ShowBlendModeMenu();
    } else {
      SetOpacityAt(row, point.x);
    }
    return;
  }
  if (shell) shell->DropCurrentTool();
  CFlatSimpleList::OnLButtonDown(point, flags);
}

bool CSLayerList::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kMenuMsgCommand) {
    const std::int64_t mode = static_cast<std::int64_t>(message.wparam) - kFirstBlendCommand;
    if (mode >= 0 && mode <= 99) SetBlendMode(hoveredRow, static_cast<std::int32_t>(mode));
  }
  return CFlatSimpleList::OnSpriteMessage(message);
}

void CSLayerList::AddPropertyStep(std::u16string_view key) {
  document->m_modified = 1;
  if (history && !history->AddStep(kStepLayerList, -1, Text(key), StepBlock::None, 0, {}))
    UIResources().WriteLog("Layer step not recorded");
}

void CSLayerList::ToggleVisibility(std::int32_t row) {
  CBFLayer* layer = LayerAt(row);
  if (!layer) return;
  layer->m_visible = layer->m_visible ? 0 : 1;
  AddPropertyStep(u"hisHideShowLayer");
}

void CSLayerList::SetOpacityAt(std::int32_t row, std::int32_t x) {
  CBFLayer* layer = LayerAt(row);
  if (!layer || row >= static_cast<std::int32_t>(rows.size())) return;
  Rect bar;
  {
    std::lock_guard guard(lock);
    bar = static_cast<const CLayerNode*>(rows[static_cast<std::size_t>(row)].node)->opacityRect;
  }
  if (bar.right <= bar.left) return;
  layer->m_opacity =
      static_cast<std::uint8_t>(std::clamp((x - bar.left) * 255 / (bar.right - bar.left), 0, 255));
  AddPropertyStep(u"hisLayerOpacity");
}

void CSLayerList::ShowBlendModeMenu() {
  CRenderWindow* window = RenderWindowOf(*this);
  Rect blend;
  {
    std::lock_guard guard(lock);
    if (hoveredRow < 0 || hoveredRow >= static_cast<std::int32_t>(rows.size())) return;
    blend = static_cast<const CLayerNode*>(rows[static_cast<std::size_t>(hoveredRow)].node)->blendModeRect;
  }
  BuildPopupMenu(blendModeMenu, kMenuBlendModes, {}, document);
  if (window)
    window->ShowPopupMenu(&blendModeMenu, PointToWindow({blend.right, blend.top - scrollOffset}), true, false,
                          this);
}

void CSLayerList::SetBlendMode(std::int32_t row, std::int32_t mode) {
  CBFLayer* layer = LayerAt(row);
  if (!layer || layer->m_blendMode == mode) return;
  layer->m_blendMode = static_cast<std::uint8_t>(mode);
  dirty = 1;
  AddPropertyStep(u"hisChangeBlendMode");
}
