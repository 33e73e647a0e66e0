// The edit canvas's input: every mouse event and key goes to the current
// tool, pans or zooms the view, goes on to the child under the pointer
// (toolbar, selection panel, scroll bars, the tool's option panel) or
// becomes a command; and the canvas's sprite messages with its command
// table.

#include <algorithm>
#include <mutex>

#include "algorithms/AlgorithmMessageSink.h"
#include "editor/CommandRegistry.h"
#include "editor/EditorShell.h"
#include "editor/SEditPage.h"
#include "editor/SEditView.h"
#include "editor/Tool.h"
#include "editor/ToolSet.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"

namespace {

std::int32_t Truncate(double value) {
  return static_cast<std::int32_t>(std::clamp(value, -2147483648.0, 2147483647.0));
}

constexpr std::uint32_t kShiftKey = 16;
constexpr std::uint32_t kCtrlKey = 17;

// Keys a current tool is offered: control keys (but Shift, Ctrl and Esc),
// End, Home, the arrows, Insert and Delete.
bool IsToolKey(std::uint32_t key) {
  return (key < 32 && key != kShiftKey && key != kCtrlKey && key != VK_ESCAPE) || (key >= 35 && key <= 40) ||
         key == 45 || key == VK_DELETE;
}

}  // namespace

bool CSEditView::SpaceHeld() { return UiQueue().GetKeyState(VK_SPACE) < 0; }

bool CSEditView::ToolTakes(Point point) const {
  return currentTool && (currentTool->capture || !HitTestChild(point));
}

CanvasPoint CSEditView::ToolPoint(Point point) const {
  std::lock_guard guard(lock);
  return {point.x - view.content.left, point.y - view.content.top};
}

// The picture can be dragged at the point: it lies in the image rectangle
// and the view shows only part of the image.
bool CSEditView::PanPossible(Point point) const {
  const CanvasMapping m = Mapping();
  return imageWidth > 0 && m.image.Contains(point) && m.source != Rect{0, 0, imageWidth, imageHeight};
}

void CSEditView::OnMouseMove(Point point, std::uint32_t flags) {
  const CanvasPoint q = ToolPoint(point);
  const bool space = SpaceHeld();
  if (ToolTakes(point) && !space) {
    if (CRenderWindow* window = RenderWindowOf(*this)) window->SetFocusSprite(this, 0);
    if (flags == 0) leftButtonDown = 0;
    if (currentTool->OnMouseMove(leftButtonDown, lastPoint, q)) {
      lastPoint = q;
      return;
    }
  }
  HideSprite(cursor);
  lastPoint = q;
  if (!HitTestChild(point) && (!currentTool || space)) {
    if (panning) {
      const CanvasMapping m = Mapping();
      (void)SetOrigin(panAnchor.x - Truncate((point.x - m.image.left) / m.zoom + 0.5),
                      panAnchor.y - Truncate((point.y - m.image.top) / m.zoom));  // 0 only without an image
    }
    OnSetCursor(point);
  }
  CMessageSprite::OnMouseMove(point, flags);
}

void CSEditView::OnLButtonDown(Point point, std::uint32_t flags) {
  const bool space = SpaceHeld();
  if (ToolTakes(point) && !space) {
    leftButtonDown = 1;
    lastPoint = ToolPoint(point);
    if (currentTool->OnButtonDown(CTool::kLeftButton, lastPoint, flags)) return;
  }
  if (!HitTestChild(point) && (!currentTool || space) && PanPossible(point) && !panning) {
    if (CRenderWindow* window = RenderWindowOf(*this)) window->SetCaptureSprite(this);
    panning = 1;
    panAnchor = ViewToImage(point, true);
  }
  if (!(flags & kMouseFlagCaptured)) CMessageSprite::OnLButtonDown(point, flags);
}

void CSEditView::OnLButtonUp(Point point, std::uint32_t flags) {
  leftButtonDown = 0;
  if (ToolTakes(point) && !SpaceHeld() &&
      currentTool->OnButtonUp(CTool::kLeftButton, ToolPoint(point), flags)) {
    return;
  }
  if (panning) {
    panning = 0;
    if (CRenderWindow* window = RenderWindowOf(*this)) window->ReleaseCaptureSprite(this);
  } else if (!(flags & kMouseFlagCaptured)) {
    CMessageSprite::OnLButtonUp(point, flags);
  }
}

void CSEditView::OnRButtonDown(Point point, std::uint32_t flags) {
  if (ToolTakes(point) && currentTool->OnButtonDown(CTool::kRightButton, ToolPoint(point), flags)) return;
  if (!(flags & kMouseFlagCaptured)) CMessageSprite::OnRButtonDown(point, flags);
}

void CSEditView::OnRButtonUp(Point point, std::uint32_t flags) {
  if (ToolTakes(point) && currentTool->OnButtonUp(CTool::kRightButton, ToolPoint(point), flags)) return;
  if (!(flags & kMouseFlagCaptured)) CMessageSprite::OnRButtonUp(point, flags);
}

void CSEditView::OnLButtonDblClk(Point point, std::uint32_t flags) {
  // Double clicks never reach the canvas's children.
  if (ToolTakes(point)) (void)currentTool->OnDoubleClick(CTool::kLeftButton, ToolPoint(point), flags);
}

void CSEditView::OnMouseWheel(Point point, std::int32_t delta) {
  if (!HitTestChild(point) && Mapping().image.Contains(point) && !panning && delta != 0) {
    ZoomStep(delta > 0, ViewToImage(point, true));
    OnSetCursor(point);
  }
  CMessageSprite::OnMouseWheel(point, delta);
}

bool CSEditView::OnSetCursor(Point point) {
  const bool space = SpaceHeld();
  if (ToolTakes(point) && !space) return true;  // the tool sets its own
  if ((!currentTool || space) && PanPossible(point)) {
    SetWindowCursor(UIResources().handCursor);
    return true;
  }
  return CMessageSprite::OnSetCursor(point);
}

void CSEditView::OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) {
  std::int32_t handled = 0;
  if (currentTool) {
    if (key == kShiftKey || key == kCtrlKey) {
      handled = currentTool->OnModifierKey(key, repeat, flags);
    } else if (key == VK_ESCAPE) {
      page.toolPanel.SetCurrentTool(nullptr);
      return;
    } else if (IsToolKey(key)) {
      handled = currentTool->OnKey(key, 1, flags);
    }
    if (key == VK_SPACE) OnSetCursor({rect.Width() / 2, rect.Height() / 2});
    if (handled) return;
  }
  // Refused only while the window goes away.
  if (key == VK_DELETE) (void)PostSpriteMessage(this, kMenuMsgCommand, kCmdDeleteSelected, 0, this);
}

void CSEditView::OnKeyUp(std::uint32_t key, std::uint32_t flags) {
  if (!currentTool) return;
  if (key == kShiftKey || key == kCtrlKey) (void)currentTool->OnModifierKey(key, 0, flags);
  if (key == VK_SPACE) OnSetCursor({rect.Width() / 2, rect.Height() / 2});
}

void CSEditView::OnChar(std::uint32_t character, std::uint32_t, std::uint32_t flags) {
  if (currentTool && character > 31) (void)currentTool->OnKey(character, 0, flags);
}

void CSEditView::OnCaptureReleased() {
  // A pan ends with the capture, however it was lost.
  panning = 0;
  if (currentTool) currentTool->OnCaptureLost();
}

bool CSEditView::WantsTextInput() { return currentTool && currentTool->toolId == kToolText; }

// Messages -------------------------------------------------------------------

bool CSEditView::OnSpriteMessage(const SpriteMessage& message) {
  CTool* tool = currentTool;
  if (tool && page.shell.Tools().Contains(tool)) {
    const CSprite* panel = tool->optionPanel;
    const bool progress = !message.sender && message.code == WM_ALGORITHM;
    const bool fromPanel =
        panel && message.sender &&
        (message.sender == panel || (IsObjectAlive(message.sender) && message.sender->parent == panel));
    if (progress || fromPanel) {
      tool->OnMessage(message);
      return CMessageSprite::OnSpriteMessage(message);
    }
  }
  switch (message.code) {
    case kScrollMsgLineUp:
    case kScrollMsgLineDown:
    case kScrollMsgPositionChanged: {
      const CanvasMapping m = Mapping();
      const bool vertical = message.sender == &verticalBar;
      Point origin{m.source.left, m.source.top};
      if (message.code == kScrollMsgPositionChanged) {
        if (vertical) {
          origin.y = verticalBar.position;
        } else {
          origin.x = horizontalBar.position;
        }
      } else {
        const std::int32_t step = Truncate(16 / m.zoom) * (message.code == kScrollMsgLineUp ? -1 : 1);
        (vertical ? origin.y : origin.x) += step;
      }
      (void)SetOrigin(origin.x, origin.y);  // 0 only without an image
      break;
    }
    case kPanelMsgItemClicked:
      OnPanelItem(static_cast<std::uint32_t>(message.wparam));
      break;
    case kEditViewMsgDocumentChanged:
      m_rebuildPosted = 0;
      RebuildDisplay();
      page.RefreshPanels();
      break;
    case kMenuMsgCommand:
      RunCommand(message);
      break;
    default:
      break;
  }
  return CMessageSprite::OnSpriteMessage(message);
}

void CSEditView::RunCommand(const SpriteMessage& message) {
  const auto id = static_cast<std::int32_t>(message.wparam);
  if (id == kZoomFitCommand) {
    FitToView();
  } else if (id >= 2 && id <= 10) {
    SetZoom(kZoomPresets[static_cast<std::size_t>(id - 2)]);
  } else if (id == kCmdDropSelection) {
    DropSelection();
  } else if ((id >= kCmdSelectAll && id <= kCmdStoreNamedMask) || id == kCmdCopy) {
    (void)page.RunCommand(id, message);  // what the command did shows in the document
  } else if (currentTool && page.shell.Tools().Contains(currentTool)) {
    currentTool->OnMessage(message);
  }
}
