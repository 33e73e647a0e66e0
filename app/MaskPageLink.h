#pragma once
// What the main window needs of a mask page (a tab page of kind 0x400):
// the layer picture it works on, whether the user made a matte, the result,
// and dropping its tool before it closes. The main window fills in the
// fields when it opens the page; the page calls onDone with itself once
// the user finished it.

#include <functional>
#include <string>

struct CBgraImage16;
class CSTabPage;

class IMaskPageLink {
public:
  virtual ~IMaskPageLink() = default;
  // Takes a copy of the layer's image and starts the page's mask history;
  // false when it cannot.
  [[nodiscard]] virtual bool SetImage(const CBgraImage16& layerImage) = 0;
  // Whether the user made or changed the matte.
  virtual bool IsMaskModified() = 0;
  // The layer's image with the matte as its alpha.
  virtual const CBgraImage16& Result() = 0;
  // Leaves the page without a current tool.
  virtual void DropTool() = 0;

  std::function<bool(IMaskPageLink& page)> onDone;
  CSTabPage* callingPage = nullptr;  // the edit page it was opened from
  std::u16string path;               // the photo's path; empty when none
};
