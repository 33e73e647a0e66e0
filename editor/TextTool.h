#pragma once
// CTextTool: creates text layers and edits them as text. A click on the
// canvas opens the text layer under it, or makes a new one at the point;
// typed characters, Enter, Backspace, Delete, the caret keys and
// Shift+Insert (paste) edit the text, the option panel changes the style,
// dragging outside the text frame moves the layer. The confirm mark, a
// double click or leaving the tool ends the edit as one history step
// ("hisText").
//
// While a layer is edited its text is a list of glyphs, one per UTF-16
// unit, each with a cached coverage picture and its box in the layer; the
// lines break only at CR and LF. Characters outside the BMP are refused.
// Small antialiased text is drawn at two or four times its size and
// reduced.
//
// Editing operations live in TextToolEditing.cpp, input and the panel here.
//
// Threads: UI thread, but DrawOverlay (render thread, with the canvas's
// lock held). The glyph and line lists change only under LockOverlay; the
// layer's image is replaced under the layer's lock.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/TextLayer.h"
#include "document/TextStyle.h"
#include "editor/Tool.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ImageArray.h"
#include "platform/Font.h"
#include "platform/Rect.h"
#include "ui/widgets/PanelSprite.h"
#include "ui/widgets/SMenu.h"

class CBFDoc;

// One character of the edited text.
struct TextGlyph {
  char16_t character = 0;
  Rect box;                    // the cell in layer pixels, set by the layout
  std::int32_t printable = 1;  // 0 for CR and LF
  CBgraImage coverage;         // coverage in byte 1 (green); empty until rendered
};

// Glyph indexes of a line's first and last glyph (a CR or LF ends it).
struct TextLine {
  std::int32_t first = 0;
  std::int32_t last = 0;
};

// An installed face with its sample picture for the font menu.
struct FontEntry {
  static constexpr std::size_t kNameLength = 64;
  std::array<char16_t, kNameLength> name{};
  CBgraImage sample;  // "ABCdef", black, the coverage as alpha; made when the menu first opens
  std::int32_t charset = 0;
  std::int32_t sampleTried = 0;  // a face whose sample failed is not tried again
};

class CTextTool final : public CTool {
public:
  static constexpr std::int32_t kPanelWidth = 400;
  static constexpr std::int32_t kIconWidth = 24;
  static constexpr std::size_t kMaxGlyphs = 1024;
  static constexpr std::size_t kMaxLoadedGlyphs = 1023;  // loading and pasting stop here
  static constexpr std::int32_t kConfirmSide = 24;
  static constexpr std::int32_t kLineSpacingMenuId = 100;
  static constexpr std::int32_t kFontMenuId = 101;
  static constexpr std::int32_t kMenuLayer = 201;
  static constexpr std::int32_t kFirstLineSpacingCommand = 3000800;
  static constexpr std::int32_t kLastLineSpacingCommand = 3000899;
  static constexpr std::int32_t kFirstFontCommand = 30001000;
  static constexpr std::int32_t kLastFontCommand = 30001999;
  static constexpr std::uint32_t kFrameColour = 0xFFE6E6E6;  // (230, 230, 230)

  // Option panel items.
  enum Item : std::uint32_t {
    kItemFont = 30001,
    kItemSize = 30002,
    kItemColour = 30003,
    kItemUnderline = 30004,
    kItemItalic = 30005,
    kItemBold = 30006,
    kItemAlign = 30007,
    kItemLineSpacing = 30008,
    kItemAntialias = 30009,
  };
  // Cells of "texttool.png".
  enum Icon : std::size_t {
    kIconUnderline = 0,
    kIconItalic = 1,
    kIconBold = 2,
    kIconAlignLeft = 3,
    kIconLineSpacing = 6,
    kIconAntialiasOn = 7,
    kIconAntialiasOff = 8,
    kIconConfirm = 9,
    kIconCount = 10,
  };
  // What the pointer is over (OnMouseMove).
  enum Hit : std::int32_t { kHitNothing = -1, kHitFrame = 0, kHitMove = 1, kHitConfirm = 2 };

  CTextTool() = default;
  ~CTextTool();

  // CTool.
  void DrawOverlay(CBgraImage& target, std::uint32_t frameTime) override;
  std::int32_t OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnButtonUp(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnDoubleClick(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnMouseMove(std::int32_t leftDown, CanvasPoint previous, CanvasPoint point) override;
  std::int32_t OnKey(std::uint32_t key, std::int32_t isVirtual, std::uint32_t flags) override;
  void OnCaptureLost() override;
  [[nodiscard]] std::int32_t Activate() override;
  void Deactivate() override;
  [[nodiscard]] std::int32_t Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) override;
  void OnMessage(const SpriteMessage& message) override;

  // The panel and the fonts.
  void RefreshPanel();
  // Lists the installed faces (once); false when none could be added.
  [[nodiscard]] bool EnumerateFonts();
  // An entry for the face; its sample is drawn by RenderFontSample.
  void AddFont(std::u16string_view face, std::int32_t charset);
  // Draws the entry's sample the first time it is asked for; false when
  // the face cannot be drawn (the menu then leaves it out).
  [[nodiscard]] bool RenderFontSample(FontEntry& entry);
  void ShowFontMenu();
  void ShowLineSpacingMenu();

  // Layers and the edit.
  // The topmost text layer above the base layer whose image holds the
  // document point, or null.
  CTextLayer* FindTextLayerAt(Point documentPoint) const;
  // A new empty text layer at the document point, above the current layer,
  // in the saved style; it becomes the edited layer. Null when it cannot be
  // made.
  CTextLayer* CreateTextLayer(Point documentPoint);
  // Copies the edited layer's image, position, text and style aside.
  [[nodiscard]] bool SaveLayerState();
  // Puts the saved state back (an existing layer with a saved image only).
  void RevertEdit();
  // Stores the style as the next layers' and records the step.
  void CommitEdit();

  // Text editing (TextToolEditing.cpp).
  void CreateTextFont();
  void RenderText(bool all);
  // Inserts at the caret; a UTF-16 surrogate is refused (false), as is a
  // character beyond the 1024th.
  bool InsertCharacter(char16_t character);
  void DeleteCharacter(std::int32_t index);
  // The clipboard's UTF-8 text at the caret.
  void PasteText();
  // Inserts text at the caret as a paste does: LF and characters above 31
  // only, characters outside the BMP dropped whole, while fewer than 1023
  // glyphs are held.
  void InsertText(std::u16string_view text);
  void SetCaretFromPoint(Point documentPoint);
  void LoadGlyphsFromLayer();
  // Caret keys: 35 End, 36 Home, 37 Left, 38 Up, 39 Right, 40 Down.
  void MoveCaret(std::uint32_t key);
  // Frees the glyphs, the lines and the font.
  void ClearGlyphs();
  // The edited layer's text as the glyphs hold it.
  std::u16string GlyphText() const;

  // State (Part of the tool's record; tests read it).
  CPanelSprite panel;
  CImageArray icons;
  CTextLayer* layer = nullptr;
  TextStyle* style = nullptr;
  std::int32_t newLayer = 0;
  CSMenu lineSpacingMenu;
  CSMenu fontMenu;
  CBFDoc* document = nullptr;
  std::vector<std::unique_ptr<FontEntry>> fonts;
  std::vector<std::unique_ptr<TextGlyph>> glyphs;  // under LockOverlay
  std::unique_ptr<CFont> font;
  std::atomic<std::int32_t> caret{0};  // the overlay reads it
  std::vector<TextLine> lines;         // under LockOverlay
  std::int32_t hitRegion = kHitNothing;
  std::int32_t dragging = 0;
  Point dragStart;
  Point layerStart;
  Rect confirmMark;
  std::int32_t changed = 0;
  std::int32_t untouchedNew = 0;
  // Set once this edit recorded a step: an emptied layer then leaves the
  // history as a step of its own.
  std::int32_t committed = 0;
  CBgraImage16 savedImage;
  Point savedPosition;
  std::array<char16_t, CTextLayer::kTextLength> savedText{};
  TextStyle savedStyle;
  Rect frame;
  std::int32_t modified = 0;  // the text changed since the last render
  // The faces to list; empty: the system's (tests give their own).
  std::vector<std::u16string> faceOverride;

private:
  Point ToDocument(CanvasPoint point) const;
  CanvasPoint ToTool(Point documentPoint) const;
  void Redraw();
  void DeleteEditedLayer();
  void RecordStep(bool wholeDocument);
  void DropTool();
  void ForgetLayer();
  // The style from the saved settings (defaults where none is stored).
  static TextStyle StoredStyle();
  static void StoreStyle(const TextStyle& style);
};
