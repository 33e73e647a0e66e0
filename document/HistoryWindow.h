#pragma once
// What the undo history needs from the window that shows its document,
// without knowing that window: the progress indicator around a payload
// write, and the frame lock that keeps the render thread from composing a
// frame while a replay changes the layers. The render window implements it.

class IHistoryWindow {
public:
  // Shows and hides the busy indicator, centred in the window.
  virtual void ShowProgress() = 0;
  virtual void HideProgress() = 0;
  // Take and release the lock the render thread holds for every frame. The
  // history takes the document's lock and layer locks inside it.
  virtual void LockFrames() = 0;
  virtual void UnlockFrames() = 0;

protected:
  ~IHistoryWindow() = default;
};
