#pragma once
// CSTabPage: a screen held by a tab frame (CSTabFrame) or a column of
// vertical frames (CSVerticalFrames). It draws nothing itself: its content
// is its children. The holder draws its title picture, made from the title
// when the page is created: plain text, or "icon:[" + icon file + "]" +
// text, the icon before the text.
//
// Threads: the title picture is made before the page is added to a holder
// and only read afterwards (by the holder's drawing on the render thread).

#include <cstdint>
#include <string>
#include <string_view>

#include "image/BgraImage.h"
#include "ui/MessageSprite.h"

// The kind bits that each page class adds to its sprite kind word; owners
// test them to tell pages apart.
enum PageKindFlags : std::uint32_t {
  kPageKindEdit = 0x200,
  kPageKindMask = 0x400,
  kPageKindGroupPhoto = 0x1000,
  kPageKindAlbum = 0xC000,
};

class CSTabPage : public CMessageSprite {
public:
  // The title stands for a field of 32 characters: 31 or more are cut to
  // 29 and "..".
  static constexpr std::size_t kTitleField = 32;
  static constexpr std::int32_t kTitleFontSize = 14;
  // The widest the title picture's text may be, less the icon's width.
  static constexpr std::int32_t kTitleTextLimit = 168;
  // Between the icon and the text.
  static constexpr std::int32_t kTitleIconGap = 5;

  explicit CSTabPage(std::u16string_view pageTitle);

  void Destroy(int final) override;

  // Attaches as CSprite::Create, then builds the title picture; false when
  // either fails.
  [[nodiscard]] virtual bool Create(CSprite* parentSprite, ISpriteWindow* window, std::int32_t spriteId,
                                    const Rect& spriteRect, std::int32_t spriteLayer);
  // The page stops being the current one.
  virtual void OnPageDeactivate();
  // The page is about to become the current one; false refuses.
  [[nodiscard]] virtual bool OnPageActivate();

  // The icon (skin folder, else basic folder) and the text rendered at size
  // 14 in theme colour 0, side by side and top-aligned. False for a title
  // whose "icon:[" has no "]", a missing icon, a failed rendering or a
  // title with neither icon nor text.
  [[nodiscard]] bool BuildTitleImage();

  CBgraImage titleImage;  // under lock
  std::u16string title;
};
