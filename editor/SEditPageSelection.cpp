// The edit page's selection commands, the radius operations on the selection
// and copying and pasting pictures. Every command that replaces or drops a
// selection first keeps it as the saved mask "Lastarea".

#include <algorithm>
#include <mutex>

#include "algorithms/ChannelOP.h"
#include "algorithms/GaussBlur.h"
#include "editor/CommandRegistry.h"
#include "editor/EditorShell.h"
#include "editor/SEditPage.h"
#include "image/BgraImage.h"
#include "ui/Clipboard.h"
#include "ui/ClipboardPicture.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SStringDialog.h"

namespace {

std::u16string_view Text(std::u16string_view key) { return UIResources().texts.TextOrEmpty(key); }

// The radius prompt's texts and limit.
struct RadiusSpec {
  std::u16string_view titleKey;
  std::u16string_view promptKey;
  std::int32_t limit;
};
constexpr std::int32_t kRadiusDigits = 4;
constexpr RadiusSpec kFeather{u"selfeather", u"radiusinpixel", CSEditPage::kMaxFeatherRadius};
constexpr RadiusSpec kExpand{u"menuSelExpand", u"radiusinpixel32", CSEditPage::kMaxShapeRadius};
constexpr RadiusSpec kShrink{u"menuSelShrink", u"radiusinpixel32", CSEditPage::kMaxShapeRadius};
constexpr RadiusSpec kBorder{u"menuSelEdge", u"radiusinpixel32", CSEditPage::kMaxShapeRadius};

// The radius the user typed, limited; 0 when cancelled, not a number or
// not positive.
std::int32_t AskRadius(const RadiusSpec& spec) {
  std::u16string answer;
  if (!InputString(answer, kRadiusDigits, Text(spec.titleKey), Text(spec.promptKey))) return 0;
  const std::int32_t radius = LeadingInteger(answer);
  return radius <= 0 ? 0 : std::min(radius, spec.limit);
}

}  // namespace

void CSEditPage::KeepLastArea() {
  if (document.m_selection.IsEmpty()) return;
  if (!maskPanel.StoreSelectionAsMask(Text(u"Lastarea"))) UIResources().WriteLog("Lastarea not stored");
}

void CSEditPage::SelectionCommand(std::int32_t id) {
  CPlane8& selection = document.m_selection;
  if (id == kCmdInvertSelection && selection.IsEmpty()) return;
  KeepLastArea();
  {
    std::lock_guard guard(document.m_lock);
    if (id == kCmdSelectAll) {
      CPlane8 all;
      if (!all.Create(document.m_width, document.m_height)) return;
      std::fill_n(all.pixels, all.byteSize, std::uint8_t{255});
      selection = std::move(all);
    } else if (id == kCmdInvertSelection) {
      for (std::uint64_t i = 0; i < selection.byteSize; ++i)
        selection.pixels[i] = static_cast<std::uint8_t>(255 - selection.pixels[i]);
    } else if (id == kCmdDropSelection) {
      selection.Free();
    } else {
      return;
    }
  }
  document.m_modified = 1;
}

bool CSEditPage::ChangeSelectionByRadius(std::int32_t id) {
  const RadiusSpec& spec = id == kCmdFeatherSelection  ? kFeather
                           : id == kCmdExpandSelection ? kExpand
                           : id == kCmdShrinkSelection ? kShrink
                                                       : kBorder;
  const std::int32_t radius = AskRadius(spec);
  // Without a selection there is nothing to change.
  if (radius == 0 || document.m_selection.IsEmpty()) return false;

  ShowProgress();
  CPlane8 changed;
  int done = 0;
  if (id == kCmdFeatherSelection) {
    CGaussBlur blur;
    done = blur.BlurPlane(document.m_selection, changed, radius * 0.5);
  } else {
    CChannelOP op;
    if (id == kCmdExpandSelection) {
      done = op.DilateMask(document.m_selection, changed, radius);
    } else if (id == kCmdShrinkSelection) {
      done = op.ErodeMask(document.m_selection, changed, radius, 1);
    } else {
      done = op.ExtractEdgeBand(document.m_selection, changed, radius);
    }
  }
  HideProgress();
  if (!done) return false;
  // Shrink and border leave no selection when nothing of it is left.
  if ((id == kCmdShrinkSelection || id == kCmdSelectionBorder) && !changed.IsEmpty() &&
      std::none_of(changed.pixels, changed.pixels + changed.byteSize,
                   [](std::uint8_t v) { return v != 0; })) {
    changed.Free();
  }
  KeepLastArea();
  {
    std::lock_guard guard(document.m_lock);
    if (changed.IsEmpty()) {
      document.m_selection.Free();
    } else {
      document.m_selection = std::move(changed);
    }
  }
  document.m_modified = 1;
  return true;
}

bool CSEditPage::FeatherSelection() { return ChangeSelectionByRadius(kCmdFeatherSelection); }
bool CSEditPage::ExpandSelection() { return ChangeSelectionByRadius(kCmdExpandSelection); }
bool CSEditPage::ShrinkSelection() { return ChangeSelectionByRadius(kCmdShrinkSelection); }
bool CSEditPage::SelectionBorder() { return ChangeSelectionByRadius(kCmdSelectionBorder); }

bool CSEditPage::CopySelection() {
  const CBFLayer* layer = document.GetCurrentLayer();
  if (!layer || layer->m_image.IsEmpty()) return false;
  CBgraImage picture;
  if (!layer->m_image.ToBgraImageDithered(picture)) return false;
  const CPlane8& selection = document.m_selection;
  if (selection.IsEmpty()) return CopyImageToClipboard(picture) != 0;

  // The selected pixels that lie on the layer, in document coordinates.
  const std::int64_t lx = layer->m_x;
  const std::int64_t ly = layer->m_y;
  const std::int64_t x0 = std::max<std::int64_t>(0, lx);
  const std::int64_t y0 = std::max<std::int64_t>(0, ly);
  const std::int64_t x1 = std::min<std::int64_t>(selection.width, lx + picture.width);
  const std::int64_t y1 = std::min<std::int64_t>(selection.height, ly + picture.height);
  std::int64_t left = x1, top = y1, right = x0 - 1, bottom = y0 - 1;
  for (std::int64_t y = y0; y < y1; ++y) {
    const std::uint8_t* row = selection.Row(static_cast<std::uint32_t>(y));
    for (std::int64_t x = x0; x < x1; ++x) {
      if (!row[x]) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  CBgraImage part;
  if (right < left || !part.Create(static_cast<std::uint32_t>(right - left + 1),
                                   static_cast<std::uint32_t>(bottom - top + 1))) {
    return CopyImageToClipboard(picture) != 0;
  }
  std::fill_n(part.pixels, part.byteSize, std::uint8_t{0});
  for (std::int64_t y = top; y <= bottom; ++y) {
    const std::uint8_t* mask = selection.Row(static_cast<std::uint32_t>(y));
    const std::uint8_t* from = picture.Row(static_cast<std::uint32_t>(y - ly));
    std::uint8_t* to = part.Row(static_cast<std::uint32_t>(y - top));
    for (std::int64_t x = left; x <= right; ++x) {
      const std::uint32_t v = mask[x];
      if (!v) continue;
      const std::uint8_t* p = from + 4 * (x - lx);
      std::uint8_t* q = to + 4 * (x - left);
      q[0] = p[0];
      q[1] = p[1];
      q[2] = p[2];
      q[3] = static_cast<std::uint8_t>(p[3] * v / 255);
    }
  }
  return CopyImageToClipboard(part) != 0;
}

bool CSEditPage::PasteAsLayer() {
  CBgraImage16 pasted;
  if (!PasteClipboardImage(pasted)) return false;
  shell.DropCurrentTool();
  if (!document.InsertLayer(pasted, Text(u"pastelayer"), document.m_currentLayer + 1)) return false;
  document.m_modified = 1;
  if (!history.AddStep(kStepDocument, -1, Text(u"hisPaste"), StepBlock::None, 0, {}))
    UIResources().WriteLog("Paste step not recorded");
  return true;
}
