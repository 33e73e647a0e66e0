#pragma once
// What the document tab frame asks of the main window: opening dropped
// files, closing a page from its tab and rewriting the recovery index.

#include <cstdint>
#include <filesystem>

class CBFDoc;
class CSTabPage;

class IDocumentTabShell {
public:
  virtual ~IDocumentTabShell() = default;
  // Opens a file (document null) or a copy of a prepared document in an edit
  // page; unless openAnew, a page that shows the path already is brought
  // forward. mode 0 plain, 1 and 2 the two cut-outs. Failures are shown to
  // the user.
  virtual void OpenDocumentPage(const std::filesystem::path& path, bool openAnew, const CBFDoc* document,
                                std::int32_t mode) = 0;
  // False when the page refused to close (its save question cancelled).
  [[nodiscard]] virtual bool ClosePage(CSTabPage* page) = 0;
  virtual void WriteRecoveryIndex() = 0;
};
