// The rename and convert dialog through the album's F2: renames keep the
// extension, a case-only rename renames, conversions write beside the photo
// (deleting the source when ticked), several photos convert only those of
// another type, and nothing ever lands on a taken name: "errorrename", both
// files kept.

#include <algorithm>

#include "album/RenameDlg.h"
#include "image/ImageCodec.h"
#include "platform/Utf16.h"
#include "tests/album/AlbumPageFixture.h"
#include "tests/album/AlbumTestSupport.h"
#include "tests/image/MetadataFiles.h"
#include "ui/DialogScript.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/EditSprite.h"
#include "ui/widgets/SButton.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFileText(const fs::path& path) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

class RenameDlgTest : public AlbumPageFixture {
public:
  void Write(const char* name, CodecFormat format, int shade = 0) {
    WriteFileBytes(pictures / name, EncodedPicture(24, 16, format, shade));
  }

  void SelectOnly(std::initializer_list<const char*> names) {
    std::lock_guard guard(page->photoList.lock);
    for (auto& entry : page->photoList.items) {
      auto& item = static_cast<CPhotoItem&>(*entry);
      item.selected = 0;
      for (const char* name : names)
        if (item.path.filename() == name) item.selected = 1;
    }
  }

  struct Run {
    std::u16string buttonShown;
    bool boxShown = false;
    std::vector<std::u16string> messages;
  };

  // F2 with the dialog answered: a name (null keeps it), a format (0 keeps
  // it), the check box, then OK.
  Run Rename(const char16_t* name, std::int32_t format, bool deleteSource) {
    Run run;
    CDialogScript script;
    script.Next(CRenameDlg::kTemplateId)
        .Call([&](CDialogSprite& dialog) {
          auto& rename = static_cast<CRenameDlg&>(dialog);
          if (name) {
            EXPECT_TRUE(static_cast<CEditSprite*>(rename.FindControl(CRenameDlg::kNameId))->SetText(name));
          }
          if (format != 0) {
            SpriteMessage command;
            command.code = kMenuMsgCommand;
            command.wparam = static_cast<std::uint64_t>(format == 1 ? 101 : format == 2 ? 102 : 103);
            static_cast<void>(rename.OnSpriteMessage(command));
          }
          CDialogControl* box = rename.FindControl(CRenameDlg::kDeleteSourceId);
          run.boxShown = box->visible != 0;
          box->SetValue(deleteSource ? u"1" : u"0");
          run.buttonShown =
              static_cast<CSButton*>(rename.FindControl(CRenameDlg::kFormatButtonId))->Caption();
        })
        .Press(kIdOk);
    script.Next(CSMessageDlg::kTemplateId)
        .Call([&](CDialogSprite& box) { run.messages.push_back(static_cast<CSMessageDlg&>(box).text); })
        .Press(kIdOk);
    page->photoList.RenameSelected();
    return run;
  }

  static std::vector<std::string> Files(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(RenameDlgTest, OnePhotoRenamesOrConverts) {
  struct Case {
    const char* what;
    std::vector<const char*> files;
    const char16_t* name;
    std::int32_t format;
    bool deleteSource;
    std::vector<std::string> after;
    bool error;
  };
  const Case cases[] = {
      {"renamed, extension kept", {"a.JPG"}, u"b", 0, false, {"b.JPG"}, false},
      {"case only renames", {"photo.jpg"}, u"Photo", 0, false, {"Photo.jpg"}, false},
      {"png to jpeg, source deleted", {"a.png"}, u"new", 1, true, {"new.jpg"}, false},
      {"tiff renamed only", {"a.tif"}, u"t", 0, false, {"t.tif"}, false},
      {"rename onto a taken name", {"a.jpg", "b.jpg"}, u"b", 0, false, {"a.jpg", "b.jpg"}, true},
      {"png to jpeg over photo.jpg", {"a.png", "photo.jpg"}, u"photo", 1, true, {"a.png", "photo.jpg"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(pictures);
    fs::create_directories(pictures);
    for (const char* file : c.files) {
      const ImageFileType type = GetImageType(file);
      Write(file, type == ImageFileType::Png    ? CodecFormat::Png
                  : type == ImageFileType::Tiff ? CodecFormat::Tiff
                                                : CodecFormat::Jpeg);
    }
    const std::string keptBytes = c.error ? ReadFileText(pictures / c.files.back()) : "";
    if (!page) MakePage();
    page->RefreshFolderListing();
    SelectOnly({c.files.front()});
    const Run run = Rename(c.name, c.format, c.deleteSource);
    EXPECT_EQ(Files(pictures), c.after);
    EXPECT_EQ(run.messages.size(), c.error ? 1u : 0u);
    if (c.error) {
      EXPECT_EQ(run.messages[0], UIResources().texts.TextOrEmpty(u"errorrename"));
      EXPECT_EQ(ReadFileText(pictures / c.files.back()), keptBytes);
    }
  }
}

TEST_F(RenameDlgTest, TheButtonShowsTheExtensionAndTheBoxOnlyForAConversion) {
  Write("a.tif", CodecFormat::Tiff);
  MakePage();
  SelectOnly({"a.tif"});
  Run kept = Rename(nullptr, 0, false);
  EXPECT_EQ(kept.buttonShown, u".tif");
  EXPECT_FALSE(kept.boxShown);
  page->RefreshFolderListing();
  SelectOnly({"a.tif"});
  Run converted = Rename(nullptr, 4, false);
  EXPECT_EQ(converted.buttonShown, UIResources().texts.TextOrEmpty(u"fmtPng"));
  EXPECT_TRUE(converted.boxShown);
  EXPECT_EQ(Files(pictures), (std::vector<std::string>{"a.png", "a.tif"}));
  ImageInfo info;
  ASSERT_EQ(info.ReadFromFile(pictures / "a.png"), 1);
  EXPECT_EQ(info.width, 24u);
}

TEST_F(RenameDlgTest, SeveralPhotosConvertOnlyThoseOfAnotherType) {
  Write("a.jpg", CodecFormat::Jpeg);
  Write("b.jpg", CodecFormat::Jpeg, 1);
  Write("c.png", CodecFormat::Png);
  MakePage();
  SelectOnly({"a.jpg", "b.jpg", "c.png"});
  const std::string a = ReadFileText(pictures / "a.jpg");
  const Run run = Rename(nullptr, 1, false);
  EXPECT_TRUE(run.boxShown);
  EXPECT_TRUE(run.messages.empty());
  EXPECT_EQ(Files(pictures), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg", "c.png"}));
  EXPECT_EQ(ReadFileText(pictures / "a.jpg"), a);
  EXPECT_EQ(GetImageType(pictures / "c.jpg"), ImageFileType::Jpeg);
}

}  // namespace
