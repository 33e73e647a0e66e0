// A small program for the end-to-end test of the path bar and the property
// list. A page holds a path bar over Pictures / 2024 / Wedding / Ceremony
// (Ceremony with the siblings Portraits and Reception) and a property list
// with an editable count (12) and an editable exposure time (1/60). The log
// tells the test where the current segment and the rows' value and label
// columns are, and where the sibling list's rows are once it opens
// (physical client pixels); it reports what the page hears: the node to go
// to (91), which the page looks up in its own tree first, and each end of
// an edit (5) with the row's value. Lines start with the clock's
// milliseconds.
//
// Keys: Q ends (also after 90 s).
//
//   path_probe LOG              run
//   path_probe --set-xft-dpi N  set the X resource Xft.dpi first

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "tests/common/ProbeLog.h"
#include "tests/common/ProbePage.h"
#include "tests/common/ProbeWindow.h"
#include "tests/ui/e2e/XftDpi.h"
#include "ui/widgets/SPropertyList.h"
#include "ui/widgets/STreeTag.h"

namespace {

constexpr Rect kBarPlace{20, 20, 620, 44};
constexpr Rect kListPlace{20, 80, 420, 280};

double g_scale = 1.0;

using probe::Write;

int Physical(std::int32_t logical) { return static_cast<int>(logical * g_scale); }

void WritePoint(const char* what, int index, Point window) {
  Write("%s %d %d %d", what, index, Physical(window.x), Physical(window.y));
}

// Logs where the sibling list's rows lie once it opened.
class CLoggingTag final : public CSTreeTag {
public:
  bool OnSpriteMessage(const SpriteMessage& message) override {
    const bool result = CSTreeTag::OnSpriteMessage(message);
    if (message.code == kTreeTagMsgOpenSiblings && siblingMenu.visible) {
      Write("siblings %zu", siblingMenu.ItemCount());
      for (std::size_t i = 0; i < siblingMenu.ItemCount(); ++i) {
        const MenuItem& item = *siblingMenu.items[i];
        WritePoint(
            "sibling", static_cast<int>(i),
            siblingMenu.PointToWindow({siblingMenu.iconColumnWidth + 4, item.rowTop + item.rowHeight / 2}));
      }
    }
    return result;
  }
};

class CPage final : public CProbePage {
public:
  bool OnSpriteMessage(const SpriteMessage& message) override {
    if (message.code == kTreeTagMsgNavigate) {
      // The node may come from a path the page has rebuilt since: it is
      // used only when the page's tree still holds it.
      const auto* node = reinterpret_cast<const CTreeNode*>(static_cast<std::uintptr_t>(message.lparam));
      if (const CTreeNode* found = find ? find(node) : nullptr) {
        Write("navigate %s", ToUtf8(found->text).c_str());
      } else {
        Write("navigate unknown");
      }
    } else if (message.code == kPropMsgEditEnded) {
      const auto* item = reinterpret_cast<const CPropItem*>(static_cast<std::uintptr_t>(message.lparam));
      if (const CPropItem* found = findItem ? findItem(item) : nullptr)
        Write("edit end %d %s", found->propertyId, ToUtf8(found->valueText).c_str());
    }
    return CMessageSprite::OnSpriteMessage(message);
  }
  std::function<const CTreeNode*(const CTreeNode*)> find;
  std::function<const CPropItem*(const CPropItem*)> findItem;
};

const CTreeNode* FindNode(const CTreeNode& root, const CTreeNode* node) {
  if (&root == node) return &root;
  for (const auto& child : root.children) {
    if (const CTreeNode* found = FindNode(*child, node)) return found;
  }
  return nullptr;
}

class CPathProbeWindow final : public CProbeWindow {
public:
  CPathProbeWindow() : CProbeWindow(u"Tessera path probe", {800, 500}) {}

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
    m_page->find = [this](const CTreeNode* node) { return FindNode(m_top, node); };
    m_page->findItem = [this](const CPropItem* item) {
      return static_cast<const CPropItem*>(FindNode(m_rows, item));
    };

    m_top.text = u"Pictures";
    CTreeNode* year = Add(m_top, u"2024");
    CTreeNode* wedding = Add(*year, u"Wedding");
    Add(*wedding, u"Portraits");
    CTreeNode* ceremony = Add(*wedding, u"Ceremony");
    Add(*wedding, u"Reception");
    m_bar = Attach(new CLoggingTag, 2, kBarPlace, false);
    if (!m_bar) return false;
    m_bar->currentNode = ceremony;
    m_bar->SetSpriteRect(kBarPlace.left, kBarPlace.top, kBarPlace.Width(), kBarPlace.Height());

    m_list = Attach(new CSPropertyList, 3, kListPlace, true);
    if (!m_list) return false;
    {
      CSTree::EditGuard edit(*m_list);
      CPropItem* count = CSPropertyList::AddUIntProperty(1, 12, u"Count", m_rows, 0, false);
      CPropItem* time =
          CSPropertyList::AddRationalProperty(2, std::uint64_t{60} << 32 | 1, u"Time", m_rows, false);
      count->editable = time->editable = 1;
    }
    m_list->SetRoot(&m_rows);

    // The segments are laid out when drawn; the current node's is the
    // rightmost of the four.
    std::int32_t x = 0;
    for (std::size_t i = m_bar->segments.size(); i-- > 1;) x += m_bar->segments[i].width;
    WritePoint("segment", 0,
               m_bar->PointToWindow({x + m_bar->segments[0].width / 2, kBarPlace.Height() / 2}));
    for (int row = 0; row < 2; ++row) {
      const std::int32_t y = row * m_list->rowHeight + m_list->rowHeight / 2;
      WritePoint("value", row, m_list->PointToWindow({m_list->labelColumn + 60, y}));
      WritePoint("label", row, m_list->PointToWindow({30, y}));
    }
    return true;
  }

private:
  static CTreeNode* Add(CTreeNode& parentNode, std::u16string text) {
    auto node = std::make_unique<CTreeNode>();
    node->text = std::move(text);
    return parentNode.AppendChild(std::move(node));
  }
  template <typename T>
  T* Attach(T* sprite, std::int32_t id, const Rect& place, bool sized) {
    if (!sprite->Create(m_page, nullptr, id, place, 0)) {
      delete sprite;
      return nullptr;
    }
    sprite->owned = 1;
    m_page->AppendChild(sprite);
    if (sized) sprite->SetSpriteRect(place.left, place.top, place.Width(), place.Height());
    return sprite;
  }

  CPage* m_page = nullptr;
  CTreeNode m_top;
  CTreeNode m_rows;
  CLoggingTag* m_bar = nullptr;
  CSPropertyList* m_list = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--set-xft-dpi") == 0) return SetXftDpiResource(std::atoi(argv[2]));
  if (argc != 2) {
    std::fprintf(stderr, "usage: path_probe LOG | path_probe --set-xft-dpi N\n");
    return 2;
  }
  return RunPlatform([&] {
    return RunProbeWindow(argv[1], {.stamped = true}, [&] { return std::make_unique<CPathProbeWindow>(); });
  });
}
