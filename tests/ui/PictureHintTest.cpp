// The picture hint: sized to its picture, with and without a hint line, how
// it ends, and a missing picture.

#include <filesystem>
#include <mutex>

#include "platform/WindowMessages.h"
#include "tests/common/TestData.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/dialogs/PicDemoDlg.h"

namespace {

class PictureHintTest : public DialogFixture {
public:
  PictureHintTest() {
    picture = ScratchDir() / "demo.png";
    CBgraImage image = FilledImage(120, 90, 0xFF3080C0u);
    SetPixel(image, 0, 0, 0xFFFFFFFFu);
    EXPECT_TRUE(WritePng(picture, image));
  }
  std::filesystem::path picture;
};

TEST_F(PictureHintTest, TheDialogTakesThePictureSizeWithOrWithoutAHint) {
  struct Case {
    const char16_t* hint;
    std::int32_t height;
  };
  const Case cases[] = {{u"", 90 + 80}, {u"Draw a stroke, then another one.", 90 + 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.height);
    Rect place, ok, close, hint;
    std::u16string title;
    std::uint32_t corner = 0, inside = 0;
    CDialogScript script;
    script.Next(CPicDemoDlg::kTemplateId)
        .Call([&](CDialogSprite& dialog) {
          place = dialog.rect;
          ok = dialog.FindControl(kIdOk)->rect;
          close = dialog.closeButton.rect;
          title = dialog.title;
          auto& demo = dynamic_cast<CPicDemoDlg&>(dialog);
          if (demo.hintControl.key != 0) hint = demo.hintControl.rect;
          Frame();
          std::lock_guard guard(dialog.lock);
          corner = PixelAt(dialog.surface, 10, 40);
          inside = PixelAt(dialog.surface, 70, 100);
        })
        .Press(kIdOk);
    EXPECT_EQ(ShowPictureHint(picture, u"demonstration", c.hint), kIdOk);
    ExpectAnswered(script);
    EXPECT_EQ(title, u"demonstration");
    EXPECT_EQ(place.Width(), 140);
    EXPECT_EQ(place.Height(), c.height);
    // Around the centre of template 140 (395 x 322 at (314, 223)).
    EXPECT_EQ(place.left, 511 - 70);
    EXPECT_EQ(place.top, 384 - c.height / 2);
    EXPECT_EQ(ok, (Rect{20, c.height - 30, 120, c.height - 10}));
    EXPECT_EQ(close, (Rect{108, 1, 139, 32}));
    if (*c.hint) {
      EXPECT_EQ(hint, (Rect{10, c.height - 50, 130, c.height - 30}));
    } else {
      EXPECT_EQ(hint, Rect{});
    }
    // The picture at (10, 40), opaque.
    EXPECT_EQ(corner, 0xFFFFFFFFu);
    EXPECT_EQ(inside, 0xFF3080C0u);
  }
}

TEST_F(PictureHintTest, CloseAndEscGiveTwo) {
  for (const bool esc : {false, true}) {
    CDialogScript script;
    if (esc) {
      script.Next().Key(VK_ESCAPE);
    } else {
      script.Next().Press(kIdCancel);  // the title band's close button
    }
    EXPECT_EQ(ShowPictureHint(picture, u"demonstration", u"hint"), kIdCancel);
    ExpectAnswered(script);
  }
}

TEST_F(PictureHintTest, AMissingPictureShowsNothing) {
  CDialogScript script;
  script.Next().Press(kIdOk);
  EXPECT_EQ(ShowPictureHint(ScratchDir() / "missing.jpg", u"demonstration", {}), 0);
  EXPECT_TRUE(script.Shown().empty());
  EXPECT_EQ(window.TopPopup(), nullptr);
}

}  // namespace
