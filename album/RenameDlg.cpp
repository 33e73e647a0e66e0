#include "album/RenameDlg.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "document/BFDoc.h"
#include "document/BFLayer.h"
#include "image/ColorModel.h"
#include "image/ImageCodec.h"
#include "platform/Utf16.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/EditSprite.h"
#include "ui/widgets/SButton.h"
#include "ui/widgets/SCheckBox.h"

namespace {

std::u16string_view TextOf(std::u16string_view key) { return UIResources().texts.TextOrEmpty(key); }

const char16_t* FormatKey(std::int32_t format) {
  switch (format) {
    case 1:
      return u"fmtJpg";
    case 2:
      return u"fmtBmp";
    case 4:
      return u"fmtPng";
    default:
      return nullptr;
  }
}

const char* FormatExtension(std::int32_t format) {
  return format == 1 ? ".jpg" : format == 2 ? ".bmp" : ".png";
}

std::int32_t TypeOf(const std::filesystem::path& path) {
  return path.empty() ? -1 : static_cast<std::int32_t>(GetImageType(path));
}

// Never replaces: the link fails when the name is taken.
bool MoveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

}  // namespace

CRenameDlg::~CRenameDlg() { Destroy(1); }

void CRenameDlg::Destroy(int final) {
  if (CRenderWindow* window = RenderWindowOf(*this)) {
    if (formatMenu.key != 0) {
      if (formatMenu.visible) formatMenu.CloseMenu(false);
      window->RemoveTopLevelSprite(&formatMenu);
    }
  }
  if (final) formatMenu.Destroy(final);
  CDialogSprite::Destroy(final);
}

bool CRenameDlg::OnInitDialog() {
  auto* field = dynamic_cast<CEditSprite*>(FindControl(kNameId));
  auto* button = dynamic_cast<CSButton*>(FindControl(kFormatButtonId));
  auto* box = FindControl(kDeleteSourceId);
  if (!field || !button || !box) return false;
  field->filterKind = EditFilter::FileName;
  field->maxLength = kNameLength;
  button->showMarker = 1;
  if (!BindControl(kNameId, newName) || !BindControl(kDeleteSourceId, deleteSource)) return false;
  if (entries.size() == 1) {
    const RenameEntry& entry = entries.front();
    const std::u16string path = PathToUtf16(entry.path);
    std::u16string extension;
    if (path.size() >= 2) {
      newName = PathToUtf16(entry.path.stem());
      extension = PathToUtf16(entry.path.extension());
    } else {
      newName = path;
    }
    button->SetText(extension);
    targetFormat = TypeOf(entry.path);
    ShowControl(box, false);
  } else {
    newName = std::u16string(TextOf(u"dlgConvertonly"));
    field->acceptsInput = 0;
    UpdateFormatDisplay();
  }
  return UpdateData(false);
}

void CRenameDlg::SetInitialFocus() {
  if (CRenderWindow* window = RenderWindowOf(*this))
    static_cast<void>(window->SetFocusSprite(FindControl(kNameId), 0));  // the previous focus is not needed
}

void CRenameDlg::UpdateFormatDisplay() {
  if (const char16_t* key = FormatKey(targetFormat))
    if (auto* button = dynamic_cast<CSButton*>(FindControl(kFormatButtonId))) button->SetText(TextOf(key));
  const bool converts = entries.size() > 1 ||
                        (targetFormat != -1 && !entries.empty() && targetFormat != TypeOf(entries[0].path));
  ShowControl(FindControl(kDeleteSourceId), converts);
}

void CRenameDlg::ShowFormatMenu() {
  CRenderWindow* window = RenderWindowOf(*this);
  CDialogControl* button = FindControl(kFormatButtonId);
  if (!window || !button) return;
  formatMenu.Destroy(0);
  formatMenu.AddItemEx({}, 101, TextOf(u"fmtJpg"), {}, {}, nullptr);
  formatMenu.AddItemEx({}, 102, TextOf(u"fmtBmp"), {}, {}, nullptr);
  formatMenu.AddItemEx({}, 103, TextOf(u"fmtPng"), {}, {}, nullptr);
  window->ShowPopupMenu(&formatMenu, button->PointToWindow({button->rect.Width(), 0}), true, true, this);
}

bool CRenameDlg::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kSpriteMsgButtonClicked && message.wparam == kFormatButtonId) ShowFormatMenu();
  if (message.code == kMenuMsgCommand) {
    switch (message.wparam) {
      case 101:
        targetFormat = 1;
        break;
      case 102:
        targetFormat = 2;
        break;
      case 103:
        targetFormat = 4;
        break;
      default:
        break;
    }
    UpdateFormatDisplay();
  }
  return CDialogSprite::OnSpriteMessage(message);
}

bool CRenameDlg::OnOK() {
  if (!UpdateData(true) || newName.empty()) return false;
  CRenderWindow* window = RenderWindowOf(*this);
  if (window) window->ShowProgress({});
  bool failed = false;
  const std::size_t n = entries.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (!RenameOrConvertFile(entries[i])) failed = true;
    if (window) window->progress.SetPercent(static_cast<std::int32_t>(100 * (i + 1) / n));
  }
  if (window) window->HideProgress();
  if (failed)
    static_cast<void>(
        ShowMessageBox(TextOf(u"errorrename"), MessageBoxIcon::Information, MessageBoxButtons::Ok));
  return CDialogSprite::OnOK();
}

bool CRenameDlg::RenameOrConvertFile(const RenameEntry& entry) {
  const std::filesystem::path& source = entry.path;
  const std::filesystem::path folder = source.parent_path();
  const std::int32_t type = TypeOf(source);
  if (type == targetFormat) {
    if (entries.size() > 1) return true;
    const std::filesystem::path target = folder / PathFromUtf16(newName + PathToUtf16(source.extension()));
    // Linux names differ by case: only the very same name is no rename.
    if (target == source) return true;
    return MoveNoReplace(source, target);
  }
  CBFDoc document;
  if (document.OpenImageFile(source) != 1) return false;
  const CBFLayer* layer = document.GetCurrentLayer();
  if (!layer || layer->m_image.IsEmpty()) return false;
  CBgraImage picture;
  if (picture.Create(layer->m_image.width, layer->m_image.height) != 1 ||
      ConvertImage16To8(layer->m_image, picture) != 1)
    return false;
  const std::u16string name = entries.size() == 1 ? newName : PathToUtf16(source.stem());
  const std::string extension = FormatExtension(targetFormat);
  const std::filesystem::path target = folder / (PathFromUtf16(name).string() + extension);
  // Written beside the target under a private name, then linked in only
  // when the name is free: an existing photo is never replaced.
  const std::filesystem::path scratch = folder / (".tessera-convert-" + std::to_string(::getpid()) + "-" +
                                                  PathFromUtf16(name).string() + extension);
  const bool saved = targetFormat == 1 ? SaveJpegFile(JpegSaveOptions{}, scratch, picture, kJpegQuality) == 1
                                       : picture.SaveFile(scratch, false) == 1;
  if (!saved) {
    std::error_code ignored;
    std::filesystem::remove(scratch, ignored);
    return false;
  }
  if (!MoveNoReplace(scratch, target)) {
    std::error_code ignored;
    std::filesystem::remove(scratch, ignored);
    return false;
  }
  if (deleteSource) {
    std::error_code ignored;  // the copy is written; a source that stays is no failure
    std::filesystem::remove(source, ignored);
  }
  return true;
}
