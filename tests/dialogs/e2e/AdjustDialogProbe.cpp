// The program itself with a test driver, for the end-to-end tests of the
// white-balance dialog and of saving a JPEG through its options: Tessera's
// main window with the adjustment dialogs, the save commands and the
// typed-path file chooser installed, which opens the photo given on its
// command line into an edit page once its start-up stages have run and
// writes to a log what the test needs. The driver keeps the photo's layer
// as opened to compare with.
//
// Keys (none of them is an editor key):
//   F6   sets a selection: columns left of the middle less 20 are out,
//        right of the middle plus 20 in, with a ramp between
//   F7   "layer step S diff D result R named N type T size Z": the
//        history's current step, the largest channel difference of the
//        layer from the layer as opened and from the result kept by F11 (-1
//        without one), and of the current step whether its name is the
//        curves step's (1 or 0), its step type and its block's size
//   F8   first "adjust ID X Y" for each button of the edit page's adjust
//        column (its centre), then (in the dialog) "dialog mode M before X Y W H after X Y W H mix R",
//        the view mode, the displayed rectangles of the two views in window
//        pixels, and whether the layer is the white balance of the picture
//        as it was, mixed through the selection (R exact, or the number of
//        samples that differ), and the centre of the OK button; the after
//        view's back-buffer pixels go to DUMP as raw RGB
//   F3   runs the white-balance command
//   F4   sends the curves command to the page as the adjust menu does;
//        "curves R" with the dialog's result when it ends (also when the
//        menu opened it)
//   F8   (in the curves dialog) "curves mode M plot X Y W H after X Y W H
//        dumped mix R ok X Y preview X Y identity I outside O inside N":
//        the view mode, the curve box's plot in window pixels, the after
//        view as for F8, whether the layer is CCurve of the picture as it
//        was with the box's table, mixed through the selection (R exact, or
//        the samples that differ), the centres of OK and of the view
//        panel's on-the-photo item, whether the box's table is the
//        identity, and with a selection the samples that differ from the
//        picture as it was where it is 0 and from the unmixed curve where
//        it is 255 (-1 without a selection); the after view's back-buffer
//        pixels go to DUMP
//   F11  keeps the layer as it is now as "the result" for F7
//   F12  the canvas's back-buffer pixels go to DUMP: "canvas X Y W H"
//   F5   runs the save command: "save R" with its result when it ends
//   F9   the top dialog: "top chooser jpeg X Y" (the save chooser, the
//        centre of its JPEG tile), "top jpeg quality Q jobs J saving S
//        encoded E adjust X Y ok X Y" (the JPEG options, the centres of the
//        adjust button and OK), "top menu N" (a menu of N items), "top
//        other" or "top none"
// The probe ends by the window's close (its questions answered by the
// test), after 400 s at the latest.
//
//   adjust_dialog_probe LOG DUMP PHOTO

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/tone/Curve.h"
#include "app/BrightforgeDlg.h"
#include "app/Globals.h"
#include "dialogs/AdjustDialogs.h"
#include "dialogs/ClickDlg.h"
#include "dialogs/CurveDlg.h"
#include "dialogs/DialogHost.h"
#include "dialogs/ResultMix.h"
#include "document/BFDoc.h"
#include "editor/CommandRegistry.h"
#include "editor/SEditPage.h"
#include "output/JpgSaveDlg.h"
#include "output/SaveCommands.h"
#include "output/SaveDlg.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"
#include "tests/common/MainWindowProbe.h"
#include "tests/common/ProbeLog.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"
#include "ui/dialogs/FileChooser.h"
#include "ui/dialogs/TypedPathChooser.h"
#include "ui/widgets/SMenu.h"

namespace {

constexpr std::uint32_t kTimeLimitTimer = 7001;
constexpr std::uint32_t kF6 = VK_F1 + 5;
constexpr std::uint32_t kF7 = VK_F1 + 6;
constexpr std::uint32_t kF8 = VK_F1 + 7;
constexpr std::uint32_t kF3 = VK_F1 + 2;
constexpr std::uint32_t kF4 = VK_F1 + 3;
constexpr std::uint32_t kF5 = VK_F1 + 4;
constexpr std::uint32_t kF11 = VK_F1 + 10;
constexpr std::uint32_t kF12 = VK_F1 + 11;
constexpr std::uint32_t kF9 = VK_F1 + 8;
constexpr std::int32_t kRamp = 40;

using probe::Write;

class CProbeWindow final : public CBrightforgeDlg {
public:
  CProbeWindow(MainWindowHooks hooks, const char* dumpPath, std::filesystem::path photoPath)
      : CBrightforgeDlg(std::move(hooks)), m_dumpPath(dumpPath), m_photo(std::move(photoPath)) {}

  void OnTimer(std::uint32_t id) override {
    if (id == kTimeLimitTimer) {
      Write("time limit");
      EndDialog(3);
      return;
    }
    CBrightforgeDlg::OnTimer(id);
    if (id == kStartupTimerId && ++m_ticks == 1) {
      UiQueue().SetTimer(kTimeLimitTimer, 400000);
      OpenDocumentPage(m_photo, false, nullptr, 0);
      CSEditPage* page = CurrentEditPage();
      if (page && page->document.GetCurrentLayer() &&
          m_opened.CopyFrom(page->document.GetCurrentLayer()->m_image))
        Write("opened %d x %d", static_cast<int>(page->document.m_width),
              static_cast<int>(page->document.m_height));
      else
        Write("not opened");
    }
  }

  void OnUiMessage(UiMessage& message) override {
    if (message.message == WM_KEYDOWN) {
      if (message.wparam == kF6) Select();
      if (message.wparam == kF7) WriteLayer();
      if (message.wparam == kF8) {
        WriteAdjustButtons();
        if (curves) {
          WriteCurves();
        } else {
          WriteDialog();
        }
      }
      if (message.wparam == kF9) WriteTop();
      if (message.wparam == kF12) WriteCanvas();
      if (message.wparam == kF11) {
        CSEditPage* page = CurrentEditPage();
        const CBFLayer* layer = page ? page->document.GetCurrentLayer() : nullptr;
        Write("kept %d", layer && m_result.CopyFrom(layer->m_image) ? 1 : 0);
      }
      if (message.wparam == kF4) {
        CSEditPage* page = CurrentEditPage();
        if (!page || !PostSpriteMessage(page, kMenuMsgCommand, kCmdCurves, 0, nullptr)) Write("curves -1");
        return;
      }
      if (message.wparam == kF5) {
        CSEditPage* page = CurrentEditPage();
        Write("save %d", page ? EditCommands().Run(kCmdSave, *page, {}) : -1);
        return;
      }
      if (message.wparam == kF3) {
        CSEditPage* page = CurrentEditPage();
        Write("white balance %d", page ? EditCommands().Run(kCmdWhiteBalance, *page, {}) : -1);
        return;
      }
    }
    CBrightforgeDlg::OnUiMessage(message);
  }

  void OnClose() override {
    Write("close asked");
    CBrightforgeDlg::OnClose();
  }

  CWBDlg* dialog = nullptr;     // while the white-balance dialog runs
  CCurveDlg* curves = nullptr;  // while the curves dialog runs

private:
  void Select() {
    CSEditPage* page = CurrentEditPage();
    if (!page) return;
    CBFDoc& doc = page->document;
    if (!doc.m_selection.Create(doc.m_width, doc.m_height)) return;
    const std::int32_t middle = static_cast<std::int32_t>(doc.m_width / 2);
    for (std::uint32_t y = 0; y < doc.m_height; ++y)
      for (std::uint32_t x = 0; x < doc.m_width; ++x) {
        const std::int32_t t = std::clamp(static_cast<std::int32_t>(x) - (middle - kRamp / 2), 0, kRamp);
        *doc.m_selection.At(x, y) = static_cast<std::uint8_t>(t * 255 / kRamp);
      }
    doc.m_modified = 1;
    Write("selected");
  }

  void WriteLayer() {
    CSEditPage* page = CurrentEditPage();
    const CBFLayer* layer = page ? page->document.GetCurrentLayer() : nullptr;
    if (!layer || layer->m_image.width != m_opened.width || layer->m_image.height != m_opened.height) {
      Write("layer none");
      return;
    }
    int diff = 0;
    for (std::size_t i = 0; i < std::size_t{m_opened.pixelCount} * 4; ++i)
      diff = std::max(diff, std::abs(layer->m_image.pixels[i] - m_opened.pixels[i]));
    int result = -1;
    if (m_result.pixelCount == m_opened.pixelCount) {
      result = 0;
      for (std::size_t i = 0; i < std::size_t{m_result.pixelCount} * 4; ++i)
        result = std::max(result, std::abs(layer->m_image.pixels[i] - m_result.pixels[i]));
    }
    int named = 0, type = -1, size = -1;
    const int current = page->history.CurrentStep();
    if (current >= 0 && current < page->history.StepCount()) {
      const HistoryStep& step = page->history.Steps()[static_cast<std::size_t>(current)];
      named = step.Name() == UIResources().texts.TextOrKey(u"hisCurve") ? 1 : 0;
      type = step.stepType;
      size = static_cast<int>(step.Params().size());
    }
    Write("layer step %d diff %d result %d named %d type %d size %d", current, diff, result, named, type,
          size);
  }

  void WriteAdjustButtons() {
    CSEditPage* page = CurrentEditPage();
    if (!page) return;
    for (const auto& item : page->adjustPanel.panel.items) {
      const Point centre = Centre(page->adjustPanel.panel, item->rect);
      Write("adjust %u %d %d", item->id, centre.x, centre.y);
    }
  }

  void WriteDialog() {
    if (!dialog) {
      Write("dialog none");
      return;
    }
    theAlgorithmThread.WaitWhileBusy();
    const Rect before = dialog->m_beforeView.RectToWindow(dialog->m_beforeView.DisplayedRect());
    const Rect after = dialog->m_afterView.RectToWindow(dialog->m_afterView.DisplayedRect());
    // The reference: the algorithm on the picture as it was, mixed through
    // the selection with the dialog's own formula.
    long mismatches = -1;
    CBgraImage16 expected;
    CWhiteBalance reference;
    reference.m_source = &dialog->m_backup;
    reference.m_target = &expected;
    reference.m_params = &dialog->m_params;
    if (dialog->m_target && dialog->m_params.mode == WhiteBalanceMode::kGivenColour && reference.Process()) {
      if (dialog->m_restriction) MaskResultMix(expected, dialog->m_backup, *dialog->m_restriction, 0, 0);
      mismatches = 0;
      for (std::size_t i = 0; i < std::size_t{expected.pixelCount} * 4; ++i)
        mismatches += expected.pixels[i] != dialog->m_target->pixels[i];
    }
    const bool dumped = Dump(after);
    Point ok{};
    if (const CSprite* button = dialog->FindControl(kIdOk)) {
      const Rect r = button->RectToWindow({0, 0, button->rect.Width(), button->rect.Height()});
      ok = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    Write("dialog mode %d before %d %d %d %d after %d %d %d %d %s mix %ld ok %d %d", dialog->m_viewMode,
          before.left, before.top, before.Width(), before.Height(), after.left, after.top, after.Width(),
          after.Height(), dumped ? "dumped" : "nodump", mismatches, ok.x, ok.y);
  }

  // The back buffer's pixels of the window rectangle into DUMP as raw RGB.
  bool Dump(const Rect& area) {
    CBgraImage shown;
    bool dumped = area.Width() > 0 && CopyBackBufferRect(area, shown);
    if (dumped) {
      std::FILE* file = std::fopen(m_dumpPath, "wb");
      dumped = file != nullptr;
      for (std::uint32_t y = 0; dumped && y < shown.height; ++y)
        for (std::uint32_t x = 0; x < shown.width; ++x) {
          const std::uint8_t* p = shown.At(x, y);
          const std::uint8_t rgb[3] = {p[2], p[1], p[0]};
          dumped = std::fwrite(rgb, 1, 3, file) == 3 && dumped;
        }
      if (file) dumped = std::fclose(file) == 0 && dumped;
    }
    return dumped;
  }

  void WriteCurves() {
    if (!curves) {
      Write("curves none");
      return;
    }
    if (!curves->SettleJobs()) return;
    const Rect plot = curves->m_curveBox.RectToWindow(curves->m_curveBox.m_plotRect);
    const Rect after = curves->m_afterView.RectToWindow(curves->m_afterView.DisplayedRect());
    // The reference: CCurve with the box's table on the picture as it was,
    // mixed through the selection with the dialog's formula.
    long mismatches = -1;
    CBgraImage16 expected;
    CurveParams params;
    params.mode = kCurveAllChannels;
    params.entries = 65536;
    params.tables = curves->m_curveBox.m_lut.data();
    CCurve reference;
    reference.m_source = &curves->m_backup;
    reference.m_target = &expected;
    reference.m_params = &params;
    long outside = -1, inside = -1;
    if (curves->m_target && curves->m_curveBox.m_channel == 0 && reference.Process()) {
      if (const CPlane8* plane = curves->m_restriction;
          plane && plane->width == expected.width && plane->height == expected.height) {
        // Where the selection is empty the layer is the picture as it was,
        // alpha too; where it is full, the curve unmixed.
        outside = inside = 0;
        for (std::uint32_t y = 0; y < expected.height; ++y)
          for (std::uint32_t x = 0; x < expected.width; ++x) {
            const std::uint8_t m = *plane->At(x, y);
            if (m != 0 && m != 255) continue;
            const std::uint16_t* want = m == 0 ? curves->m_backup.At(x, y) : expected.At(x, y);
            const std::uint16_t* got = curves->m_target->At(x, y);
            for (int c = 0; c < 4; ++c) (m == 0 ? outside : inside) += want[c] != got[c];
          }
      }
      if (curves->m_restriction) MaskResultMix(expected, curves->m_backup, *curves->m_restriction, 0, 0);
      mismatches = 0;
      for (std::size_t i = 0; i < std::size_t{expected.pixelCount} * 4; ++i)
        mismatches += expected.pixels[i] != curves->m_target->pixels[i];
    }
    bool identity = true;
    for (std::size_t j = 0; j < curves->m_curveBox.m_lut.size(); ++j)
      identity = identity && curves->m_curveBox.m_lut[j] == j;
    const bool dumped = after.Width() > 0 && curves->m_viewMode != kViewOnCanvas && Dump(after);
    const Point ok = ControlCentre(*curves, kIdOk);
    Point preview{};
    if (const PanelItem* item = curves->m_viewPanel.FindItem(CFilterDialog::kFirstModeItem + kViewOnCanvas))
      preview = Centre(curves->m_viewPanel, item->rect);
    Write(
        "curves mode %d plot %d %d %d %d after %d %d %d %d %s mix %ld ok %d %d preview %d %d identity %d "
        "outside %ld inside %ld",
        curves->m_viewMode, plot.left, plot.top, plot.Width(), plot.Height(), after.left, after.top,
        after.Width(), after.Height(), dumped ? "dumped" : "nodump", mismatches, ok.x, ok.y, preview.x,
        preview.y, identity ? 1 : 0, outside, inside);
  }

  // The canvas's picture area as drawn.
  void WriteCanvas() {
    CSEditPage* page = CurrentEditPage();
    if (!page) {
      Write("canvas none");
      return;
    }
    const Rect area =
        page->canvas.RectToWindow({0, 0, page->canvas.rect.Width(), page->canvas.rect.Height()});
    Write("canvas %d %d %d %d %s", area.left, area.top, area.Width(), area.Height(),
          Dump(area) ? "dumped" : "nodump");
  }

  static Point Centre(const CSprite& sprite, const Rect& rect) {
    const Rect r = sprite.RectToWindow(rect);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  static Point ControlCentre(const CDialogSprite& dialog, std::int32_t id) {
    const CSprite* control = dialog.FindControl(id);
    return control ? Centre(*control, {0, 0, control->rect.Width(), control->rect.Height()}) : Point{};
  }

  void WriteTop() {
    CPopupSprite* top = TopPopup();
    if (auto* chooser = dynamic_cast<CSaveDlg*>(top)) {
      const PanelItem* tile = chooser->panel.FindItem(CSaveDlg::kTileJpeg);
      const Point at = tile ? Centre(chooser->panel, tile->rect) : Point{};
      Write("top chooser jpeg %d %d", at.x, at.y);
    } else if (auto* jpeg = dynamic_cast<CJpgSaveDlg*>(top)) {
      const Point adjust = ControlCentre(*jpeg, CJpgSaveDlg::kAdjustButton);
      const Point ok = ControlCentre(*jpeg, kIdOk);
      Write("top jpeg quality %d jobs %d saving %d encoded %u adjust %d %d ok %d %d", jpeg->settings.quality,
            jpeg->JobsInFlight(), jpeg->Saving() ? 1 : 0, jpeg->encodedSize, adjust.x, adjust.y, ok.x, ok.y);
    } else if (auto* menu = dynamic_cast<CSMenu*>(top)) {
      std::lock_guard guard(menu->lock);
      Write("top menu %d", static_cast<int>(menu->items.size()));
    } else {
      Write(top ? "top other" : "top none");
    }
  }

  const char* m_dumpPath;
  std::filesystem::path m_photo;
  CBgraImage16 m_opened;
  CBgraImage16 m_result;
  int m_ticks = 0;
};

CProbeWindow* g_window = nullptr;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: adjust_dialog_probe LOG DUMP PHOTO\n");
    return 2;
  }
  const char* dumpPath = argv[2];
  const std::filesystem::path photo = argv[3];
  // The dialogs find the edit pages through the live main window, as the
  // program's main() installs them.
  CShellDialogHost host([] { return dynamic_cast<IEditorShell*>(g_RenderWindow.load()); });
  InstallAdjustDialogs(&host);
  // The white-balance command as the program has it, with the dialog
  // visible to the driver while it runs.
  EditCommands().Register(kCmdWhiteBalance, [](CSEditPage&, const SpriteMessage&) -> std::int32_t {
    CWBDlg wb;
    if (!wb.Create(CClickDlg::kTemplateId)) return 0;
    g_window->dialog = &wb;
    const std::int32_t code = wb.RunModal();
    g_window->dialog = nullptr;
    return code == kIdOk ? 1 : 0;
  });
  // The curves command as the program has it, with the dialog visible to
  // the driver while it runs.
  EditCommands().Register(kCmdCurves, [](CSEditPage&, const SpriteMessage&) -> std::int32_t {
    CCurveDlg dialog;
    if (!dialog.Create(CCurveDlg::kTemplateId)) return 0;
    g_window->curves = &dialog;
    const std::int32_t code = dialog.RunModal();
    g_window->curves = nullptr;
    Write("curves %d", code == kIdOk ? 1 : 0);
    return code == kIdOk ? 1 : 0;
  });
  // Saving as the program has it.
  RegisterSaveCommands();
  CTypedPathChooser chooser;
  SetFileChooser(&chooser);
  const int code = RunMainWindowProbe(argv[1], [&](MainWindowHooks hooks) {
    CProbeWindow window(hooks, dumpPath, photo);
    g_window = &window;
    const int result = window.RunModal();
    g_window = nullptr;
    return result;
  });
  UninstallAdjustDialogs();
  SetFileChooser(nullptr);
  return code;
}
