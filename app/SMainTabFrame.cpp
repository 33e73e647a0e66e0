#include "app/SMainTabFrame.h"

#include <mutex>

#include "image/ImageCodec.h"
#include "platform/Utf16.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"
#include "ui/widgets/SkinIcon.h"

namespace {

const char16_t* TextOf(std::u16string_view key) {
  const char16_t* text = UIResources().texts.LookupText(key);
  return text ? text : u"";
}

bool IsAlbum(const CSTabPage* page) { return (page->kind & kPageKindAlbum) == kPageKindAlbum; }

}  // namespace

CSMainTabFrame::CSMainTabFrame() = default;

CSMainTabFrame::~CSMainTabFrame() = default;

bool CSMainTabFrame::Create(CSprite* parentSprite, ISpriteWindow* window, std::int32_t spriteId,
                            const Rect& spriteRect, std::int32_t spriteLayer) {
  if (!CSTabFrame::Create(parentSprite, window, spriteId, spriteRect, spriteLayer)) return false;
  std::lock_guard guard(lock);
  return LoadSkinIcon(u"maintabframe.png", background);
}

const CBgraImage& CSMainTabFrame::GetBackgroundImage() {
  return background.IsEmpty() ? CSTabFrame::GetBackgroundImage() : background;
}

void CSMainTabFrame::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  CSTabFrame::SetSpriteRect(x, y, w, h);
  stripLeft = kStripStart;
  stripRight = w - kStripMarginRight;
  // The arrows were placed for the base's strip.
  UpdateScrollButtons();
}

bool CSMainTabFrame::OnSpriteCreate() {
  if (!CSTabFrame::OnSpriteCreate()) return false;
  if (!goAlbumButton.Create(this, nullptr, kGoAlbumId, {45, 6, 145, 26}, 1, TextOf(u"Go Album"), {}, false))
    return false;
  AppendChild(&goAlbumButton);
  if (!closeButton.Create(this, nullptr, kCloseButtonId, {0, 0, kCloseButtonSide, kCloseButtonSide}, 1, {},
                          u"close.png", false)) {
    return false;
  }
  AppendChild(&closeButton);
  // Both show only when they apply: the album's title scrolled away, a
  // closable title hovered.
  HideSprite(goAlbumButton);
  HideSprite(closeButton);
  return true;
}

void CSMainTabFrame::GetTabExtent(std::int32_t index, std::int32_t& left, std::int32_t& right) {
  left = -1;
  right = -1;
  if (index < 0 || index >= static_cast<std::int32_t>(pages.size())) return;
  std::int32_t x = 0;
  for (std::int32_t i = 0; i <= index; ++i) {
    CSTabPage* page = pages[static_cast<std::size_t>(i)];
    std::int32_t width = 0;
    {
      std::lock_guard guard(page->lock);
      width = page->titleImage.IsEmpty() ? 0 : static_cast<std::int32_t>(page->titleImage.width);
    }
    if (i == index) {
      left = x;
      right = x + width + kTitleExtra;
    }
    x += width + kTitleExtra;
  }
}

bool CSMainTabFrame::SelectPage(CSTabPage* page, bool force) {
  if (!CSTabFrame::SelectPage(page, force)) return false;
  dirty = 1;
  selectionEnabled = (page->kind & kPageKindMask) ? 0 : 1;
  return true;
}

void CSMainTabFrame::RemovePage(CSTabPage* page) {
  const std::int32_t index = FindPage(page);
  if (index >= 0 && pages.size() >= 3 && IsAlbum(pages.front()) && !(page->kind & kPageKindMask)) {
    previousPage = 0;
  }
  CSTabFrame::RemovePage(page);
}

bool CSMainTabFrame::DrawsInRect(const Rect& localRect) {
  if (refreshPending) return true;
  if (surface.IsEmpty()) return false;
  const auto width = static_cast<std::int32_t>(surface.width);
  const auto height = static_cast<std::int32_t>(surface.height);
  return localRect.left < kBorderBand || localRect.right > width - kBorderBand ||
         localRect.bottom > height - kBorderBand || localRect.top < stripBottom + kBorderBand;
}

void CSMainTabFrame::Destroy(int final) {
  {
    std::lock_guard guard(lock);
    background.Free();
  }
  CSTabFrame::Destroy(final);
}

void CSMainTabFrame::UpdateScrollButtons() {
  CSTabFrame::UpdateScrollButtons();
  if (pages.empty() || !showGoAlbum) return;
  std::int32_t left = 0, right = 0;
  GetTabExtent(0, left, right);
  if (scrollOffset >= right) {
    goAlbumButton.visible = 1;
    goAlbumButton.dirty = 1;
  } else if (goAlbumButton.visible) {
    HideSprite(goAlbumButton);
  }
}

void CSMainTabFrame::OnMouseMove(Point point, std::uint32_t flags) {
  const std::int32_t before = hoveredTab;
  CSTabFrame::OnMouseMove(point, flags);
  if (hoveredTab == before) return;
  if (closeButton.visible) {
    HideSprite(closeButton);
    CRenderWindow* window = RenderWindowOf(*this);
    const bool hiddenParent =
        closeButton.parent && IsObjectAlive(closeButton.parent) && !closeButton.parent->visible;
    if (window && !hiddenParent) window->HideTip();
  }
  if (hoveredTab < 0) return;
  const CSTabPage* page = pages[static_cast<std::size_t>(hoveredTab)];
  if (!(page->kind & (kPageKindEdit | kPageKindGroupPhoto))) return;
  std::int32_t left = 0, right = 0;
  GetTabExtent(hoveredTab, left, right);
  closeButton.SetSpriteRect(right + stripLeft - scrollOffset - 20, 8, kCloseButtonSide, kCloseButtonSide);
  closeButton.visible = 1;
  closeButton.dirty = 1;
}

bool CSMainTabFrame::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kSpriteMsgButtonClicked) {
    switch (message.wparam) {
      case kGoAlbumId:
        if (!pages.empty() && currentPage != 0) {
          // Refused while a mask page is current; the strip still goes back
          // to its start, where the album's title is.
          static_cast<void>(SelectPage(pages.front(), false));
          std::lock_guard guard(lock);
          scrollOffset = 0;
          highlightDirty = 1;
          animFlags |= kAnimHighlight;
        }
        break;
      case kCloseButtonId: {
        const std::int32_t tab = hoveredTab;
        if (shell && tab >= 0 && tab < static_cast<std::int32_t>(pages.size()) &&
            !IsAlbum(pages[static_cast<std::size_t>(tab)])) {
          if (shell->ClosePage(pages[static_cast<std::size_t>(tab)])) shell->WriteRecoveryIndex();
        }
        HideSprite(closeButton);
        hoveredTab = -1;
        break;
      }
      case kLeftArrowId:
        ScrollTabs(true);
        break;
      case kRightArrowId:
        ScrollTabs(false);
        break;
      default:
        break;
    }
  }
  return CMessageSprite::OnSpriteMessage(message);
}

std::int32_t CSMainTabFrame::OnDrop(Point point, const CDropFileList& drop) {
  if (HitTestChild(point) || !selectionEnabled) return CMessageSprite::OnDrop(point, drop);
  for (const std::filesystem::path& file : drop.files) {
    if (PathToUtf16(file).size() >= kDropPathLength) continue;
    if (GetImageType(file) == ImageFileType::Unknown) continue;
    if (shell) shell->OpenDocumentPage(file, false, nullptr, 0);
  }
  return 1;
}
