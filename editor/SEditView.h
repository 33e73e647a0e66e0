#pragma once
// CSEditView: the canvas of an edit page. It shows the visible part of the
// page's document at a zoom over a checkerboard, with the marching ants of
// the selection, under a 40-pixel toolbar (zoom buttons, the page's
// document commands, the current layer's histogram, the zoom percentage)
// and beside two scroll bars. It maps canvas pixels to document pixels,
// zooms, fits and pans, and routes mouse and keys to the current editing
// tool (CTool) unless one of its children lies under the pointer or Space
// is held (SEditViewInput.cpp). The toolbar, the selection panel, the zoom
// menu and the histogram are in SEditViewToolbar.cpp.
//
// The display picture follows the document through the document's modified
// flag: the next frame turns it into message 10003 to the canvas, which
// rebuilds the picture on the UI thread.
//
// Threads: Draw, the ants and the tool's overlay drawing run on the render
// thread under the canvas's sprite lock; everything else on the UI thread.
// The UI thread changes under that lock whatever they read: the mapping
// (zoom, content, image and source rectangles), the display picture, the
// outline and the child list. RebuildDisplay never holds the canvas lock
// while it takes the document's.

#include <array>
#include <atomic>
#include <cstdint>

#include "editor/CanvasMapping.h"
#include "editor/CanvasPoint.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ImageArray.h"
#include "image/Plane8.h"
#include "ui/MessageSprite.h"
#include "ui/widgets/CursorSprite.h"
#include "ui/widgets/PanelSprite.h"
#include "ui/widgets/SMenu.h"
#include "ui/widgets/SOverlay.h"
#include "ui/widgets/SScrollBar.h"

class CBFDoc;
class CSEditPage;
class CTool;

// The canvas tells itself that the document changed.
inline constexpr std::int32_t kEditViewMsgDocumentChanged = 10003;

class CSEditView : public CMessageSprite {
public:
  static constexpr std::int32_t kToolbarHeight = 40;
  static constexpr std::int32_t kContentMargin = 20;  // right and bottom of the content rectangle
  static constexpr std::int32_t kScrollBarSize = 17;
  static constexpr std::int32_t kToolbarId = 1;
  static constexpr std::int32_t kToolbarLayer = 2;
  static constexpr std::int32_t kSelectionPanelId = 2;
  static constexpr std::int32_t kSelectionPanelLayer = 4;
  static constexpr std::int32_t kSelectionPanelAlpha = 192;
  static constexpr std::int32_t kVerticalBarId = 101;
  static constexpr std::int32_t kHorizontalBarId = 102;
  static constexpr std::int32_t kScrollBarLayer = 5;
  static constexpr std::int32_t kOverlayId = 103;
  static constexpr std::int32_t kOverlayLayer = 3;
  static constexpr std::int32_t kCursorId = 104;
  static constexpr std::int32_t kCursorLayer = 6;
  static constexpr std::int32_t kZoomMenuId = 200;
  static constexpr std::int32_t kSelectionMenuId = 201;
  static constexpr std::int32_t kSelectionSubMenuId = 202;
  static constexpr std::int32_t kMenuLayer = 201;
  static constexpr std::int32_t kSubMenuLayer = 202;
  // The option panel of the current tool, in the toolbar band.
  static constexpr Rect kOptionPanelRect{300, 0, 700, 40};
  // Icon strips and their cell widths.
  static constexpr std::int32_t kToolbarIconWidth = 38;
  static constexpr std::int32_t kSmallToolbarIconWidth = 19;
  static constexpr std::int32_t kSelectionIconWidth = 16;
  // A drag this close to an edge of the content scrolls, a step a pause.
  static constexpr std::int32_t kAutoScrollEdge = 15;
  static constexpr std::uint32_t kAutoScrollPauseMs = 100;

  // Toolbar and selection panel items.
  enum Item : std::uint32_t {
    kItemZoomIn = 1,
    kItemZoomOut = 2,
    kItemFit = 3,
    kItemRealSize = 4,
    kItemSave = 11,
    kItemInfo = 12,
    kItemWizard = 13,
    kItemAddImage = 15,
    kItemHistogram = 21,
    kItemPrint = 22,
    kItemZoomText = 31,
    kItemHandBack = 99,
    kItemDropSelection = 101,
    kItemFeather = 102,
    kItemInpaint = 103,
    kItemSelectionMore = 104,
  };
  // Zoom menu commands: 1 fit, 2 to 10 the presets.
  static constexpr std::int32_t kZoomFitCommand = 1;
  static constexpr std::array<double, 9> kZoomPresets = {8.0, 4.0,      2.0,  1.0, 0.666667,
                                                         0.5, 0.333333, 0.25, 0.1};
  static constexpr std::array<double, 16> kZoomSteps = {
      0.1, 0.25, 0.333333333, 0.5, 0.66666666666, 1.0, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0};

  explicit CSEditView(CSEditPage& page);
  ~CSEditView() override;

  // CSprite.
  // The toolbar, the content rectangle (0, 40, W - 20, H - 20), the view
  // from the current origin, the overlay over the content, the scroll bars.
  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // Toolbar and selection panel with their items, the menus, the scroll
  // bars (hidden), the overlay and the cursor sprite.
  [[nodiscard]] bool OnSpriteCreate() override;
  // Render thread: see the file comment; the ants move once a second.
  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;

  // Input (SEditViewInput.cpp).
  void OnMouseWheel(Point point, std::int32_t delta) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  void OnRButtonDown(Point point, std::uint32_t flags) override;
  void OnRButtonUp(Point point, std::uint32_t flags) override;
  void OnLButtonDblClk(Point point, std::uint32_t flags) override;
  void OnChar(std::uint32_t character, std::uint32_t repeat, std::uint32_t flags) override;
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  void OnKeyUp(std::uint32_t key, std::uint32_t flags) override;
  bool CanTakeFocus() override { return true; }
  void OnCaptureReleased() override;
  bool OnSetCursor(Point point) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  bool WantsTextInput() override;

  // The view.
  // Makes a tool current (null: none): the overlay draws it, its option
  // panel joins the toolbar band, the scroll bars are updated. The tool
  // switch of the tool page is the one caller that activates tools.
  void SetTool(CTool* tool);
  // Shows the selection panel at the top-left corner of the selection's
  // non-zero bytes, unless a tool other than a selection tool is current.
  void PlaceSelectionPanel();
  // Rebuilds the display picture from the document; a changed document
  // size first resets the origin to (0, 0).
  void RebuildDisplay();
  // The whole image at the largest zoom that fits, at most 100 %, from its
  // top-left. A content area of 10 pixels or less keeps the zoom.
  void FitToView();
  // Shows the document from (x, y), held inside the image; 0 without an
  // image.
  [[nodiscard]] std::int32_t SetOrigin(std::int32_t x, std::int32_t y);
  // Image width and height from the base layer; false (both 0) without one.
  [[nodiscard]] bool UpdateImageSize();
  Point ViewToImage(Point point, bool clamp) const;
  // One step of kZoomSteps in or out, the anchor (document) brought to the
  // middle of the content rectangle.
  void ZoomStep(bool zoomIn, Point anchor);
  // A zoom menu preset.
  void SetZoom(double zoom);
  // While a tool drags near an edge of the content rectangle (canvas
  // point): moves the view a sixth of the image rectangle that way and
  // pauses 100 ms of the clock.
  void AutoScroll(Point point);
  // Keeps the selection as the saved mask "Lastarea" and drops it.
  void DropSelection();
  bool IsOverScrollBar(Point point);
  void UpdateScrollBars();
  // The selection's edge at display resolution (SelectionOutline.h).
  void BuildSelectionOutline();
  // A copy of the mapping, taken under the lock.
  CanvasMapping Mapping() const;
  double Zoom() const;
  // The display picture's copy, taken under the lock (tests, probes).
  [[nodiscard]] bool CopyDisplayPicture(CBgraImage& picture) const;
  // The display picture and the buffers of its rebuild, freed (a page that
  // is swapped out).
  void FreeDisplay();

  // Toolbar and selection actions (SEditViewToolbar.cpp).
  [[nodiscard]] bool CreateToolbars();
  void OnPanelItem(std::uint32_t id);
  void ShowZoomMenu();
  void ShowSelectionMenu();
  // The current layer's histogram into toolbar item 21.
  void DrawHistogram();
  // The save chooser; 1 when it ended with OK, which marks the history saved.
  [[nodiscard]] std::int32_t SaveDocument();
  [[nodiscard]] std::int32_t ShowPhotoProperties();
  [[nodiscard]] std::int32_t PrintDocument();
  // The wizard dialog (the registry's command 18001, whose result is the
  // chosen entry, 0 when cancelled); the entry's command is posted to the
  // page. The chosen entry, 0 when none.
  [[nodiscard]] std::int32_t RunWizard();
  // A picture file chosen by the user as a new layer on top ("hisaddimage");
  // "Cannotopenfile" when it cannot be opened. 1 when added.
  [[nodiscard]] std::int32_t AddImageAsLayer();
  // Fills the selected area of the current layer from its surroundings
  // ("hismarterase") and then keeps and drops the selection. 1 also without
  // a selection (nothing to do); 0 when the fill did not finish
  // ("smarterasefaild"), the selection staying.
  [[nodiscard]] std::int32_t InpaintSelection();
  // Mixes the selected pixels of the base layer toward a colour the user
  // picks (kept in Editor FillR, FillG, FillB), or makes those of another
  // layer transparent by the selection ("hisdelsel"). 1 when done.
  [[nodiscard]] std::int32_t DeleteSelectionContent();
  // The command a wizard entry stands for: 0 none, kWizardSharpen for the
  // advanced sharpen dialog.
  static constexpr std::int32_t kWizardSharpen = -1;
  static std::int32_t WizardEntryCommand(std::int32_t entry, bool hasSelection);

  // Fields.
  CSEditPage& page;
  CBFDoc* document = nullptr;  // the page's; set before the first layout
  std::int32_t hasTool = 0;
  CImageArray toolbarIcons;
  CImageArray selectionIcons;
  std::int32_t panning = 0;
  Point panAnchor;
  CSprite* optionPanel = nullptr;
  CPlane8 outline;                 // under lock
  std::uint32_t outlineAlpha = 0;  // under lock
  std::int32_t showOutline = 0;    // under lock: the document had a selection at the last rebuild
  std::int32_t imageWidth = 0;
  std::int32_t imageHeight = 0;
  CanvasMapping view;  // under lock
  CPanelSprite toolbar;
  CPanelSprite selectionPanel;
  CSMenu zoomMenu;
  CSMenu selectionMenu;
  CSMenu selectionSubMenu;
  CBgraImage display;  // under lock
  CSOverlay overlay;
  CCursorSprite cursor;
  std::uint32_t lastDocumentWidth = 0;
  std::uint32_t lastDocumentHeight = 0;
  CSScrollBar horizontalBar;
  CSScrollBar verticalBar;
  CTool* currentTool = nullptr;
  CanvasPoint lastPoint;
  std::int32_t leftButtonDown = 0;
  std::uint32_t lastSecond = 0;  // render thread

private:
  // The input routing's tests (SEditViewInput.cpp).
  bool ToolTakes(Point point) const;
  static bool SpaceHeld();
  CanvasPoint ToolPoint(Point point) const;
  bool PanPossible(Point point) const;
  void HideSprite(CSprite& sprite);
  void RunCommand(const SpriteMessage& message);
  // Posts 10003 to the canvas once until it is delivered.
  void PostDocumentChanged();
  void DrawPicture(bool withOutline);

  std::atomic<std::int32_t> m_rebuildPosted{0};
  // Kept between rebuilds (UI thread): the 16-bit picture on the way and
  // the display picture before the last, which the next one reuses.
  CBgraImage16 m_work;
  CBgraImage m_spare;
};
