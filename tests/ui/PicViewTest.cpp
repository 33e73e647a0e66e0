// The picture view and its tool bar: fitting, the zoom steps of wheel, keys,
// buttons and menu, the zoom label, the overview and its jump, dragging,
// clicks, the fixed zoom, two views that follow each other, an image
// resized in place, a view too small for its frame, the drawing against a
// plain per-pixel rendition of the rules, and the render thread drawing
// while the UI thread zooms and pans.

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "image/ColorTables.h"
#include "image/ImageArray.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"
#include "tests/common/TestData.h"
#include "tests/ui/WidgetTestSupport.h"
#include "ui/UIResources.h"
#include "ui/widgets/SButton.h"
#include "ui/widgets/SPicView.h"

namespace {

// A sprite whose view rectangle is w x h.
constexpr Size ForView(std::int32_t w, std::int32_t h) { return {w + 8, h + 39}; }
constexpr Point kViewAt{20, 20};

CBgraImage Pattern(std::uint32_t w, std::uint32_t h, bool varyAlpha = false) {
  CBgraImage image;
  EXPECT_TRUE(image.Create(w, h));
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint8_t* p = image.At(x, y);
      p[0] = static_cast<std::uint8_t>(x * 5 + y * 3);
      p[1] = static_cast<std::uint8_t>(x ^ y);
      p[2] = static_cast<std::uint8_t>(x * y + 17);
      p[3] = varyAlpha ? static_cast<std::uint8_t>(x * 7 + y * 13) : 255;
    }
  }
  return image;
}

CBgraImage16 Pattern16(std::uint32_t w, std::uint32_t h, bool varyAlpha = false) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(w, h));
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint16_t* p = image.At(x, y);
      p[0] = static_cast<std::uint16_t>(x * 977 + y * 131);
      p[1] = static_cast<std::uint16_t>(x * 311 ^ y * 2053);
      p[2] = static_cast<std::uint16_t>(x * y * 97 + 5000);
      p[3] = varyAlpha ? static_cast<std::uint16_t>(x * 1531 + y * 4099) : 65535;
    }
  }
  return image;
}

class PicViewTest : public WidgetFixture {
public:
  PicViewTest() : WidgetFixture({1100, 720}) {}

  // A new view (the previous one destroyed), with its notes cleared.
  CSPicView& NewView(Size size, Point at = kViewAt) {
    if (view) {
      EXPECT_TRUE(parent->DestroyChild(view));
    }
    view = new CSPicView;
    view->owned = 1;
    EXPECT_TRUE(view->Create(parent, nullptr, 7, {at.x, at.y, at.x + size.width, at.y + size.height}, 0));
    parent->AppendChild(view);
    Settle();
    parent->Take();
    return *view;
  }
  void Settle() {
    for (int i = 0; i < 3; ++i) {
      Frame();
      Run();
    }
  }
  // The picture view's notes since the last call.
  std::vector<Note> Notes() {
    Run();
    std::vector<Note> notes;
    for (const Note& note : parent->Take()) {
      if (note.code == kPicViewMsg) notes.push_back(note);
    }
    return notes;
  }
  Point Win(Point local) const { return view->PointToWindow(local); }
  Point ViewCentre() const {
    const Rect r = view->ViewRect();
    return {r.left + r.Width() / 2, r.top + r.Height() / 2};
  }
  void Wheel(Point local, std::int32_t delta) {
    host.Wheel(Win(local), delta);
    Run();
    Settle();
  }
  void Press(Point local) {
    host.MouseDown(MouseButton::Left, Win(local));
    Run();
  }
  void Move(Point local) {
    host.MouseMove(Win(local));
    Run();
  }
  void Release(Point local) {
    host.MouseUp(MouseButton::Left, Win(local));
    Run();
    Later();
  }
  void Later() { host.AdvanceClock(150); }
  void Message(std::int32_t code, std::uint64_t wparam) {
    ASSERT_TRUE(PostSpriteMessage(view, code, wparam, 0, nullptr));
    Settle();
  }

  CSPicView* view = nullptr;
};

const std::vector<Note> kChanged{{kPicViewMsg, kPicViewChanged, 0}};

// The edge cases -------------------------------------------------------------

TEST_F(PicViewTest, EdgeCases) {
  struct Case {
    const char* name;
    std::function<void()> run;
  };
  const CBgraImage small = Pattern(200, 100);
  const CBgraImage medium = Pattern(800, 500);
  const CBgraImage large = Pattern(4000, 3000);
  const CBgraImage wide = Pattern(2000, 1000);
  const CBgraImage half = Pattern(2000, 600), more = Pattern(2001, 600);
  const Case cases[] = {
      {"a small image fits at 1, never enlarged, centred",
       [&] {
         NewView(ForView(1000, 600)).SetImage(&small, u"small");
         EXPECT_EQ(Notes(), kChanged);
         Settle();
         EXPECT_EQ(view->Zoom(), 1.0);
         EXPECT_EQ(view->VisibleRect(), (Rect{0, 0, 200, 100}));
         EXPECT_EQ(view->DisplayedRect(), (Rect{404, 285, 604, 385}));
       }},
      {"the wheel steps in from 1 to 20 and stops",
       [&] {
         NewView(ForView(1000, 600)).SetImage(&medium, u"");
         Settle();
         Notes();
         std::vector<double> zooms;
         for (int i = 0; i < 11; ++i) {
           Wheel(ViewCentre(), 120);
           zooms.push_back(view->Zoom());
         }
         EXPECT_EQ(zooms, (std::vector<double>{2, 3, 4, 5, 6, 7, 8, 9, 10, 20, 20}));
         EXPECT_EQ(Notes().size(), 10u) << "none for the step that stopped";
       }},
      {"the wheel steps out from 1 to 0.1 and stops",
       [&] {
         NewView(ForView(1000, 600)).SetImage(&medium, u"");
         Settle();
         Notes();
         std::vector<double> zooms;
         for (int i = 0; i < 6; ++i) {
           Wheel(ViewCentre(), -120);
           zooms.push_back(view->Zoom());
         }
         EXPECT_EQ(zooms, (std::vector<double>{0.66666666666, 0.5, 0.333333333, 0.25, 0.1, 0.1}));
         EXPECT_EQ(Notes().size(), 5u);
       }},
      {"a fit of 0.05 sends nothing; the zoom-in button then gives 0.1",
       [&] {
         NewView(ForView(100, 50)).SetImage(&wide, u"");
         Settle();
         EXPECT_EQ(view->Zoom(), 0.05);
         EXPECT_EQ(Notes(), std::vector<Note>{});
         host.Click(MouseButton::Left, Win({4 + 15, 4 + 15}));  // the first tool bar button
         Run();
         Settle();
         EXPECT_EQ(view->Zoom(), 0.1);
         EXPECT_EQ(Notes(), kChanged);
       }},
      {"the menu's 67% is 0.666667 and reads 67%, as the step 0.66666666666 does",
       [&] {
         NewView(ForView(1000, 600)).SetImage(&large, u"");
         Settle();
         EXPECT_EQ(view->Zoom(), 0.2);
         const Rect label = view->ZoomLabelRect();
         ASSERT_FALSE(label.IsEmpty());
         host.Click(MouseButton::Left, Win({label.left + 5, label.top + 5}));
         Run();
         Frame();
         ASSERT_EQ(view->zoomMenu.ItemCount(), 11u);
         const MenuItem& row = *view->zoomMenu.items[6];
         EXPECT_EQ(row.caption, u"67%");
         host.Click(MouseButton::Left,
                    view->zoomMenu.PointToWindow({view->zoomMenu.iconColumnWidth + 4, row.rowTop + 10}));
         Run();
         Settle();
         EXPECT_EQ(view->Zoom(), 0.666667);
         CBgraImage text;
         ASSERT_TRUE(UIResources().skins.RenderTextLocked(u"67%", text));
         const Rect shown = view->ZoomLabelRect();
         EXPECT_EQ(shown.Width(), static_cast<std::int32_t>(text.width) + 20);
         auto labelPixels = [&] {
           std::vector<std::uint32_t> pixels;
           std::lock_guard guard(view->lock);
           const Rect r = view->ZoomLabelRect();
           for (std::int32_t y = r.top; y < r.bottom; ++y) {
             for (std::int32_t x = r.left; x < r.right; ++x)
               pixels.push_back(
                   PixelAt(view->surface, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)));
           }
           return pixels;
         };
         const std::vector<std::uint32_t> menuLabel = labelPixels();
         Message(kSpriteMsgButtonClicked, CSPicView::kRealSizeButton);
         EXPECT_EQ(view->Zoom(), 1.0);
         view->StepZoom(false, {0, 0});
         Settle();
         EXPECT_EQ(view->Zoom(), 0.66666666666);
         EXPECT_EQ(view->ZoomLabelRect(), shown);
         EXPECT_EQ(labelPixels(), menuLabel);
       }},
      {"the overview shows below half the image in a view of 300 x 300 and more; a press jumps",
       [&] {
         NewView(ForView(1000, 600)).SetImage(&large, u"");
         Settle();
         EXPECT_TRUE(view->OverviewRect().IsEmpty()) << "all visible";
         Message(kSpriteMsgButtonClicked, CSPicView::kRealSizeButton);
         const Rect box{853, 36, 1003, 148};  // 150 x 112 inside the view's top-right corner
         EXPECT_EQ(view->OverviewRect(), box);
         Move({box.left + 75, box.top + 56});
         EXPECT_EQ(host.Cursor(), CursorShape::Crosshair);
         Notes();
         Press({box.left + 75, box.top + 56});
         Release({box.left + 75, box.top + 56});
         Settle();
         EXPECT_EQ(view->VisibleRect(), (Rect{1500, 1200, 2500, 1800})) << "centred on (2000, 1500)";
         EXPECT_EQ(Notes(), kChanged);
         EXPECT_FALSE(view->IsDragging());

         view->SetSpriteRect(kViewAt.x, kViewAt.y, ForView(1000, 299).width, ForView(1000, 299).height);
         Settle();
         EXPECT_TRUE(view->OverviewRect().IsEmpty()) << "a view 299 high";
         view->SetSpriteRect(kViewAt.x, kViewAt.y, ForView(299, 600).width, ForView(299, 600).height);
         Settle();
         EXPECT_TRUE(view->OverviewRect().IsEmpty()) << "a view 299 wide";

         // Exactly half visible: none; a pixel more of image: one.
         NewView(ForView(1000, 600)).SetImage(&half, u"");
         Message(kSpriteMsgButtonClicked, CSPicView::kRealSizeButton);
         EXPECT_TRUE(view->OverviewRect().IsEmpty());
         view->SetImage(&more, u"");
         Message(kSpriteMsgButtonClicked, CSPicView::kRealSizeButton);
         EXPECT_FALSE(view->OverviewRect().IsEmpty());
       }},
      {"no drag while all is visible, and then the default cursor",
       [&] {
         NewView(ForView(1000, 600)).SetImage(&small, u"");
         Settle();
         Notes();
         Move({500, 330});
         EXPECT_EQ(host.Cursor(), CursorShape::Arrow);
         Press({500, 330});
         EXPECT_FALSE(view->IsDragging());
         EXPECT_FALSE(host.Captured());
         Move({540, 350});
         Release({540, 350});
         EXPECT_EQ(view->VisibleRect(), (Rect{0, 0, 200, 100}));
         EXPECT_EQ(Notes(), std::vector<Note>{});

         // A larger picture: the program's hand, and the drag pans.
         view->SetImage(&large, u"");
         Message(kSpriteMsgButtonClicked, CSPicView::kRealSizeButton);
         Notes();
         Move({504, 335});
         EXPECT_EQ(host.Cursor(), UIResources().handCursor);
         Press({504, 335});
         EXPECT_TRUE(view->IsDragging());
         EXPECT_TRUE(host.Captured());
         Move({464, 315});
         EXPECT_EQ(view->VisibleRect(), (Rect{40, 20, 1040, 620}));
         Release({464, 315});
         EXPECT_FALSE(view->IsDragging());
         EXPECT_FALSE(host.Captured());
         EXPECT_EQ(Notes(), (std::vector<Note>{{kPicViewMsg, kPicViewChanged, 0},
                                               {kPicViewMsg, kPicViewDragEnded, 0}}));
       }},
      {"clicks are reported only when asked for, within 4 pixels",
       [&] {
         NewView(ForView(1000, 600)).SetImage(&small, u"");
         Settle();
         Notes();
         const Point at{404 + 50, 285 + 20};  // image (50, 20)
         Press(at);
         Release(at);
         EXPECT_EQ(Notes(), std::vector<Note>{});
         view->reportClicks = 1;
         Press(at);
         Release(at);
         Press(at);
         Release({at.x + 4, at.y - 4});
         Press(at);
         Release({at.x + 5, at.y});
         EXPECT_EQ(Notes(), (std::vector<Note>{{kPicViewMsg, kPicViewClicked, 20 * 65536 + 50},
                                               {kPicViewMsg, kPicViewClicked, 16 * 65536 + 54}}));
       }},
      {"a fixed zoom: no wheel, buttons or keys; 100% works and best fit still fits",
       [&] {
         NewView(ForView(1000, 600)).SetImage(&large, u"");
         Settle();
         view->FixAtRealSize();
         Settle();
         EXPECT_EQ(view->Zoom(), 1.0);
         EXPECT_TRUE(view->IsZoomFixed());
         EXPECT_EQ(view->toolBar.visible, 0u);
         Wheel(ViewCentre(), 120);
         Wheel(ViewCentre(), -120);
         Message(kSpriteMsgButtonClicked, CSPicView::kZoomInButton);
         Message(kSpriteMsgButtonClicked, CSPicView::kZoomOutButton);
         Message(kMenuMsgCommand, 4);  // 200%
         EXPECT_EQ(view->Zoom(), 1.0);
         Message(kMenuMsgCommand, CSPicView::kMenuFit);
         EXPECT_EQ(view->Zoom(), 0.2);
         Message(kMenuMsgCommand, 5);  // 100%
         EXPECT_EQ(view->Zoom(), 1.0);
         Notes();
         const Rect box = view->OverviewRect();
         ASSERT_FALSE(box.IsEmpty());
         Press({box.left + 10, box.top + 10});
         Release({box.left + 10, box.top + 10});
         EXPECT_EQ(Notes(), (std::vector<Note>{{kPicViewMsg, kPicViewChanged, 0},
                                               {kPicViewMsg, kPicViewDragEnded, 0}}))
             << "an overview jump at a fixed zoom also ends like a drag";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.run();
  }
}

// Coordinates and keys -------------------------------------------------------

TEST_F(PicViewTest, ScreenPointsMapToImagePixelsAndArrowsPanFiftyScreenPixels) {
  const CBgraImage large = Pattern(4000, 3000);
  NewView(ForView(1000, 600)).SetImage(&large, u"");
  view->ZoomAtPoint(2, {1000, 1000});
  Settle();
  ASSERT_EQ(view->VisibleRect(), (Rect{750, 850, 1250, 1150}));
  ASSERT_EQ(view->DisplayedRect(), (Rect{4, 35, 1004, 635}));
  struct Mapping {
    Point screen, image;
  };
  for (const Mapping& m :
       {Mapping{{4, 35}, {750, 850}}, Mapping{{5, 36}, {751, 851}}, Mapping{{6, 35}, {751, 850}},
        Mapping{{1003, 634}, {1249, 1149}}, Mapping{{3, 35}, {0, 0}}, Mapping{{1004, 100}, {0, 0}},
        Mapping{{100, 635}, {0, 0}}}) {
    EXPECT_EQ(view->ScreenToImage(m.screen), m.image) << m.screen.x << "," << m.screen.y;
  }
  view->ZoomAtPoint(0.5, {2000, 1500});
  Settle();
  EXPECT_EQ(view->VisibleRect(), (Rect{1000, 900, 3000, 2100}));
  EXPECT_EQ(view->ScreenToImage({7, 36}), (Point{1006, 902})) << "3 / 0.5 + 0.5 and 1 / 0.5 + 0.5, truncated";

  // The keys reach the view once a click gave it the focus.
  view->ZoomAtPoint(2, {1000, 1000});
  Settle();
  Press(ViewCentre());
  Release(ViewCentre());
  Notes();
  auto key = [&](std::uint32_t code) {
    host.KeyPress(code);
    Run();
    Later();
    return Point{view->VisibleRect().left, view->VisibleRect().top};
  };
  EXPECT_EQ(key(VK_RIGHT), (Point{775, 850})) << "50 screen pixels are 25 image pixels at 200%";
  EXPECT_EQ(key(VK_DOWN), (Point{775, 875}));
  EXPECT_EQ(key(VK_LEFT), (Point{750, 875}));
  EXPECT_EQ(key(VK_UP), (Point{750, 850}));
  EXPECT_EQ(Notes().size(), 4u);
  view->SetViewOrigin({0, 0});
  EXPECT_EQ(key(VK_LEFT), (Point{0, 0})) << "clamped at the edge";
  view->ZoomAtPoint(0.3, {2000, 1500});
  view->SetViewOrigin({100, 100});
  EXPECT_EQ(key(VK_RIGHT), (Point{266, 100})) << "trunc(50 / 0.3)";

  // Ctrl with plus or minus steps the zoom; without Ctrl nothing.
  EXPECT_EQ(key(VK_OEM_PLUS), (Point{266, 100}));
  EXPECT_EQ(view->Zoom(), 0.3);
  host.KeyDown(VK_CONTROL);
  key(VK_OEM_PLUS);
  EXPECT_EQ(view->Zoom(), 0.333333333);
  key(VK_ADD);
  EXPECT_EQ(view->Zoom(), 0.5);
  key(VK_SUBTRACT);
  key(VK_OEM_MINUS);
  EXPECT_EQ(view->Zoom(), 0.25);
  host.KeyUp(VK_CONTROL);
  Run();
}

// Two views that follow each other --------------------------------------------

// A page with two views, each following the other's changes as owners do.
class CTwinPage final : public CProbe {
public:
  CTwinPage() : CProbe(0xFF101010u) {}
  bool OnSpriteMessage(const SpriteMessage& message) override {
    if (message.code == kPicViewMsg && message.wparam == kPicViewChanged) {
      ++changes[message.sender == &first ? 0 : 1];
      if (message.sender == &first) second.CopyViewFrom(first);
      if (message.sender == &second) first.CopyViewFrom(second);
    }
    return CProbe::OnSpriteMessage(message);
  }
  CSPicView first, second;
  int changes[2] = {0, 0};
};

TEST_F(PicViewTest, TwoViewsFollowEachOtherWithoutBouncing) {
  const CBgraImage large = Pattern(4000, 3000);
  auto* page = new CTwinPage;
  ASSERT_TRUE(page->Create(parent, nullptr, 3, {0, 0, 1080, 700}, 0));
  page->owned = 1;
  parent->AppendChild(page);
  for (CSPicView* v : {&page->first, &page->second}) {
    const std::int32_t left = v == &page->first ? 0 : 540;
    ASSERT_TRUE(v->Create(page, nullptr, left ? 2 : 1, {left, 0, left + 520, 600}, 0));
    page->AppendChild(v);
    v->SetImage(&large, u"");
  }
  Settle();
  page->changes[0] = page->changes[1] = 0;

  host.Wheel(page->first.PointToWindow({260, 300}), 120);
  Settle();
  EXPECT_EQ(page->changes[0], 1);
  EXPECT_EQ(page->changes[1], 0) << "the follower does not answer";
  EXPECT_EQ(page->second.Zoom(), page->first.Zoom());
  EXPECT_EQ(page->second.VisibleRect(), page->first.VisibleRect());

  // A drag on the second view: the first follows every step.
  const Point from = page->second.PointToWindow({260, 300});
  host.MouseDown(MouseButton::Left, from);
  Run();
  for (int i = 1; i <= 4; ++i) {
    host.MouseMove({from.x - 10 * i, from.y - 5 * i});
    Run();
  }
  host.MouseUp(MouseButton::Left, {from.x - 40, from.y - 20});
  Settle();
  EXPECT_EQ(page->changes[0], 1);
  EXPECT_EQ(page->changes[1], 4);
  EXPECT_EQ(page->first.VisibleRect(), page->second.VisibleRect());
  EXPECT_EQ(page->first.Zoom(), page->second.Zoom());
  page->first.CopyViewFrom(page->first);  // itself: nothing
  EXPECT_EQ(page->first.VisibleRect(), page->second.VisibleRect());
}

// An image changed in place ---------------------------------------------------

TEST_F(PicViewTest, AnImageResizedInPlaceIsTakenAtTheNextFrameWithTheOriginClamped) {
  CBgraImage image = Pattern(3000, 2000);
  NewView(ForView(1000, 600)).SetImage(&image, u"");
  Message(kSpriteMsgButtonClicked, CSPicView::kRealSizeButton);
  view->SetViewOrigin({2000, 1400});
  Settle();
  ASSERT_EQ(view->VisibleRect(), (Rect{2000, 1400, 3000, 2000}));

  // New pixels, same size: drawn with zoom and origin unchanged.
  FillImage(image, 0xFF336699u);
  view->dirty = 1;
  Frame();
  EXPECT_EQ(view->VisibleRect(), (Rect{2000, 1400, 3000, 2000}));
  {
    std::lock_guard guard(view->lock);
    EXPECT_EQ(PixelAt(view->surface, 500, 300), 0xFF336699u);
  }

  // Smaller, in place: the next frame clamps and asks for another.
  {
    std::lock_guard guard(view->lock);
    image.Free();
    ASSERT_TRUE(image.Create(1200, 800));
    FillImage(image, 0xFF224466u);
    view->dirty = 1;
  }
  Frame();
  EXPECT_EQ(view->VisibleRect(), (Rect{200, 200, 1200, 800}));
  Run();
  Frame();
  EXPECT_EQ(view->DisplayedRect(), (Rect{4, 35, 1004, 635}));
  std::lock_guard guard(view->lock);
  EXPECT_EQ(PixelAt(view->surface, 500, 300), 0xFF224466u);
  EXPECT_EQ(view->Zoom(), 1.0);
}

// A view too small for its frame ----------------------------------------------

TEST_F(PicViewTest, AViewWithoutRoomDrawsNothingAndKeepsAPositiveZoom) {
  const CBgraImage image = Pattern(400, 300);
  for (const Size size : {Size{8, 200}, Size{200, 39}, Size{5, 20}, Size{0, 0}}) {
    SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
    NewView(size).SetImage(&image, u"a title");
    Settle();
    EXPECT_GT(view->Zoom(), 0.0);
    EXPECT_TRUE(std::isfinite(view->Zoom()));
    EXPECT_TRUE(view->DisplayedRect().IsEmpty());
    EXPECT_TRUE(view->OverviewRect().IsEmpty());
    view->ZoomToFit();
    view->StepZoom(true, {10, 10});
    view->SetZoom(0);  // refused: the zoom stays positive
    view->SetZoom(std::nan(""));
    view->ZoomAtPoint(-1, {0, 0});
    view->SetViewOrigin({100, 100});
    Settle();
    EXPECT_GT(view->Zoom(), 0.0);
    EXPECT_TRUE(view->DisplayedRect().IsEmpty());
    EXPECT_EQ(view->ScreenToImage({2, 2}), (Point{0, 0}));
    const Rect visible = view->VisibleRect();
    EXPECT_GE(visible.left, 0);
    EXPECT_LE(visible.right, 400);
    EXPECT_LE(visible.left, visible.right);
  }
  // Given room, the same view fits and draws.
  view->SetSpriteRect(kViewAt.x, kViewAt.y, ForView(200, 150).width, ForView(200, 150).height);
  view->ZoomToFit();
  Settle();
  EXPECT_EQ(view->Zoom(), 0.5);
  EXPECT_EQ(view->DisplayedRect(), (Rect{4, 35, 204, 185}));
}

// The drawing, against the rules written out pixel by pixel ------------------

namespace plain {

std::uint8_t Src(int a, int v) { return static_cast<std::uint8_t>((127 + a * v) / 255); }
std::uint8_t Dst(int a, int v) { return static_cast<std::uint8_t>((127 + (255 - a) * v) / 255); }

// A picture pixel blended over a surface pixel with a global alpha in
// 256ths, the surface's alpha raised.
void Blend(std::uint8_t* p, const std::array<std::uint8_t, 4>& s, int alpha) {
  const int weight = alpha * s[3];
  if (weight <= 255) return;
  const int w = weight / 256;
  for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>(Src(w, s[c]) + Dst(w, p[c]));
  p[3] = static_cast<std::uint8_t>(Dst(w, p[3]) + Src(w, 255));
}

// The display conversion of one 16-bit pixel.
std::array<std::uint8_t, 4> To8(const std::uint64_t v[4]) {
  auto clamp16 = [](int x) { return std::clamp(x, 0, 65535); };
  const int b = static_cast<int>(v[0]), g = static_cast<int>(v[1]), r = static_cast<int>(v[2]);
  return {LinearToSrgbTable[static_cast<std::size_t>(clamp16(static_cast<int>((b - g) * 0.0429289 + b)))],
          LinearToSrgbTable[static_cast<std::size_t>(g)],
          LinearToSrgbTable[static_cast<std::size_t>(clamp16(static_cast<int>((r - g) * 0.39832 + r)))],
          static_cast<std::uint8_t>(v[3] >> 8)};
}

// Output pixel (i, j) of the rectangle r resampled to w x h with n x n
// point samples: column positions k (R - L) / (n w) + L, rows likewise,
// every channel the integer average.
template <typename Image>
std::array<std::uint8_t, 4> Sample(const Image& image, const Rect& r, std::int64_t n, std::int64_t w,
                                   std::int64_t h, std::int64_t i, std::int64_t j) {
  std::uint64_t sum[4] = {};
  for (std::int64_t b = 0; b < n; ++b) {
    const std::int64_t y = (j * n + b) * (r.bottom - r.top) / (n * h) + r.top;
    for (std::int64_t a = 0; a < n; ++a) {
      const std::int64_t x = (i * n + a) * (r.right - r.left) / (n * w) + r.left;
      const auto* p = image.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      for (int c = 0; c < 4; ++c) sum[c] += p[c];
    }
  }
  for (std::uint64_t& value : sum) value /= static_cast<std::uint64_t>(n * n);
  if constexpr (std::is_same_v<Image, CBgraImage16>) {
    return To8(sum);
  } else {
    return {static_cast<std::uint8_t>(sum[0]), static_cast<std::uint8_t>(sum[1]),
            static_cast<std::uint8_t>(sum[2]), static_cast<std::uint8_t>(sum[3])};
  }
}

// The view's surface as the rules draw it, for the view rectangle: the
// background, the visible part scaled and centred, and the overview.
template <typename Image>
CBgraImage Expected(const Image& image, double zoom, const Rect& view, const Rect& visible, Size surfaceSize,
                    std::uint32_t background) {
  CBgraImage out = FilledImage(static_cast<std::uint32_t>(surfaceSize.width),
                               static_cast<std::uint32_t>(surfaceSize.height), background);
  auto put = [&](std::int64_t x, std::int64_t y, const std::array<std::uint8_t, 4>& s, int alpha) {
    if (x < 0 || y < 0 || x >= surfaceSize.width || y >= surfaceSize.height) return;
    Blend(out.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)), s, alpha);
  };
  const std::int64_t w0 = visible.Width(), h0 = visible.Height();
  std::int64_t w = w0, h = h0;
  if (std::abs(zoom - 1.0) > 1e-10) {
    w = static_cast<std::int64_t>(w0 * zoom + 0.5);
    h = static_cast<std::int64_t>(h0 * zoom + 0.5);
  }
  w = std::max<std::int64_t>(w, 1);
  h = std::max<std::int64_t>(h, 1);
  const std::int64_t n = zoom < 1.0 ? 2 : 1;
  const std::int64_t left = view.left + (view.Width() - w) / 2, top = view.top + (view.Height() - h) / 2;
  for (std::int64_t j = 0; j < h; ++j) {
    for (std::int64_t i = 0; i < w; ++i) put(left + i, top + j, Sample(image, visible, n, w, h, i, j), 256);
  }

  const std::int64_t iw = image.width, ih = image.height;
  if (!(2 * w0 * h0 < iw * ih) || view.Width() < 300 || view.Height() < 300) return out;
  const std::int64_t ow = iw >= ih ? 150 : 150 * iw / ih, oh = iw >= ih ? 150 * ih / iw : 150;
  const std::int64_t bl = view.right - ow - 1, br = view.right - 1, bt = view.top + 1, bb = bt + oh;
  const std::int64_t ml = bl + ow * visible.left / iw, mr = bl + ow * visible.right / iw;
  const std::int64_t mt = bt + oh * visible.top / ih, mb = bt + oh * visible.bottom / ih;
  for (std::int64_t y = bt; y < bb; ++y) {
    for (std::int64_t x = bl; x < br; ++x) {
      std::uint8_t* p = out.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      const bool border = x == bl || x == br - 1 || y == bt || y == bb - 1;
      const bool marked = x >= ml && x < mr && y >= mt && y < mb;
      for (int c = 0; c < 3; ++c)
        p[c] = static_cast<std::uint8_t>(border ? (p[c] + 512) / 3 : marked ? (p[c] + 255) / 2 : p[c] / 2);
    }
  }
  const Rect whole{0, 0, static_cast<std::int32_t>(iw), static_cast<std::int32_t>(ih)};
  for (std::int64_t j = 0; j < oh - 2; ++j) {
    for (std::int64_t i = 0; i < ow - 2; ++i)
      put(bl + 1 + i, bt + 1 + j, Sample(image, whole, 2, ow - 2, oh - 2, i, j), 128);
  }
  put((ml + mr) / 2, (mt + mb) / 2, {0, 0, 0, 255}, 256);
  return out;
}

}  // namespace plain

TEST_F(PicViewTest, TheDrawingEqualsThePlainRulesByteForByte) {
  BuildGammaTables();
  const CBgraImage opaque = Pattern(1000, 600);
  const CBgraImage big = Pattern(4000, 3000, true);
  const CBgraImage16 wide16 = Pattern16(1500, 900, true);
  struct Case {
    const char* name;
    const CBgraImage* image;
    const CBgraImage16* image16;
    double zoom;
    Point centre;
  };
  const Case cases[] = {
      {"zoomed out, two by two samples, with the overview", &big, nullptr, 0.4, {1500, 1200}},
      {"zoomed out to a step value", &big, nullptr, 0.333333333, {3000, 600}},
      {"zoomed in, one sample, with the overview", &big, nullptr, 2.5, {3900, 100}},
      {"real size, part of the image", &big, nullptr, 1.0, {2000, 1500}},
      {"an output of the image's own size still shows only the visible part",
       &opaque,
       nullptr,
       2.0,
       {500, 300}},
      {"all of a small picture, smaller than the view", &opaque, nullptr, 0.7, {500, 300}},
      {"16-bit, zoomed out", nullptr, &wide16, 0.45, {800, 500}},
      {"16-bit, zoomed in", nullptr, &wide16, 3.0, {100, 800}},
      {"16-bit, real size", nullptr, &wide16, 1.0, {1400, 100}},
  };
  NewView(ForView(1000, 600));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.image) {
      view->SetImage(c.image, u"reference");
    } else {
      view->SetImage16(c.image16, u"reference");
    }
    view->ZoomAtPoint(c.zoom, c.centre);
    Settle();
    std::lock_guard guard(view->lock);
    const Rect r = view->ViewRect();
    const Size size{static_cast<std::int32_t>(view->surface.width),
                    static_cast<std::int32_t>(view->surface.height)};
    const std::uint32_t background = UIResources().theme.colors[5];
    const CBgraImage expected =
        c.image ? plain::Expected(*c.image, view->Zoom(), r, view->VisibleRect(), size, background)
                : plain::Expected(*c.image16, view->Zoom(), r, view->VisibleRect(), size, background);
    std::int64_t differing = 0;
    Point first{-1, -1};
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
      for (std::int32_t x = r.left; x < r.right; ++x) {
        const auto ux = static_cast<std::uint32_t>(x), uy = static_cast<std::uint32_t>(y);
        if (PixelAt(view->surface, ux, uy) != PixelAt(expected, ux, uy)) {
          if (differing++ == 0) first = {x, y};
        }
      }
    }
    EXPECT_EQ(differing, 0) << "first at " << first.x << "," << first.y;
  }
  {
    // The same-size case above draws the visible quarter, not the whole picture.
    std::lock_guard guard(view->lock);
    view->SetImage(&opaque, u"");
  }
  view->ZoomAtPoint(2.0, {500, 300});
  Settle();
  EXPECT_EQ(view->VisibleRect(), (Rect{250, 150, 750, 450}));
  std::lock_guard guard(view->lock);
  const std::uint8_t* shown = view->surface.At(4, 35);
  const std::uint8_t* source = opaque.At(250, 150);
  EXPECT_TRUE(std::equal(shown, shown + 4, source));
}

// The render thread ----------------------------------------------------------------

// The render thread draws by itself while the UI thread zooms, pans, drags,
// swaps the images and resizes the view; ThreadSanitizer watches.
TEST_F(PicViewTest, TheRenderThreadDrawsWhileTheUiThreadZoomsAndPans) {
  const CBgraImage image = Pattern(1500, 1000);
  const CBgraImage16 image16 = Pattern16(900, 700);
  CSPicView& v = NewView(ForView(600, 400));
  v.SetImage(&image, u"eight");
  auto* other = new CSPicView;
  other->owned = 1;
  ASSERT_TRUE(other->Create(parent, nullptr, 8, {640, 20, 1000, 400}, 0));
  parent->AppendChild(other);
  other->SetImage(&image, u"other");
  window.SetRenderReady();
  const int presentsBefore = host.PresentCount();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  const Point centre = v.PointToWindow({304, 235});
  for (int round = 0;
       host.PresentCount() < presentsBefore + 25 && std::chrono::steady_clock::now() < deadline; ++round) {
    switch (round % 10) {
      case 0:
        host.Wheel(centre, round % 20 ? 120 : -120);
        break;
      case 1:
        v.ZoomAtPoint(0.2 + (round % 7) * 0.5, {round % 1500, round % 1000});
        break;
      case 2:
        v.SetViewOrigin({(round * 37) % 1500, (round * 53) % 1000});
        break;
      case 3:
        host.MouseDown(MouseButton::Left, centre);
        host.MouseMove({centre.x - 30, centre.y - 10});
        host.MouseUp(MouseButton::Left, {centre.x - 30, centre.y - 10});
        break;
      case 4:
        if (round % 40 == 4) {
          v.SetImage16(&image16, u"sixteen");
        } else if (round % 40 == 24) {
          v.SetImage(&image, u"eight");
        }
        break;
      case 5:
        other->CopyViewFrom(v);
        v.CopyViewFrom(*other);
        break;
      case 6:
        ASSERT_TRUE(PostSpriteMessage(&v, kSpriteMsgButtonClicked,
                                      round % 20 ? CSPicView::kZoomInButton : CSPicView::kFitButton, 0,
                                      nullptr));
        break;
      case 7:
        v.SetSpriteRect(kViewAt.x, kViewAt.y, 600 + round % 50, 440 - round % 30);
        break;
      case 8:
        (void)v.ScreenToImage({300, 200});
        ASSERT_TRUE(PostSpriteMessage(&v, kMenuMsgCommand, 2 + round % 9, 0, nullptr));
        break;
      default:
        host.KeyPress(round % 20 ? VK_RIGHT : VK_DOWN);
        break;
    }
    Run();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_GE(host.PresentCount(), presentsBefore + 25) << "the render thread kept drawing";
  window.DestroyWindow();
  EXPECT_GT(v.Zoom(), 0.0);
  const Rect visible = v.VisibleRect();
  EXPECT_GE(visible.left, 0);
  EXPECT_GE(visible.top, 0);
  EXPECT_LE(visible.right, 1500);
  EXPECT_LE(visible.bottom, 1000);
}

// The tool bar -------------------------------------------------------------------------

TEST_F(PicViewTest, TheViewsToolBarHasFourButtonsWhoseClicksZoom) {
  const CBgraImage large = Pattern(4000, 3000);
  NewView(ForView(1000, 600)).SetImage(&large, u"");
  Settle();
  CSToolBar& bar = view->toolBar;
  EXPECT_EQ(bar.rect, (Rect{4, 4, 134, 34}));
  EXPECT_EQ(bar.usedLength, 130);
  CImageArray strip;
  ASSERT_TRUE(strip.LoadStrip(UIResources().theme.basicFolder / "picviewtool.png", 28));
  struct Expect {
    std::int32_t id, icon, left;
    std::u16string tip;
  };
  const Expect expected[] = {{1, 0, 0, u"Zoom in"},
                             {2, 1, 30, u"Zoom out"},
                             {4, 3, 70, u"Actual size"},
                             {5, 4, 100, u"Fit in view"}};
  ASSERT_EQ(bar.items.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    const CSButton& button = *bar.items[i].button;
    SCOPED_TRACE(button.id);
    EXPECT_EQ(button.id, expected[i].id);
    EXPECT_EQ(button.rect, (Rect{expected[i].left, 0, expected[i].left + 30, 30}));
    EXPECT_EQ(button.TipText(), expected[i].tip);
    const CBgraImage& cell = *strip.At(static_cast<std::size_t>(expected[i].icon));
    ASSERT_EQ(button.iconImage.byteSize, cell.byteSize);
    EXPECT_TRUE(std::equal(cell.pixels, cell.pixels + cell.byteSize, button.iconImage.pixels));
  }
  auto click = [&](std::size_t index) {
    const Rect r = bar.items[index].button->rect;
    host.Click(MouseButton::Left, bar.PointToWindow({r.left + 15, r.top + 15}));
    Run();
    Later();
    Settle();
    return view->Zoom();
  };
  EXPECT_EQ(view->Zoom(), 0.2);
  EXPECT_EQ(click(0), 0.25);
  EXPECT_EQ(click(0), 0.333333333);
  EXPECT_EQ(click(1), 0.25);
  EXPECT_EQ(click(2), 1.0);
  EXPECT_EQ(view->VisibleRect(), (Rect{0, 0, 1000, 600})) << "real size starts at the corner";
  EXPECT_EQ(click(3), 0.2);
}

TEST_F(PicViewTest, AToolBarStacksWhenTallCutsItsTipsKeepsThirtyTwoItemsAndNeedsItsStrip) {
  auto* bar = new CSToolBar;
  bar->owned = 1;
  for (std::int32_t i = 0; i < 33; ++i)
    bar->AddButton(i % 5, i == 0 ? std::u16string(130, u't') : u"tip", i == 2);
  EXPECT_EQ(bar->items.size(), 32u);
  EXPECT_EQ(bar->items[0].tipText, std::u16string(125, u't') + u"..");
  EXPECT_EQ(bar->GetPreferredLength(), 32 * 30 + 10);
  ASSERT_TRUE(bar->Create(parent, {10, 100, 40, 700}));
  parent->AppendChild(bar);
  EXPECT_EQ(bar->items[0].button->rect, (Rect{0, 0, 30, 30}));
  EXPECT_EQ(bar->items[1].button->rect, (Rect{0, 30, 30, 60}));
  EXPECT_EQ(bar->items[2].button->rect, (Rect{0, 70, 30, 100})) << "a gap before the third";
  EXPECT_EQ(bar->usedLength, 32 * 30 + 10);
  // A click goes to the parent as tool bar id x 65536 + button id.
  Frame();
  parent->Take();
  host.Click(MouseButton::Left, bar->PointToWindow({15, 85}));
  Run();
  const std::vector<Note> notes = parent->Take();
  EXPECT_NE(std::find(notes.begin(), notes.end(), Note{kSpriteMsgButtonClicked, 65536 + 3, 0}), notes.end());

  // Without its icon strip in either folder neither a tool bar nor a view
  // can be made.
  CUITheme& theme = UIResources().theme;
  const std::filesystem::path basic = theme.basicFolder;
  theme.basicFolder = ScratchDir();
  CSToolBar lonely;
  lonely.AddButton(0, u"", false);
  EXPECT_FALSE(lonely.Create(parent, {0, 0, 30, 30}));
  CSPicView blind;
  EXPECT_FALSE(blind.Create(parent, nullptr, 9, {0, 0, 300, 300}, 0));
  theme.basicFolder = basic;
}

}  // namespace
