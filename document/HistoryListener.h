#pragma once
// Who hears about changes of an undo history: the page's history panel
// (refresh after every change of the list or the current step) and the main
// window, which rewrites the crash-recovery index once a page's history holds
// two steps or more.

class CDocHistory;

class IHistoryListener {
public:
  // The list or the current step changed.
  virtual void OnHistoryChanged(const CDocHistory& history) = 0;
  // A step was recorded and the history now holds two steps or more: the
  // recovery index (each page's history file and its step records) is due.
  virtual void OnRecoveryIndexDue(const CDocHistory& history) = 0;

protected:
  ~IHistoryListener() = default;
};
