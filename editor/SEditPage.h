#pragma once
// CSEditPage: the tab page of one open document. It owns the layered
// document, the file's information record, the undo history, the canvas
// (CSEditView) between the adjust panel on the left and the side column of
// panels on the right (tools, layers, masks, history), and runs the
// editor's Ctrl keys and the editing commands that reach it as sprite
// message 11 (commands it does not build itself go to the canvas's range or
// the command registry).
//
// Only the current tab keeps its document in memory: when another tab
// becomes current the page drops its tool, writes the whole document body
// into its own "pagemem" temporary file and empties the document; when it
// becomes current again it reads the file back (a file that cannot be read
// refuses the tab change). Closing asks "onclosesave" whenever the document
// may differ from what was saved ("pluginapplyask" on a page of an
// external host).
//
// UI thread. The page is also the history's window: a replay holds the
// render window's frame lock, so that no frame shows the document half
// changed.

#include <cstdint>
#include <filesystem>

#include "document/BFDoc.h"
#include "document/DocHistory.h"
#include "document/HistoryListener.h"
#include "document/HistoryWindow.h"
#include "editor/SAdjustPage.h"
#include "editor/SEditView.h"
#include "editor/SEmptyPanel.h"
#include "editor/SHistoryPage.h"
#include "editor/SLayerPage.h"
#include "editor/SMaskPage.h"
#include "editor/SToolPage.h"
#include "image/ImageInfo.h"
#include "ui/widgets/STabPage.h"
#include "ui/widgets/SVerticalFrames.h"

class IEditorShell;

class CSEditPage final : public CSTabPage, public IHistoryWindow, public IHistoryListener {
public:
  static constexpr std::int32_t kCanvasId = 1;
  static constexpr std::int32_t kAdjustPanelId = 2;
  static constexpr std::int32_t kSideFrameId = 3;
  static constexpr std::int32_t kAdjustWidth = 180;
  static constexpr std::int32_t kSideWidth = 220;
  static constexpr std::int32_t kPanelTitleField = 32;
  static constexpr std::u16string_view kPageOutPrefix = u"pagemem";

  CSEditPage(std::u16string_view pageTitle, IEditorShell& editorShell);
  ~CSEditPage() override;

  // CSTabPage: after the page is registered, its key shortcuts.
  [[nodiscard]] bool Create(CSprite* parentSprite, ISpriteWindow* window, std::int32_t spriteId,
                            const Rect& spriteRect, std::int32_t spriteLayer) override;
  // CSprite.
  // The adjust panel at the left (180 wide), the canvas, the side column at
  // the right (220 wide).
  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // The canvas, the adjust panel, the side column with its panels and the
  // history file; false when any fails.
  [[nodiscard]] bool OnSpriteCreate() override;
  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;
  // CMessageSprite.
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  bool CanTakeFocus() override { return true; }
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // CSTabPage: swap-out and swap-in.
  void OnPageDeactivate() override;
  [[nodiscard]] bool OnPageActivate() override;
  // IHistoryWindow.
  void ShowProgress() override;
  void HideProgress() override;
  void LockFrames() override;
  void UnlockFrames() override;
  // IHistoryListener: the history panel follows every change.
  void OnHistoryChanged(const CDocHistory& changed) override;
  void OnRecoveryIndexDue(const CDocHistory& changed) override;

  // Asked before the page is closed; may ask the user; false keeps it.
  [[nodiscard]] bool ConfirmClose();
  // Hands the base layer, with the visible layers above blended in, to the
  // host (external-editor mode); a base layer that does not cover the
  // document is flattened with the others on opaque white.
  [[nodiscard]] bool ReturnImageToHost();
  // The side panels follow the document (after message 10003).
  void RefreshPanels();
  // Whether the document lives in the page-out file now.
  bool IsSwappedOut() const { return m_swappedOut; }

  // Commands (SEditPageCommands.cpp). Runs a command of the page's own,
  // else of the command registry; 1 when it was done.
  std::int32_t RunCommand(std::int32_t id, const SpriteMessage& message);
  // 10002, 10003, 10005, 10006: with the base layer current the whole
  // document turns (a full step), else only the current layer (a layer
  // step). A failed operation leaves the document as it was.
  [[nodiscard]] bool RotateOrFlip(std::int32_t id);
  // 11001, 11002, 11011, 11012 on the current layer.
  [[nodiscard]] bool AutoLevels(std::int32_t id);
  // The questions before free rotate and barrel: false when the document has
  // more than one layer, or the user declines to lose the selection and masks.
  [[nodiscard]] bool FreeTransformAllowed();

  // Colour and filter commands (SEditPageFilters.cpp).
  // 12001: automatic white balance of the current layer, one replayable step
  // without a block; false (nothing recorded, the layer as it was) when it
  // fails.
  [[nodiscard]] bool AutoColor();
  // 13004, 13006, 13007, 13019: the fixed parameter set through the progress
  // runner on the current layer; the step is replayable only without a
  // selection. False (nothing recorded) when the run did not finish.
  [[nodiscard]] bool OneClickFilter(std::int32_t id);
  // 13015: inpaints the selection, or says a selection is needed.
  [[nodiscard]] std::int32_t SmartErase();

  // Selection, copy and paste (SEditPageSelection.cpp).
  static constexpr std::int32_t kMaxFeatherRadius = 256;
  static constexpr std::int32_t kMaxShapeRadius = 32;
  // 16001 select all, 16002 invert (nothing without a selection), 16003
  // none; the outgoing selection is kept as "Lastarea".
  void SelectionCommand(std::int32_t id);
  // Ask for a radius and change the selection; false when cancelled, not a
  // positive number, without a selection or when the operation failed.
  [[nodiscard]] bool FeatherSelection();
  [[nodiscard]] bool ExpandSelection();
  [[nodiscard]] bool ShrinkSelection();
  [[nodiscard]] bool SelectionBorder();
  // The current layer, or its selected part with the selection as alpha, to
  // the clipboard.
  [[nodiscard]] bool CopySelection();
  // The clipboard's picture as a layer above the current one ("hisPaste").
  [[nodiscard]] bool PasteAsLayer();
  // Keeps the selection, when there is one, as the saved mask "Lastarea".
  void KeepLastArea();

  IEditorShell& shell;
  CBFDoc document;
  ImageInfo imageInfo;
  CDocHistory history;
  CSEditView canvas;
  CSVerticalFrames sideFrame;
  CSAdjustPage adjustPanel{*this};
  CSHistoryPage historyPanel{*this};
  CSLayerPage layerPanel{*this};
  CSMaskPage maskPanel;
  CSToolPage toolPanel;
  std::int32_t hostPage = 0;
  std::filesystem::path pageOutFile;

private:
  void RegisterShortcuts();
  // Ctrl+D: the selection is kept as "Lastarea" and dropped.
  void DeselectAll();
  [[nodiscard]] bool ChangeSelectionByRadius(std::int32_t id);
  // The tool of a tool command, made current.
  void SelectTool(std::int32_t toolId);

  bool m_swappedOut = false;
  std::uint32_t m_lastKey = 0;
  std::uint32_t m_lastKeyTime = 0;
};
