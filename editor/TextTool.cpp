#include "editor/TextTool.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "document/BFDoc.h"
#include "editor/CanvasMapping.h"
#include "editor/SEditPage.h"
#include "editor/SEditView.h"
#include "image/ColorModel.h"
#include "platform/FontList.h"
#include "platform/SettingsStore.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowHost.h"
#include "platform/WindowMessages.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/SpriteWindow.h"
#include "ui/UIResources.h"
#include "ui/dialogs/ColorPickerDlg.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"

namespace {

constexpr std::u16string_view kSection = u"TextTool";
constexpr std::int32_t kFontSampleHeight = 64;
constexpr std::int32_t kFontSampleWidth = 200;
constexpr std::int32_t kFacePictureWidth = 80;
constexpr std::int32_t kSwatchSide = 24;
constexpr std::size_t kLayerNameLength = 32;
constexpr std::size_t kFaceItemLength = 16;
constexpr std::uint32_t kEnd = 35;
constexpr std::uint32_t kDown = 40;
constexpr std::uint32_t kDelete = 46;

struct PanelItemSpec {
  std::uint32_t id;
  Rect rect;
  std::uint8_t kind;
  std::u16string_view tip;
};
constexpr PanelItemSpec kItems[] = {
    {CTextTool::kItemFont, {0, 4, 90, 36}, 1, u"textFont"},
    {CTextTool::kItemSize, {90, 4, 130, 36}, 1, u"textSize"},
    {CTextTool::kItemColour, {130, 4, 160, 36}, 1, u"textColor"},
    {CTextTool::kItemUnderline, {160, 4, 190, 36}, 2, u"textUnderline"},
    {CTextTool::kItemItalic, {190, 4, 220, 36}, 2, u"textItalic"},
    {CTextTool::kItemBold, {220, 4, 250, 36}, 2, u"textBold"},
    {CTextTool::kItemAlign, {250, 4, 280, 36}, 1, u"textAlign"},
    {CTextTool::kItemLineSpacing, {280, 4, 310, 36}, 1, u"textLinespace"},
    {CTextTool::kItemAntialias, {310, 4, 340, 36}, 1, u"textAias"},
};

std::u16string Decimal(std::int32_t value) { return FromUtf8(std::to_string(value)); }

std::uint32_t Dword(const CSettingsStore& store, std::u16string_view name, std::uint32_t fallback) {
  std::uint32_t value = fallback;
  (void)store.GetDword(CSettingsStore::Scope::CurrentUser, kSection, name, value);  // missing: the default
  return value;
}

}  // namespace

CTextTool::~CTextTool() {
  ClearGlyphs();
  fonts.clear();
}

// Settings -------------------------------------------------------------------

TextStyle CTextTool::StoredStyle() {
  const CSettingsStore store;
  TextStyle s;
  std::u16string face;
  if (store.GetString(CSettingsStore::Scope::CurrentUser, kSection, u"Font", face) && !face.empty()) {
    s.face.fill(0);
    CopyTextTruncated(s.face, face);
  }
  s.charset = static_cast<std::int32_t>(Dword(store, u"Charset", 0));
  s.size = std::clamp(static_cast<std::int32_t>(Dword(store, u"Size", 20)), TextStyle::kMinSize,
                      TextStyle::kMaxSize);
  s.bold = Dword(store, u"Bold", 0) ? 1 : 0;
  s.italic = Dword(store, u"Italic", 0) ? 1 : 0;
  s.underline = Dword(store, u"Underline", 0) ? 1 : 0;
  const std::uint32_t alignment = Dword(store, u"Alignment", 0);
  s.alignment = alignment <= TextStyle::kMaxAlignment ? static_cast<std::uint8_t>(alignment) : 0;
  s.colour = {static_cast<std::uint16_t>(Dword(store, u"B", 0)),
              static_cast<std::uint16_t>(Dword(store, u"G", 0)),
              static_cast<std::uint16_t>(Dword(store, u"R", 0)), 65535};
  s.lineSpacing = std::clamp(static_cast<std::int32_t>(Dword(store, u"Linespace", 20)),
                             TextStyle::kMinLineSpacing, TextStyle::kMaxLineSpacing);
  s.antialias = Dword(store, u"Antialias", 1) ? 1 : 0;
  return s;
}

void CTextTool::StoreStyle(const TextStyle& s) {
  CSettingsStore store;
  const std::u16string face(s.face.data(), BoundedLength(s.face));
  bool stored = store.SetString(kSection, u"Font", face);
  const std::pair<std::u16string_view, std::uint32_t> values[] = {
      {u"Charset", static_cast<std::uint32_t>(s.charset)},
      {u"Size", static_cast<std::uint32_t>(s.size)},
      {u"R", s.colour[2]},
      {u"G", s.colour[1]},
      {u"B", s.colour[0]},
      {u"Underline", s.underline},
      {u"Italic", s.italic},
      {u"Bold", s.bold},
      {u"Antialias", s.antialias},
      {u"Alignment", s.alignment},
      {u"Linespace", static_cast<std::uint32_t>(s.lineSpacing)},
  };
  for (const auto& [name, value] : values) stored = store.SetDword(kSection, name, value) && stored;
  if (!stored) UIResources().WriteLog("Text style not stored");
}

// Start-up and activation ----------------------------------------------------

std::int32_t CTextTool::Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) {
  if (!CTool::Init(id, picture, text)) return 0;
  ISpriteWindow* window = LiveSpriteWindow();
  panel.drawBackground = 0;
  if (!panel.Create(nullptr, window, id + kOptionPanelIdBase, {0, 0, kPanelWidth, CSEditView::kToolbarHeight},
                    5))
    return 0;
  CUIResources& resources = UIResources();
  if (!icons.LoadStrip(resources.skins.SkinFilePath(u"texttool.png"), kIconWidth) ||
      icons.Count() < kIconCount)
    return 0;
  for (const PanelItemSpec& item : kItems) {
    if (!panel.AddItem(item.id, item.rect, item.kind, {}, item.tip, nullptr)) return 0;
  }
  if (!lineSpacingMenu.Create(nullptr, window, kLineSpacingMenuId, {0, 0, 100, 100}, kMenuLayer) ||
      !fontMenu.Create(nullptr, window, kFontMenuId, {0, 0, 100, 100}, kMenuLayer)) {
    return 0;
  }
  optionPanel = &panel;
  RefreshPanel();
  resources.WriteLog("Create Text Tool - OK");
  return 1;
}

std::int32_t CTextTool::Activate() {
  if (fonts.empty()) {
    if (!EnumerateFonts()) return 0;
    UIResources().WriteLog("Enum fonts OK");
  }
  hitRegion = kHitNothing;
  ForgetLayer();
  dragging = 0;
  changed = 0;
  untouchedNew = 0;
  document = hostView ? hostView->document : nullptr;
  if (!document) return 0;
  RefreshPanel();
  return 1;
}

void CTextTool::Deactivate() {
  if (layer) {
    if (changed) {
      const std::int32_t answer = ShowMessageBox(UIResources().texts.TextOrEmpty(u"textConfirm"),
                                                 MessageBoxIcon::Question, MessageBoxButtons::YesNo);
      if (answer == 6) {
        CommitEdit();
      } else if (newLayer) {
        const bool recorded = committed != 0;
        DeleteEditedLayer();
        if (recorded) RecordStep(true);  // the history holds the layer: its removal is a step
      } else {
        RevertEdit();
      }
    } else if (untouchedNew) {
      DeleteEditedLayer();
    }
  }
  if (dragging && hostView) {
    if (CRenderWindow* window = RenderWindowOf(*hostView)) window->ReleaseCaptureSprite(hostView);
  }
  dragging = 0;
  capture = 0;
  ClearGlyphs();
  ForgetLayer();
  RefreshPanel();
  Redraw();
}

void CTextTool::ForgetLayer() {
  auto guard = LockOverlay();
  layer = nullptr;
  style = nullptr;
  newLayer = 0;
  committed = 0;
  savedImage.Free();
}

// Fonts ----------------------------------------------------------------------

bool CTextTool::EnumerateFonts() {
  CUIResources& resources = UIResources();
  resources.WriteLog("Enum All fonts");
  const std::vector<std::u16string> faces = faceOverride.empty() ? ListFontFamilies() : faceOverride;
  for (const std::u16string& face : faces) {
    resources.WriteLog(ToUtf8(face));
    if (!face.empty() && face[0] == u'@') continue;
    AddFont(face, 0);
  }
  std::sort(fonts.begin(), fonts.end(), [](const auto& a, const auto& b) {
    return std::u16string_view(a->name.data(), BoundedLength(a->name)) <
           std::u16string_view(b->name.data(), BoundedLength(b->name));
  });
  return !fonts.empty();
}

void CTextTool::AddFont(std::u16string_view face, std::int32_t charset) {
  auto entry = std::make_unique<FontEntry>();
  if (face.size() >= FontEntry::kNameLength - 1) {
    std::copy_n(face.begin(), FontEntry::kNameLength - 3, entry->name.begin());
    entry->name[FontEntry::kNameLength - 3] = u'.';
    entry->name[FontEntry::kNameLength - 2] = u'.';
  } else {
    std::copy(face.begin(), face.end(), entry->name.begin());
  }
  entry->charset = charset;
  fonts.push_back(std::move(entry));
  UIResources().WriteLog("Add Font OK");
}

bool CTextTool::RenderFontSample(FontEntry& entry) {
  if (!entry.sample.IsEmpty()) return true;
  if (entry.sampleTried) return false;
  entry.sampleTried = 1;
  CUIResources& resources = UIResources();
  const std::u16string face(entry.name.data(), BoundedLength(entry.name));
  auto sampleFont = CFont::Create(FontRequest{face, kFontSampleHeight, 400, false});
  if (!sampleFont) return false;
  resources.WriteLog("Create Font OK");
  CBgraImage rendered;
  if (!resources.skins.RenderTextWithFont(*sampleFont, u"ABCdef", kFontSampleWidth, rendered)) return false;
  resources.WriteLog("Create Font Sample OK");
  CBgraImage sample;
  Rect whole;
  if (!rendered.ResampleTo(sample, std::max(1u, rendered.width / 4), std::max(1u, rendered.height / 4), 4,
                           whole))
    return false;
  for (std::uint32_t i = 0; i < sample.pixelCount; ++i) {
    std::uint8_t* p = sample.pixels + std::size_t{i} * 4;
    p[3] = p[2];
    p[0] = p[1] = p[2] = 0;
  }
  entry.sample.Swap(sample);
  return true;
}

void CTextTool::ShowFontMenu() {
  CRenderWindow* window = hostView ? RenderWindowOf(*hostView) : nullptr;
  if (!window || !style) return;
  for (std::size_t i = 0; i < fonts.size(); ++i) {
    FontEntry& entry = *fonts[i];
    if (!RenderFontSample(entry)) continue;  // a face that cannot be drawn is left out
    (void)fontMenu.AddItem({}, kFirstFontCommand + static_cast<std::int32_t>(i),
                           std::u16string_view(entry.name.data(), BoundedLength(entry.name)),
                           &entry.sample);  // an item already there stays
  }
  const std::u16string_view face(style->face.data(), BoundedLength(style->face));
  for (std::size_t i = 0; i < fonts.size(); ++i) {
    if (std::u16string_view(fonts[i]->name.data(), BoundedLength(fonts[i]->name)) == face)
      fontMenu.CheckItem(kFirstFontCommand + static_cast<std::int32_t>(i), true);
  }
  const PanelItem* item = panel.FindItem(kItemFont);
  if (!item) return;
  const Point corner = panel.PointToWindow({item->rect.left, item->rect.bottom});
  window->ShowPopupMenu(&fontMenu, corner, true, true, hostView);
}

void CTextTool::ShowLineSpacingMenu() {
  CRenderWindow* window = hostView ? RenderWindowOf(*hostView) : nullptr;
  if (!window || !style) return;
  static constexpr std::u16string_view kCaptions[] = {u"-10%", u"0%",  u"10%", u"20%", u"30%",
                                                      u"40%",  u"50%", u"60%", u"70%"};
  for (std::size_t i = 0; i < std::size(kCaptions); ++i)
    (void)lineSpacingMenu.AddItem({}, kFirstLineSpacingCommand + static_cast<std::int32_t>(i), kCaptions[i],
                                  nullptr);  // added once; later calls find it there
  lineSpacingMenu.CheckItem(style->lineSpacing / 10 + kFirstLineSpacingCommand + 1, true);
  const PanelItem* item = panel.FindItem(kItemLineSpacing);
  if (!item) return;
  const Point corner = panel.PointToWindow({item->rect.left, item->rect.bottom});
  window->ShowPopupMenu(&lineSpacingMenu, corner, true, true, hostView);
}

// The panel ------------------------------------------------------------------

void CTextTool::RefreshPanel() {
  if (!optionPanel) return;
  for (const PanelItemSpec& item : kItems) panel.ShowItem(item.id, layer != nullptr);
  if (!layer || !style) {
    panel.dirty = 1;
    return;
  }
  panel.SetItemChecked(kItemUnderline, style->underline != 0);
  panel.SetItemChecked(kItemItalic, style->italic != 0);
  panel.SetItemChecked(kItemBold, style->bold != 0);
  CSkinSet& skins = UIResources().skins;
  {
    std::lock_guard panelGuard(panel.lock);
    if (PanelItem* item = panel.FindItem(kItemFont)) {
      std::array<char16_t, kFaceItemLength> text{};
      CopyTextTruncated(text, std::u16string_view(style->face.data(), BoundedLength(style->face)));
      item->text.assign(text.data(), BoundedLength(text));
      std::lock_guard textGuard(skins);
      if (!skins.RenderText(item->text, item->textImage, {}, 0, kFacePictureWidth)) item->textImage.Free();
    }
    if (PanelItem* item = panel.FindItem(kItemSize)) {
      std::lock_guard textGuard(skins);
      if (!skins.RenderText(Decimal(style->size) + u"px", item->textImage)) item->textImage.Free();
    }
  }
  CBgraImage swatch;
  if (swatch.Create(kSwatchSide, kSwatchSide)) {
    std::uint8_t bgr[4]{};
    const std::uint16_t colour[4] = {style->colour[0], style->colour[1], style->colour[2], 65535};
    ConvertPixels16To8(colour, bgr, 1);
    const std::uint32_t fill =
        0xFF000000u | (std::uint32_t{bgr[2]} << 16) | (std::uint32_t{bgr[1]} << 8) | bgr[0];
    FillRect(swatch, {0, 0, kSwatchSide, kSwatchSide}, fill);
    skins.DrawRectLines(swatch, {0, 0, kSwatchSide - 1, kSwatchSide - 1}, kFrameColour, 10, 0);
    panel.SetItemImage(kItemColour, &swatch);
  }
  panel.SetItemImage(kItemUnderline, icons.At(kIconUnderline));
  panel.SetItemImage(kItemItalic, icons.At(kIconItalic));
  panel.SetItemImage(kItemBold, icons.At(kIconBold));
  panel.SetItemImage(kItemAlign, icons.At(kIconAlignLeft + std::min<std::size_t>(style->alignment, 2)));
  panel.SetItemImage(kItemLineSpacing, icons.At(kIconLineSpacing));
  panel.SetItemImage(kItemAntialias, icons.At(style->antialias ? kIconAntialiasOn : kIconAntialiasOff));
  panel.dirty = 1;
  if (panel.tileColumns > 0) panel.InvalidateArea({}, 1);
}

// Coordinates ----------------------------------------------------------------

Point CTextTool::ToDocument(CanvasPoint point) const {
  return hostView ? hostView->Mapping().ToDocument(point) : Point{point.x, point.y};
}

CanvasPoint CTextTool::ToTool(Point documentPoint) const {
  return hostView ? hostView->Mapping().ToCanvasPoint(documentPoint)
                  : CanvasPoint{documentPoint.x, documentPoint.y};
}

void CTextTool::Redraw() {
  if (hostView) hostView->overlay.dirty = 1;
}

// Mouse ----------------------------------------------------------------------

std::int32_t CTextTool::OnMouseMove(std::int32_t, CanvasPoint, CanvasPoint point) {
  if (!layer) {
    SetWindowCursor(CursorShape::Arrow);
    hitRegion = kHitNothing;
    return 1;
  }
  if (dragging) {
    const Point d = ToDocument(point);
    layer->m_x = layerStart.x + (d.x - dragStart.x);
    layer->m_y = layerStart.y + (d.y - dragStart.y);
    if (document) document->m_modified = 1;
    changed = 1;
    Redraw();
    return 1;
  }
  if (confirmMark.Contains(point.x, point.y)) {
    SetWindowCursor(CursorShape::Hand);
    hitRegion = kHitConfirm;
  } else if (frame.Contains(ToDocument(point))) {
    SetWindowCursor(CursorShape::Arrow);
    hitRegion = kHitFrame;
  } else {
    SetWindowCursor(CursorShape::SizeAll);
    hitRegion = kHitMove;
  }
  return 1;
}

std::int32_t CTextTool::OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t) {
  if (button != kLeftButton || !document) return 1;
  const Point d = ToDocument(point);
  if (!layer) {
    if (CTextLayer* found = FindTextLayerAt(d)) {
      {
        auto guard = LockOverlay();
        layer = found;
        style = &found->m_style;
      }
      newLayer = 0;
      untouchedNew = 0;
      committed = 0;
      if (!SaveLayerState()) UIResources().WriteLog("Text layer state not saved");
      LoadGlyphsFromLayer();
      changed = 1;
    } else {
      if (!CreateTextLayer(d)) return 1;
      newLayer = 1;
      untouchedNew = 1;
    }
    document->SetCurrentLayer(document->FindLayerByImage(&layer->m_image));
    RefreshPanel();
    hitRegion = kHitFrame;
    Redraw();
    return 1;
  }
  switch (hitRegion) {
    case kHitFrame:
      if (!lines.empty()) SetCaretFromPoint(d);
      break;
    case kHitMove:
      if (dragging) break;
      dragging = 1;
      capture = 1;
      if (hostView) {
        if (CRenderWindow* window = RenderWindowOf(*hostView)) window->SetCaptureSprite(hostView);
      }
      dragStart = d;
      layerStart = {layer->m_x, layer->m_y};
      break;
    case kHitConfirm:
      CommitEdit();
      DropTool();
      break;
    default:
      break;
  }
  return 1;
}

std::int32_t CTextTool::OnButtonUp(std::int32_t, CanvasPoint, std::uint32_t) {
  if (!dragging) return 1;
  dragging = 0;
  capture = 0;
  if (hostView) {
    if (CRenderWindow* window = RenderWindowOf(*hostView)) window->ReleaseCaptureSprite(hostView);
  }
  Redraw();
  return 1;
}

void CTextTool::OnCaptureLost() {
  if (!dragging) return;
  dragging = 0;
  capture = 0;
  Redraw();
}

std::int32_t CTextTool::OnDoubleClick(std::int32_t, CanvasPoint, std::uint32_t) {
  if (layer) CommitEdit();
  DropTool();
  return 1;
}

void CTextTool::DropTool() {
  if (hostView) hostView->page.toolPanel.SetCurrentTool(nullptr);
}

// Keys -----------------------------------------------------------------------

std::int32_t CTextTool::OnKey(std::uint32_t key, std::int32_t isVirtual, std::uint32_t) {
  if (!layer) return 1;
  if (!isVirtual) {
    if (key >= 32 && key <= 0xFFFF)
      (void)InsertCharacter(static_cast<char16_t>(key));  // a surrogate is refused
    Redraw();
    return 1;
  }
  switch (key) {
    case VK_BACK:
      if (caret > 0) {
        DeleteCharacter(caret - 1);
        --caret;
      }
      break;
    case VK_RETURN:
      (void)InsertCharacter(13);  // refused only at the glyph limit
      break;
    case VK_INSERT:
      if (UiQueue().GetKeyState(VK_SHIFT) < 0) PasteText();
      break;
    case kDelete:
      DeleteCharacter(caret);
      break;
    default:
      if (key >= kEnd && key <= kDown) MoveCaret(key);
      break;
  }
  Redraw();
  return 1;
}

// Panel and menu messages ----------------------------------------------------

void CTextTool::OnMessage(const SpriteMessage& message) {
  if (!style) return;
  if (message.code == kPanelMsgItemClicked) {
    switch (static_cast<std::uint32_t>(message.wparam)) {
      case kItemFont:
        ShowFontMenu();
        break;
      case kItemSize: {
        std::u16string text = Decimal(style->size);
        Point at = kDialogCentred;
        if (const PanelItem* item = panel.FindItem(kItemSize))
          at = panel.PointToWindow({item->rect.left, item->rect.bottom});
        const CStringTable& texts = UIResources().texts;
        if (!InputString(text, 6, texts.TextOrEmpty(u"textSize"), texts.TextOrEmpty(u"textSizeTip"), at))
          break;
        const std::string digits = ToUtf8(text);
        char* end = nullptr;
        const long value = std::strtol(digits.c_str(), &end, 10);
        if (end == digits.c_str() || value < 1) break;
        style->size = static_cast<std::int32_t>(std::min<long>(value, TextStyle::kMaxSize));
        changed = 1;
        RefreshPanel();
        CreateTextFont();
        RenderText(true);
        break;
      }
      case kItemColour: {
        const ColourBgra16 picked =
            PickColor(MakeColourBgra16(style->colour[2], style->colour[1], style->colour[0], 65535));
        if (AlphaOf(picked) == 0) break;  // cancelled
        style->colour = {BlueOf(picked), GreenOf(picked), RedOf(picked), 65535};
        changed = 1;
        RefreshPanel();
        RenderText(false);
        break;
      }
      case kItemUnderline:
      case kItemItalic:
      case kItemBold:
      case kItemAntialias: {
        const auto id = static_cast<std::uint32_t>(message.wparam);
        std::uint8_t& flag = id == kItemUnderline ? style->underline
                             : id == kItemItalic  ? style->italic
                             : id == kItemBold    ? style->bold
                                                  : style->antialias;
        flag = flag ? 0 : 1;
        changed = 1;
        RefreshPanel();
        CreateTextFont();
        RenderText(true);
        break;
      }
      case kItemAlign:
        style->alignment = static_cast<std::uint8_t>((style->alignment + 1) % 3);
        changed = 1;
        RefreshPanel();
        RenderText(false);
        break;
      case kItemLineSpacing:
        ShowLineSpacingMenu();
        RenderText(false);
        break;
      default:
        break;
    }
    Redraw();
    return;
  }
  if (message.code != kMenuMsgCommand) return;
  const auto id = static_cast<std::int32_t>(message.wparam);
  if (id >= kFirstLineSpacingCommand && id <= kLastLineSpacingCommand) {
    style->lineSpacing =
        std::clamp(id * 10 - 30008010, TextStyle::kMinLineSpacing, TextStyle::kMaxLineSpacing);
    changed = 1;
    RenderText(false);
  } else if (id >= kFirstFontCommand && id <= kLastFontCommand) {
    const auto index = static_cast<std::size_t>(id - kFirstFontCommand);
    if (index >= fonts.size()) return;
    style->face = fonts[index]->name;
    style->charset = fonts[index]->charset;
    changed = 1;
    RefreshPanel();
    CreateTextFont();
    RenderText(true);
  }
  Redraw();
}

// Layers and the edit ----------------------------------------------------------

CTextLayer* CTextTool::FindTextLayerAt(Point d) const {
  if (!document) return nullptr;
  for (std::int32_t i = document->LayerCount() - 1; i >= 1; --i) {
    CBFLayer* candidate = document->GetLayer(i);
    if (!(candidate->m_kind & 1)) continue;
    const Rect r{candidate->m_x, candidate->m_y,
                 candidate->m_x + static_cast<std::int32_t>(candidate->m_image.width),
                 candidate->m_y + static_cast<std::int32_t>(candidate->m_image.height)};
    if (r.Contains(d)) return dynamic_cast<CTextLayer*>(candidate);
  }
  return nullptr;
}

CTextLayer* CTextTool::CreateTextLayer(Point d) {
  if (!document || document->LayerCount() >= 255) return nullptr;
  auto made = std::make_unique<CTextLayer>();
  std::array<char16_t, kLayerNameLength> name{};
  CopyTextTruncated(name, UIResources().texts.TextOrEmpty(u"text"));
  made->SetName(std::u16string_view(name.data(), BoundedLength(name)));
  made->m_x = d.x;
  made->m_y = d.y;
  made->m_floating = 1;
  if (!made->m_image.Create(8, 8)) return nullptr;
  std::memset(made->m_image.pixels, 0, made->m_image.byteSize);
  made->m_style = StoredStyle();
  CTextLayer* created = made.get();
  const std::int32_t above = std::clamp(document->m_currentLayer + 1, 1, document->LayerCount());
  document->m_layers.insert(document->m_layers.begin() + above, std::move(made));
  document->m_modified = 1;
  {
    auto guard = LockOverlay();
    glyphs.clear();
    lines.clear();
    layer = created;
    style = &created->m_style;
  }
  committed = 0;
  caret = 0;
  CreateTextFont();
  RenderText(false);
  return created;
}

bool CTextTool::SaveLayerState() {
  if (!layer) return false;
  std::lock_guard guard(layer->m_lock);
  savedPosition = {layer->m_x, layer->m_y};
  savedText = layer->m_text;
  savedStyle = layer->m_style;
  savedImage.Free();
  return layer->m_image.IsEmpty() || savedImage.CopyFrom(layer->m_image);
}

void CTextTool::RevertEdit() {
  if (!layer || newLayer || savedImage.IsEmpty()) return;
  {
    std::lock_guard guard(layer->m_lock);
    layer->m_image.Swap(savedImage);
    layer->m_x = savedPosition.x;
    layer->m_y = savedPosition.y;
    layer->m_text = savedText;
    layer->m_style = savedStyle;
  }
  savedImage.Free();
  if (document) document->m_modified = 1;
}

void CTextTool::DeleteEditedLayer() {
  if (!document || !layer) return;
  const std::int32_t index = document->FindLayerByImage(&layer->m_image);
  {
    auto guard = LockOverlay();
    layer = nullptr;
    style = nullptr;
  }
  if (index >= 1) document->DeleteLayer(index);
  document->m_modified = 1;
}

void CTextTool::RecordStep(bool wholeDocument) {
  CSEditPage* page = hostView ? &hostView->page : nullptr;
  if (!page || !document) return;
  const std::u16string_view name = UIResources().texts.TextOrEmpty(u"hisText");
  const std::int32_t index = wholeDocument || !layer ? -1 : document->FindLayerByImage(&layer->m_image);
  if (!page->history.AddStep(wholeDocument ? kStepDocument : kStepLayer, index, name, StepBlock::None, 0, {}))
    UIResources().WriteLog("Text step not recorded");
  else
    committed = 1;
}

void CTextTool::CommitEdit() {
  if (!layer || !style) return;
  changed = 0;
  untouchedNew = 0;
  if (style->alignment <= 4 && style->bold < 2) StoreStyle(*style);
  if (glyphs.empty()) {
    // A layer the history already holds leaves it by a step of its own;
    // a new layer never recorded leaves no trace.
    const bool recorded = !newLayer || committed;
    DeleteEditedLayer();
    ClearGlyphs();
    if (recorded) RecordStep(true);
    RefreshPanel();
    return;
  }
  RecordStep(newLayer != 0);
}

// Overlay ----------------------------------------------------------------------

void CTextTool::DrawOverlay(CBgraImage& target, std::uint32_t) {
  if (!layer || !style || !hostView) return;
  const CanvasMapping& m = hostView->view;  // the canvas's lock is held
  Rect image;
  {
    std::lock_guard layerGuard(layer->m_lock);  // the UI thread replaces the image under it
    image = {layer->m_x, layer->m_y, layer->m_x + static_cast<std::int32_t>(layer->m_image.width),
             layer->m_y + static_cast<std::int32_t>(layer->m_image.height)};
  }
  frame = {image.left - style->size, image.top - style->size, image.right + style->size,
           image.bottom + style->size};
  const CanvasPoint topLeft = m.ToCanvasPoint({frame.left, frame.top});
  const CanvasPoint bottomRight = m.ToCanvasPoint({frame.right, frame.bottom});
  const Rect outline{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
  CSkinSet& skins = UIResources().skins;
  skins.DrawRectLines(target, outline, kFrameColour, 10, 0);
  confirmMark = {outline.right - kConfirmSide, outline.top - kConfirmSide, outline.right, outline.top};

  const std::int32_t at = caret;
  if (!glyphs.empty() && at >= 0) {
    const auto count = static_cast<std::int32_t>(glyphs.size());
    const std::int32_t half = style->size / 2;
    Rect block;
    if (at < count) {
      block = glyphs[static_cast<std::size_t>(at)]->box;
      if (block.Width() == 0) block.right = block.left + half;
    } else {
      const TextGlyph& last = *glyphs.back();
      if (last.printable) {
        block = last.box.Offset(last.box.Width(), 0);
      } else {
        const std::int32_t top = last.box.bottom + style->lineSpacing * style->size / 100;
        const std::int32_t width = image.Width();
        const std::int32_t left = style->alignment == 1   ? (width - half) / 2
                                  : style->alignment == 2 ? width - half
                                                          : 0;
        block = {left, top, left + half, top + style->size};
      }
    }
    block = block.Offset(layer->m_x, layer->m_y);
    const CanvasPoint a = m.ToCanvasPoint({block.left, block.top});
    const CanvasPoint b = m.ToCanvasPoint({block.right, block.bottom});
    TintRect(target, {a.x, a.y, b.x, b.y}, 0xFFFFFFFF, 255);
  }
  FillRect(target, confirmMark, 0xFF000000);
  if (const CBgraImage* mark = icons.At(kIconConfirm))
    BlendImage(target, *mark, confirmMark.right - 20, confirmMark.bottom - 20, true,
               {0, 0, static_cast<std::int32_t>(target.width), static_cast<std::int32_t>(target.height)},
               256);
}
