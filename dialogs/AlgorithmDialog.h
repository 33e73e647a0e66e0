#pragma once
// CAlgorithmDialog: a modal dialog that runs an image algorithm on the
// program's algorithm thread (theAlgorithmThread) while it is open, and the
// base of the progress dialog and of the parameter dialogs (CFilterDialog).
//
// Restart protocol: RestartAlgorithm is the one entry for changed settings.
// While a job of this dialog is running or its completion has not been
// handled yet, it only marks a restart as pending and asks the running job
// to stop; the completion then starts one new run, which reads the controls
// as they are at that moment (any number of changes collapse into one
// restart). A job of someone else that still occupies the thread is waited
// for first, so this dialog's completion always comes back to it.
//
// Progress and completion arrive as sprite message 11101 (wparam below 1000
// the percent, else the command + 1000 with lparam the result). The dialog
// paints its progress bar into its own surface.
//
// UI thread, except Draw and DrawProgress (render thread, under the lock).

#include <atomic>
#include <cstdint>

#include "platform/Rect.h"
#include "ui/DialogSprite.h"

class CAlgorithm;
class CBFDoc;
class CDocHistory;
struct CBgraImage16;

class CAlgorithmDialog : public CDialogSprite {
public:
  // The colour of the separator lines and the luma of the bar's greys.
  static constexpr std::uint32_t kSeparatorColor = 0xFF505050;

  CAlgorithmDialog();
  ~CAlgorithmDialog() override;

  // Fills the parameter block from the controls and starts the job
  // (StartJob); the default does nothing.
  virtual void RunAlgorithm() {}
  // Completion of a job: the "algorithmerror" message when it failed (not
  // for a job this dialog itself stopped for a restart), the pending
  // restart, a redraw.
  virtual void OnAlgorithmDone(std::int32_t command, std::int32_t success);
  // Paints the progress bar into the surface (render thread, lock held).
  virtual void DrawProgress();
  // The document of the current edit page, or null.
  virtual CBFDoc* GetSourceDocument();

  bool Draw(std::uint32_t now) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // Stops the job, waits for the thread, ends with 2.
  void OnCancel() override;
  // Waits for the thread, then UpdateData(true) and the end code 1; false
  // (dialog open) when a value is refused.
  [[nodiscard]] bool OnOK() override;

  // The source document and the undo store of the current edit page.
  [[nodiscard]] bool InitSource();
  void RestartAlgorithm();
  // Lays the dialog over the document tab frame, inset by margin at the
  // left and right and margin / 2 at the top and bottom; the close button
  // goes to the top right.
  void FitToWorkArea(std::int32_t margin);
  // Hands a job to the algorithm thread with this dialog as its listener;
  // false when the thread refused it.
  [[nodiscard]] bool StartJob(CAlgorithm& algorithm, CBgraImage16* source, CBgraImage16* target,
                              const void* params, std::int32_t command);
  // Runs the UI queue until every job of this dialog has completed and its
  // completion (with a pending restart and that run's completion) has been
  // handled. False when the queue shut down meanwhile.
  [[nodiscard]] bool SettleJobs();
  // Moves and resizes the dialog; the close button follows.
  void MoveDialog(const Rect& place);

  // Jobs started and not yet completed.
  std::int32_t JobsInFlight() const { return m_jobsInFlight; }

  std::int32_t m_restartPending = 0;
  std::atomic<std::int32_t> m_progress{0};  // read by the render thread
  std::atomic<std::int32_t> m_progressDirty{0};
  CBFDoc* m_sourceDoc = nullptr;
  CDocHistory* m_history = nullptr;
  Rect m_progressRect;  // dialog coordinates; empty: no bar (under lock)
  std::int32_t m_baseWidth = 0;

protected:
  // Set while SettleJobs runs: OK, Cancel and Apply wait for it to end.
  std::int32_t m_settling = 0;
  // A completion that arrives while a restart is pending belongs to a job
  // this dialog stopped: its image is incomplete.
  std::int32_t m_completionSuperseded = 0;

private:
  std::int32_t m_jobsInFlight = 0;
};
