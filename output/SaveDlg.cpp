#include "output/SaveDlg.h"

#include <algorithm>
#include <string>

#include "document/BFDoc.h"
#include "document/ProjectFile.h"
#include "image/BgraImage16.h"
#include "image/ImageInfo.h"
#include "image/PSDLayerSave.h"
#include "output/JpegOptimize.h"
#include "output/JpegSaveSettings.h"
#include "output/JpgSaveDlg.h"
#include "output/LastFolder.h"
#include "output/WriteThroughTemporary.h"
#include "platform/Utf16.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/dialogs/FileChooser.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/FlatSimpleList.h"
#include "ui/widgets/STree.h"

namespace {

// The quality of an overwritten JPEG: 95 with full-resolution chroma.
constexpr int kOriginalJpegQuality = 195;
constexpr std::uint32_t kTitleGrey = 0xFFE6E6E6u;  // opaque grey 230
constexpr std::uint32_t kTipGrey = 0xFFC8C8C8u;    // opaque grey 200
constexpr std::int32_t kTitleSize = 24;
constexpr std::int32_t kPanelLayer = 2;  // the layer of the template's controls

std::u16string Text(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

}  // namespace

bool WriteJpegMetadata(const std::filesystem::path& path, const ImageInfo* info, std::uint8_t mode) {
  if (!info) return true;
  if (mode == kMetadataLimited) return RewriteImageMetadata(path, *info) != 0;
  if (mode == kMetadataAll) return info->CopyToFile(path) != 0;
  return true;
}

bool CompositeForSaving(const CBFDoc* document, CBgraImage& image) {
  image.Free();
  CBgraImage16 composite;
  if (!document || !document->CompositeLayers(composite, CBFDoc::kOpaqueWhite) || composite.IsEmpty())
    return false;
  if (!composite.ToBgraImageDithered(image) || image.IsEmpty()) {
    image.Free();
    return false;
  }
  return true;
}

CSaveDlg::CSaveDlg(CBFDoc* doc, ImageInfo* photoInfo) : document(doc), info(photoInfo) {
  if (document) documentPath = PathFromUtf16(document->Path());
}

CSaveDlg::~CSaveDlg() = default;

void CSaveDlg::Destroy(int final) {
  CDialogSprite::Destroy(final);
  for (CBgraImage& picture : tilePictures) picture.Free();
}

CFlatSimpleList* CSaveDlg::PresetList() const {
  return dynamic_cast<CFlatSimpleList*>(FindControl(kPresetListId));
}

bool CSaveDlg::OnInitDialog() {
  if (!CDialogSprite::OnInitDialog() || !document) return false;
  const CDialogControl* list = FindControl(kPresetListId);
  const CDialogControl* bottom = FindControl(kBottomMarkId);
  if (!list || !bottom) return false;
  const Rect place{10, 40, list->rect.left - 30, bottom->rect.top - 10};
  if (place.Width() < 100 || place.Height() < 60) return false;
  if (!panel.Create(this, nullptr, kPanelId, place, kPanelLayer)) return false;
  AppendChild(&panel);
  CSkinSet& skins = UIResources().skins;
  if (!icons.LoadStrip(skins.SkinFilePath(u"save.png"), kIconWidth) || icons.Count() < 5) return false;
  if (!includePicture.LoadFile(skins.SkinFilePath(u"include.png"))) return false;
  if (!BuildTiles()) return false;

  documentType = GetImageType(documentPath);
  if (documentType == ImageFileType::Unknown || documentType == ImageFileType::Raw)
    panel.EnableItem(kTileOriginal, false);

  // A preset file that cannot be read leaves the list empty.
  if (!presets.Load()) presets.presets.clear();
  if (CFlatSimpleList* presetList = PresetList()) {
    for (const JpegSavePreset& preset : presets.presets) {
      if (presetList->AddItem(preset.name, nullptr) < 0) return false;
    }
  }
  return true;
}

bool CSaveDlg::TextTile(std::int32_t width, std::int32_t height, std::size_t iconIndex,
                        std::u16string_view titleKey, std::u16string_view tipKey, CBgraImage& tile) const {
  if (width < 70 || height < 10 ||
      !tile.Create(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)))
    return false;
  std::fill(tile.Samples().begin(), tile.Samples().end(), std::uint8_t{0});
  const Rect clip{0, 0, width, height};
  if (const CBgraImage* icon = icons.At(iconIndex)) BlendImage(tile, *icon, 5, 5, true, clip, 256);
  CSkinSet& skins = UIResources().skins;
  CBgraImage title, tip;
  if (!skins.RenderTextLocked(Text(titleKey), title, {}, kTitleSize, width - 65)) return false;
  if (!skins.RenderWrappedText(tip, Text(tipKey), width - 65, 0)) return false;
  BlendColorMask(tile, title, 60, 5, kTitleGrey, clip);
  BlendColorMask(tile, tip, 60, 32, kTipGrey, clip);
  return true;
}

bool CSaveDlg::BuildTiles() {
  const std::int32_t h = panel.rect.Height(), w = panel.rect.Width();
  const std::int32_t c = 36 * h / 100, h72 = 72 * h / 100, b = 26 * h / 100;
  if (!TextTile(w - c - 4, std::min(c - 4, 72), 0, u"SaveProject", u"ProjTip", tilePictures[0]) ||
      !TextTile(w - 4, std::min(c - 4, 72), 1, u"SaveJpeg", u"JpegTip", tilePictures[1]) ||
      !TextTile(w - b - 8, std::min(b, 62), 2, u"Save PNG", u"PNGTip", tilePictures[2])) {
    return false;
  }
  const CBgraImage* overwrite = icons.At(3);
  const CBgraImage* other = icons.At(4);
  return overwrite && other &&
         panel.AddItem(kTileProject, {0, 0, w - c - 2, c - 2}, 1, {}, {}, &tilePictures[0]) &&
         panel.AddIconItem(kTileOriginal, {w - c, 0, w - 2, c - 2}, *overwrite, Text(u"SaveBackTip")) &&
         panel.AddItem(kTileJpeg, {0, c, w - 2, 2 * c - 2}, 1, {}, {}, &tilePictures[1]) &&
         panel.AddIconItem(kTileOther, {0, h72, b, h72 + b}, *other, Text(u"SaveOther")) &&
         panel.AddItem(kTilePng, {b + 2, h72, w - 2, h72 + b}, 1, {}, {}, &tilePictures[2]);
}

bool CSaveDlg::Draw(std::uint32_t now) {
  if (!CDialogSprite::Draw(now)) return false;
  if (!includePicture.IsEmpty()) {
    const std::int32_t x = panel.rect.right + 5;
    const std::int32_t y =
        (panel.rect.top + panel.rect.bottom) / 2 - static_cast<std::int32_t>(includePicture.height) / 2 + 5;
    BlendImage(surface, includePicture, x, y, true, {}, 128);
  }
  return true;
}

bool CSaveDlg::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kTreeMsgSelectionChanged && message.sender == PresetList()) {
    const auto row = static_cast<std::int64_t>(message.wparam);
    if (row >= 0 && static_cast<std::size_t>(row) < presets.presets.size()) {
      (void)SaveWithPreset(static_cast<std::size_t>(row));  // the outcome ends the dialog or was told
      ClearPresetSelection();
    }
    return true;
  }
  if (message.code == kPanelMsgItemClicked && message.sender == &panel) {
    switch (message.wparam) {
      case kTileProject:
        (void)SaveProjectFile();  // each command tells its own failure
        break;
      case kTileOriginal:
        (void)SaveOverOriginal();
        break;
      case kTileJpeg:
        (void)ShowJpegOptions();
        break;
      case kTilePng:
        (void)SaveAsPng();
        break;
      case kTileOther:
        (void)SaveAsOther();
        break;
      default:
        break;
    }
    return true;
  }
  return CDialogSprite::OnSpriteMessage(message);
}

void CSaveDlg::ClearPresetSelection() {
  if (CFlatSimpleList* list = PresetList()) list->SelectRow(-1, false, false);
}

void CSaveDlg::Tell(std::u16string_view key) const {
  (void)ShowMessageBox(Text(key), MessageBoxIcon::Information, MessageBoxButtons::Ok);  // OK only
}

void CSaveDlg::ShowBusy(bool busy) const {
  CRenderWindow* window = g_RenderWindow.load();
  if (!window) return;
  if (busy) {
    window->ShowProgress({});
  } else {
    window->HideProgress();
  }
}

void CSaveDlg::Succeeded() { EndModal(kIdOk); }

bool CSaveDlg::AskSavePath(std::u16string_view lastFolderValue, std::u16string_view extension,
                           std::filesystem::path& chosen) const {
  return FileChooser().ChooseSavePath(u"dlgSave", LastFolderStartName(documentPath, lastFolderValue),
                                      extension, chosen);
}

bool CSaveDlg::CompositeForSaving(CBgraImage& image) const { return ::CompositeForSaving(document, image); }

bool CSaveDlg::SaveProjectFile() {
  if (!document) return false;
  std::filesystem::path path;
  if (!AskSavePath(u"SaveProject", u".bfdoc", path)) return false;
  const int saved = ::SaveProjectFile(path, *document, info);
  if (!RememberLastFolder(path, u"SaveProject")) UIResources().WriteLog("Last Path not stored");
  if (!saved) {
    Tell(u"ErrorSave");
    return false;
  }
  Succeeded();
  return true;
}

bool CSaveDlg::WriteComposite(const std::filesystem::path& path, ImageFileType type) const {
  CBgraImage image;
  if (!CompositeForSaving(image)) return false;
  return WriteThroughTemporary(path, [&](const std::filesystem::path& temporary) {
    switch (type) {
      case ImageFileType::Jpeg:
        return SaveJpegFile({}, temporary, image, kOriginalJpegQuality) &&
               (!info || info->CopyToFile(temporary));
      case ImageFileType::Gif:
        return image.SaveFile(temporary, true) != 0;
      case ImageFileType::Png:
        return image.SaveFile(temporary, true) && (!info || info->CopyToFile(temporary));
      case ImageFileType::Tiff:
        return image.SaveFile(temporary, false) && (!info || info->CopyToFile(temporary));
      default:
        return image.SaveFile(temporary, false) != 0;
    }
  });
}

bool CSaveDlg::SaveOverOriginal() {
  if (!document || documentType == ImageFileType::Unknown || documentType == ImageFileType::Raw) return false;
  if (ShowMessageBox(Text(u"Askoverwriteorg"), MessageBoxIcon::Warning, MessageBoxButtons::YesNo) == kIdNo)
    return false;
  CBgraImage probe;
  if (!CompositeForSaving(probe)) {
    Tell(u"unexpect");
    return false;
  }
  probe.Free();
  ShowBusy(true);
  const bool saved = WriteComposite(documentPath, documentType);
  ShowBusy(false);
  if (!saved) {
    Tell(u"ErrorSave");
    return false;
  }
  Succeeded();
  return true;
}

bool CSaveDlg::ShowJpegOptions() {
  if (!document) return false;
  CJpgSaveDlg options(document, info);
  if (!options.Create(CJpgSaveDlg::kTemplateId)) return false;
  // The chooser gives way while the options run.
  ShowControl(this, false);
  const bool saved = options.RunModal() == kIdOk;
  if (saved) {
    Succeeded();
  } else {
    ShowControl(this, true);
  }
  return saved;
}

bool CSaveDlg::SaveAsPng() {
  if (!document) return false;
  std::filesystem::path path;
  if (!AskSavePath(u"SavePNG", u".png", path)) return false;
  const CBFLayer* layer = document->GetCurrentLayer();
  CBgraImage image;
  if (!layer || layer->m_image.IsEmpty() || !layer->m_image.ToBgraImageDithered(image)) {
    Tell(u"unexpect");
    return false;
  }
  if (!image.SaveFile(path, true)) {
    Tell(u"ErrorSave");
    return false;
  }
  if (!RememberLastFolder(path, u"SavePNG")) UIResources().WriteLog("Last Path not stored");
  Succeeded();
  return true;
}

bool CSaveDlg::SaveAsOther() {
  if (!document) return false;
  std::filesystem::path path;
  if (!AskSavePath(u"SaveOthers", u"", path)) return false;
  CBgraImage image;
  if (!CompositeForSaving(image)) {
    Tell(u"unexpect");
    return false;
  }
  if (!image.SaveFile(path, false)) {
    Tell(u"ErrorSave");
    return false;
  }
  if (!RememberLastFolder(path, u"SaveOthers")) UIResources().WriteLog("Last Path not stored");
  Succeeded();
  return true;
}

bool CSaveDlg::ExportLayer(const CBgraImage16& layer, std::u16string_view layerName) {
  documentPath = PathFromUtf16(layerName);
  std::filesystem::path path;
  if (!AskSavePath(u"SaveLayer", u"", path)) return false;
  std::u16string extension = path.extension().u16string();
  for (char16_t& c : extension) c = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
  ShowBusy(true);
  bool saved = false;
  std::u16string_view failure = u"ErrorSave";
  if (extension == u".png") {
    CBgraImage image;
    if (layer.IsEmpty() || !layer.ToBgraImageDithered(image)) {
      failure = u"unexpect";
    } else if (image.SaveFile(path, true)) {
      saved = true;
      if (!RememberLastFolder(path, u"SaveLayer")) UIResources().WriteLog("Last Path not stored");
    }
  } else {
    CPSDLayerSave psd;
    saved = psd.Save(path, layer) != 0;
  }
  ShowBusy(false);
  if (!saved) {
    Tell(failure);
    return false;
  }
  Succeeded();
  return true;
}

bool CSaveDlg::SaveWithPreset(std::size_t row) {
  if (row >= presets.presets.size() || !document) return false;
  CBgraImage composite;
  if (!CompositeForSaving(composite)) {
    Tell(u"unexpect");
    return false;
  }
  std::filesystem::path path;
  if (!AskSavePath(u"SaveJPG", u".jpg", path)) return false;
  const JpegSavePreset& preset = presets.presets[row];
  JpegOptimizeParams block = preset.block;
  ValidateJpegOptimizeParams(block);
  // The target less what the photo's information will take (never below
  // 1 KB, so a large estimate cannot switch the limit off).
  block.targetKb = JpegPictureTargetKb(block.targetKb, JpegMetadataEstimate(info, block.metadataMode));
  block.chromaMode = kChromaDetect;
  block.runFlags = kRunEncode;
  CBgraImage working;
  block.source = &composite;
  block.third = &composite;
  block.working = &working;
  const std::uint8_t metadataMode = block.metadataMode;
  ShowBusy(true);
  const bool saved = WriteThroughTemporary(path, [&](const std::filesystem::path& temporary) {
    const std::u16string text = temporary.u16string();
    if (text.size() >= JpegOptimizeParams::kPathLength) return false;
    std::fill(block.path.begin(), block.path.end(), u'\0');
    std::copy(text.begin(), text.end(), block.path.begin());
    CJpegOptimize optimizer;
    optimizer.m_params = &block;
    return optimizer.Process() && !optimizer.Cancelled() && WriteJpegMetadata(temporary, info, metadataMode);
  });
  ShowBusy(false);
  if (!saved) {
    Tell(u"unexpect");
    ClearPresetSelection();
    return false;
  }
  if (!RememberLastFolder(path, u"SaveJPG")) UIResources().WriteLog("Last Path not stored");
  Succeeded();
  return true;
}
