#include "ui/dialogs/AboutSprite.h"

#include <cstring>
#include <mutex>

#include "platform/Clock.h"
#include "platform/UiQueue.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

namespace {
constexpr std::uint32_t kVersionColour = 0xFFC8C8C8u;  // opaque (200, 200, 200)
constexpr std::uint32_t kFadeWaitMs = 100;
}  // namespace

CAboutSprite::~CAboutSprite() = default;

bool CAboutSprite::OnSpriteCreate() {
  CBgraImage loaded;
  if (!loaded.LoadFile(UIResources().skins.SkinFilePath(u"about.png"))) return false;
  CBgraImage line;
  {
    CSkinSet& skins = UIResources().skins;
    std::lock_guard textLock(skins);
    if (!skins.RenderText(kVersionLine, line)) return false;
  }
  Size client{static_cast<std::int32_t>(loaded.width), static_cast<std::int32_t>(loaded.height)};
  if (CRenderWindow* window = g_RenderWindow.load()) client = window->LogicalSize();
  const auto w = static_cast<std::int32_t>(loaded.width);
  const auto h = static_cast<std::int32_t>(loaded.height);
  {
    std::lock_guard guard(lock);
    picture = std::move(loaded);
    versionText = std::move(line);
  }
  SetSpriteRect((client.width - w) / 2, (client.height - h) / 2, w, h);
  return true;
}

bool CAboutSprite::Draw(std::uint32_t /*now*/) {
  if (!dirty || surface.IsEmpty()) return false;
  std::memset(surface.pixels, 0, surface.byteSize);
  BlendImage(surface, picture, 0, 0, true, {}, 256);
  if (!versionText.IsEmpty())
    BlendColorMask(surface, versionText, kVersionRight - static_cast<std::int32_t>(versionText.width),
                   kVersionTop, kVersionColour, {});
  InvalidateArea({}, 1);
  return true;
}

void CAboutSprite::CloseOnInput() {
  if (TickCount() - openedAt.load() > kIgnoreInputMs) closedFlag = 1;
}

void CAboutSprite::OnLButtonDown(Point, std::uint32_t) { CloseOnInput(); }
void CAboutSprite::OnRButtonDown(Point, std::uint32_t) { CloseOnInput(); }
void CAboutSprite::OnChar(std::uint32_t, std::uint32_t, std::uint32_t) { CloseOnInput(); }
void CAboutSprite::OnKeyDown(std::uint32_t, std::uint32_t, std::uint32_t) { CloseOnInput(); }

bool CAboutSprite::OnSpriteMessage(const SpriteMessage& message) {
  return CPopupSprite::OnSpriteMessage(message);
}

bool CAboutSprite::RunModal() {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window || key == 0) return false;
  window->OpenPopup(this);
  openedAt = TickCount();
  closedFlag = 0;
  // The open popup takes every click and key, so the window hands them here.
  CUiQueue& queue = UiQueue();
  while (!closedFlag) {
    UiMessage message;
    if (!queue.GetMessage(message, false)) break;  // the queue shut down
    if (closedFlag) break;
    queue.Dispatch(message);
  }
  Rect area;
  CBgraImage shown;
  {
    std::lock_guard guard(lock);
    area = rect;
    // The picture as it is on screen fades out; without it the box vanishes.
    if (!shown.CopyFrom(surface)) shown = CBgraImage();
  }
  static_cast<void>(window->StartFadeEffect(area, shown));
  SleepMilliseconds(kFadeWaitMs);
  InvalidateArea({}, 1);
  visible = 0;
  FreeSurfaces();
  {
    std::lock_guard guard(lock);
    window->ClosePopup(this);
    if (key != 0) {
      UnregisterObject(key);
      key = 0;
    }
  }
  window->RemoveTopLevelSprite(this);
  Destroy(1);
  return true;
}
