#pragma once
// The automation scheme made from a page's history: the resize-type
// question, the make-scheme dialog and the batch dialog live with the batch
// processing above the editor, which installs its maker at start-up. Tests
// install a fake. UI thread.

#include <vector>

#include "document/HistoryStep.h"

class CBFDoc;

class ISchemeMaker {
public:
  // The resize-type question on a resize step's parameter block, which it
  // may change; true only after OK.
  [[nodiscard]] virtual bool AskImageSizeType(HistoryStep& step) = 0;
  // The make-scheme dialog on the chosen steps, then (after OK) the batch
  // dialog with the document's composite as the current photo. False when
  // the user cancelled.
  [[nodiscard]] virtual bool MakeScheme(std::vector<HistoryStep>& steps, CBFDoc& document) = 0;

protected:
  ~ISchemeMaker() = default;
};

// Installs the program's maker (null removes it).
void SetSchemeMaker(ISchemeMaker* maker);
// The installed maker, or null (the command then writes "Automation scheme
// not built" to the debug log).
ISchemeMaker* SchemeMaker();
