#pragma once
// CSEmptyPanel: a side panel of the edit page that shows nothing yet (the
// adjust, history, layer and mask panels until they are built): a titled
// frame in the page's columns, with no content. Asked to refresh, it writes
// "<title> panel not built" to the debug log once.

#include <string>
#include <string_view>

#include "ui/widgets/STabPage.h"

class CSEmptyPanel final : public CSTabPage {
public:
  CSEmptyPanel(std::string_view logName) : CSTabPage(u""), m_logName(logName) {}

  // The edit page asks after every change of the document.
  void Refresh();

private:
  std::string_view m_logName;
  bool m_logged = false;
};
