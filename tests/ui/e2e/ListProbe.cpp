// A small program for the end-to-end test of the tree, the list grid and
// the slider. A page holds a tree of 40 rows, a grid of 30 pictures and a
// slider (0 to 100 in hundredths). The log tells the test where rows, cells
// and the slider's thumb are (physical client pixels) and what the page
// hears: the tree's selection (3), the grid's selection (93), the
// slider's changes (14) and its value input opening; and, after each wheel
// turn or release, the tree's scroll, the grid's scroll and its selected
// items. Lines start with the clock's milliseconds.
//
// Keys: Q ends (also after 90 s).
//
//   list_probe LOG              run
//   list_probe --set-xft-dpi N  set the X resource Xft.dpi first

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"
#include "tests/common/ProbeLog.h"
#include "tests/common/ProbePage.h"
#include "tests/common/ProbeWindow.h"
#include "tests/ui/e2e/XftDpi.h"
#include "ui/widgets/ListSprite.h"
#include "ui/widgets/STree.h"
#include "ui/widgets/SliderSprite.h"

namespace {

constexpr Rect kTreePlace{20, 20, 240, 320};
constexpr Rect kListPlace{260, 20, 730, 320};
constexpr Rect kSliderPlace{20, 360, 420, 380};

double g_scale = 1.0;

using probe::Write;

int Physical(std::int32_t logical) { return static_cast<int>(logical * g_scale); }

void WritePoint(const char* what, int index, Point window) {
  Write("%s %d %d %d", what, index, Physical(window.x), Physical(window.y));
}

class CLoggingTree final : public CSTree {
public:
  void OnMouseWheel(Point point, std::int32_t delta) override {
    CSTree::OnMouseWheel(point, delta);
    Write("tree scroll %d", scrollOffset);
  }
  void OnLButtonUp(Point point, std::uint32_t flags) override {
    CSTree::OnLButtonUp(point, flags);
    Write("tree released scroll %d selected %d", scrollOffset, selectedRow);
  }
};

class CLoggingList final : public CListSprite {
public:
  void OnMouseWheel(Point point, std::int32_t delta) override {
    CListSprite::OnMouseWheel(point, delta);
    Write("list scroll %d", scrollY);
  }
  void OnLButtonUp(Point point, std::uint32_t flags) override {
    CListSprite::OnLButtonUp(point, flags);
    std::string chosen;
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (items[i]->selected) chosen += " " + std::to_string(i);
    }
    Write("list released scroll %d selected%s", scrollY, chosen.c_str());
  }
};

// Tells the log when its value button asks for a value (before the input
// dialog runs, modally, inside this call).
class CLoggingSlider final : public CSliderSprite {
public:
  bool OnSpriteMessage(const SpriteMessage& message) override {
    if (message.code == kSpriteMsgButtonClicked && message.sender == &valueButton) Write("value input");
    return CSliderSprite::OnSpriteMessage(message);
  }
};

class CPage final : public CProbePage {
public:
  bool OnSpriteMessage(const SpriteMessage& message) override {
    switch (message.code) {
      case kTreeMsgSelectionChanged:
        Write("tree select %d", static_cast<int>(static_cast<std::int64_t>(message.wparam)));
        break;
      case kListMsgSelectionChanged:
        Write("list select %d", static_cast<int>(static_cast<std::int64_t>(message.wparam)));
        break;
      case kSliderMsgChanged:
        Write("slider %d %d", static_cast<int>(static_cast<std::int64_t>(message.wparam)),
              static_cast<int>(message.lparam));
        break;
      default:
        break;
    }
    return CMessageSprite::OnSpriteMessage(message);
  }
};

class CListProbeWindow final : public CProbeWindow {
public:
  CListProbeWindow() : CProbeWindow(u"Tessera list probe", {900, 600}) {}

  void OnUiMessage(UiMessage& message) override {
    if (message.message == WM_KEYDOWN && message.wparam == 'Q') {
      EndDialog(0);
      return;
    }
    CProbeWindow::OnUiMessage(message);
  }

  [[nodiscard]] bool Build() override {
    g_scale = scale;
    const Size client = WindowHost()->GetClientSize();
    const Size logical{static_cast<std::int32_t>(client.width / scale),
                       static_cast<std::int32_t>(client.height / scale)};
    m_page = new CPage;
    if (!m_page->Create(nullptr, this, 1, {0, 0, logical.width, logical.height}, 2)) return false;
    AddTopLevelSprite(m_page, true);

    for (int i = 0; i < 40; ++i) {
      auto node = std::make_unique<CTreeNode>();
      node->text = u"Folder " + std::u16string(1, static_cast<char16_t>(u'0' + i / 10)) +
                   std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
      m_root.AppendChild(std::move(node));
    }
    m_tree = Attach(new CLoggingTree, 2, kTreePlace);
    if (!m_tree) return false;
    m_tree->SetRoot(&m_root);

    m_list = Attach(new CLoggingList, 3, kListPlace);
    if (!m_list) return false;
    CBgraImage picture;
    if (!picture.Create(160, 120)) return false;
    for (std::uint32_t y = 0; y < 120; ++y) {
      for (std::uint32_t x = 0; x < 160; ++x) {
        std::uint8_t* p = picture.At(x, y);
        p[0] = static_cast<std::uint8_t>(x);
        p[1] = static_cast<std::uint8_t>(2 * y);
        p[2] = static_cast<std::uint8_t>(200 - x / 2);
        p[3] = 255;
      }
    }
    for (int i = 0; i < 30; ++i) {
      if (m_list->AddItem(u"photo " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)), &picture, 0) <
          0)
        return false;
    }
    m_list->SortItems();

    m_slider = Attach(new CLoggingSlider, 4, kSliderPlace);
    if (!m_slider) return false;
    m_slider->SetRange(0, 10000, 5000, 100, u"%");

    for (int row = 0; row < 3; ++row)
      WritePoint("row", row, m_tree->PointToWindow({60, row * m_tree->rowHeight + m_tree->rowHeight / 2}));
    for (int i = 0; i < 3; ++i) {
      const CListItem& item = *m_list->items[static_cast<std::size_t>(i)];
      WritePoint("cell", i, m_list->PointToWindow({item.cellPos.x + 55, item.cellPos.y + 65}));
    }
    WritePoint("band", 0, m_list->PointToWindow({8, 8}));
    WritePoint("band", 1, m_list->PointToWindow({180, 150}));
    // The thumb of value 5000 of 10000 on a track of width - 85.
    const std::int32_t travel = kSliderPlace.Width() - 85 - m_slider->thumbImage.width;
    WritePoint("thumb", 0, m_slider->PointToWindow({20 + travel / 2 + 5, 10}));
    WritePoint("value", 0, m_slider->PointToWindow({kSliderPlace.Width() - 22, 10}));
    return true;
  }

private:
  template <typename T>
  T* Attach(T* sprite, std::int32_t id, const Rect& place) {
    if (!sprite->Create(m_page, nullptr, id, place, 0)) {
      delete sprite;
      return nullptr;
    }
    sprite->owned = 1;
    m_page->AppendChild(sprite);
    sprite->SetSpriteRect(place.left, place.top, place.Width(), place.Height());
    return sprite;
  }

  CPage* m_page = nullptr;
  CTreeNode m_root;
  CLoggingTree* m_tree = nullptr;
  CLoggingList* m_list = nullptr;
  CLoggingSlider* m_slider = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--set-xft-dpi") == 0) return SetXftDpiResource(std::atoi(argv[2]));
  if (argc != 2) {
    std::fprintf(stderr, "usage: list_probe LOG | list_probe --set-xft-dpi N\n");
    return 2;
  }
  return RunPlatform([&] {
    return RunProbeWindow(argv[1], {.stamped = true}, [&] { return std::make_unique<CListProbeWindow>(); });
  });
}
