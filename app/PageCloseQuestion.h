#pragma once
// A page that must be asked before it closes (unsaved changes): the main
// window asks it before it takes the page out of the tab frame.

class IPageCloseQuestion {
public:
  virtual ~IPageCloseQuestion() = default;
  // May ask the user; false keeps the page open.
  [[nodiscard]] virtual bool ConfirmClose() = 0;
};
