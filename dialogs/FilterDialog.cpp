#include "dialogs/FilterDialog.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "dialogs/DialogHost.h"
#include "dialogs/FilterBlendDlg.h"
#include "dialogs/ResultMix.h"
#include "document/BFDoc.h"
#include "document/DocHistory.h"
#include "image/PixelBlock.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/SButton.h"

namespace {

constexpr std::int32_t kViewLayer = 1;
constexpr std::array<std::int32_t, 5> kModeIcons = {0, 1, 3, 2, 4};
constexpr std::array<std::u16string_view, 5> kModeTips = {u"viewBefore", u"viewAfter", u"viewCompH",
                                                          u"viewCompV", u"viewPreview"};

std::u16string Text(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

// Removes a file of ours; never anything that is not a plain file.
void RemoveUndoFile(const std::filesystem::path& path) {
  std::error_code error;
  if (!path.empty() && std::filesystem::is_regular_file(path, error)) std::filesystem::remove(path, error);
}

}  // namespace

// The undo file ------------------------------------------------------------------

bool WriteUndoImage(const std::filesystem::path& path, const CBgraImage16& image) {
  if (!image.pixels) return false;
  CFile file;
  if (!file.Open(path, CFile::OpenMode::Create)) return false;
  std::uint8_t head[8];
  StoreLE32(head, image.width);
  StoreLE32(head + 4, image.height);
  if (!file.Write(head, sizeof head)) return false;
  std::vector<std::uint8_t> row(std::size_t{image.width} * 8);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::uint16_t* p = image.Row(y);
    for (std::size_t i = 0; i < std::size_t{image.width} * 4; ++i) StoreLE16(&row[i * 2], p[i]);
    if (!file.Write(row.data(), row.size())) return false;
  }
  return file.Flush();
}

bool ReadUndoImage(CFile& file, CBgraImage16& image) {
  std::uint8_t head[8];
  if (!file.ReadExact(head, sizeof head)) return false;
  const std::uint64_t w = LoadLE32(head), h = LoadLE32(head + 4);
  if (w == 0 || h == 0 || w > kMaxImageSide || h > kMaxImageSide || w * h > kMaxImagePixels) return false;
  const std::int64_t length = file.GetLength();
  if (length < 0 || static_cast<std::uint64_t>(length) != 8 + w * h * 8) return false;
  CBgraImage16 read;
  if (!read.Create(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h))) return false;
  std::vector<std::uint8_t> row(w * 8);
  for (std::uint32_t y = 0; y < h; ++y) {
    if (!file.ReadExact(row.data(), row.size())) return false;
    std::uint16_t* p = read.Row(y);
    for (std::size_t i = 0; i < w * 4; ++i) p[i] = LoadLE16(&row[i * 2]);
  }
  image.Swap(read);
  return true;
}

bool ReadUndoImage(const std::filesystem::path& path, CBgraImage16& image) {
  CFile file;
  return file.Open(path, CFile::OpenMode::Read) && ReadUndoImage(file, image);
}

bool LoadSavedMaskPlane(const CBFDoc& doc, const MaskRecord& mask, CPlane8& plane) {
  if (!mask.plane.pixels || doc.m_width == 0 || doc.m_height == 0) return false;
  CPlane8 loaded;
  if (!loaded.Create(doc.m_width, doc.m_height)) return false;
  std::fill(loaded.pixels, loaded.pixels + std::size_t{doc.m_width} * doc.m_height, std::uint8_t{0});
  const std::int64_t x0 = mask.x, y0 = mask.y;
  const std::int64_t xFrom = std::max<std::int64_t>(0, -x0);
  const std::int64_t xTo = std::min<std::int64_t>(mask.plane.width, std::int64_t{doc.m_width} - x0);
  for (std::int64_t y = std::max<std::int64_t>(0, -y0);
       y < std::min<std::int64_t>(mask.plane.height, std::int64_t{doc.m_height} - y0); ++y) {
    if (xTo <= xFrom) break;
    const std::uint8_t* from =
        mask.plane.At(static_cast<std::uint32_t>(xFrom), static_cast<std::uint32_t>(y));
    std::copy(from, from + (xTo - xFrom),
              loaded.At(static_cast<std::uint32_t>(x0 + xFrom), static_cast<std::uint32_t>(y0 + y)));
  }
  plane.Swap(loaded);
  return true;
}

// The dialog ---------------------------------------------------------------------

CFilterDialog::CFilterDialog() = default;

CFilterDialog::~CFilterDialog() {
  m_maskMenu.RemoveFromWindow();
  m_maskPlane.Free();
  m_work.Free();
  m_backup.Free();
}

void CFilterDialog::Destroy(int final) {
  m_maskMenu.RemoveFromWindow();
  CAlgorithmDialog::Destroy(final);
}

bool CFilterDialog::SetSource(CBFDoc* doc) {
  m_target = nullptr;
  m_layer = nullptr;
  m_restriction = nullptr;
  if (!doc) return true;
  m_sourceDoc = doc;
  if (CBFLayer* layer = doc->GetCurrentLayer()) {
    {
      std::lock_guard guard(layer->m_lock);
      if (!m_backup.CopyFrom(layer->m_image)) return false;
    }
    if (!m_work.CopyFrom(m_backup)) return false;
    m_layer = layer;
    m_target = &layer->m_image;
  }
  if (doc->m_selection.pixels) m_restriction = &doc->m_selection;
  return true;
}

void CFilterDialog::PlaceButtons() {
  const std::int32_t h = rect.Height();
  if (CSprite* ok = FindControl(kIdOk)) ok->SetSpriteRect(5, h - 40, 60, 25);
  if (CSprite* cancel = FindControl(kIdCancel)) cancel->SetSpriteRect(70, h - 40, 90, 25);
  if (auto* apply = dynamic_cast<CSButton*>(FindControl(kApplyId))) {
    const auto length = static_cast<std::int32_t>(apply->Caption().size());
    apply->SetSpriteRect(165, h - 40, length <= 5 ? 70 : 10 * length, 25);
  }
}

bool CFilterDialog::OnInitDialog() {
  if (!InitSource()) return false;
  m_baseWidth = rect.Width();
  if (!SetSource(GetSourceDocument())) return false;
  FitToWorkArea(0);
  PlaceButtons();
  const std::int32_t w0 = m_baseWidth, w = rect.Width(), h = rect.Height();
  {
    std::lock_guard guard(lock);
    m_progressRect = {w0 + 5, 250, w0 + 20, h - 50};
  }
  m_viewArea = {w0 + 35, 35, w - 5, h - 5};

  // The panel's items sit on the grey of the dialog frame.
  if (!m_viewPanel.Create(this, nullptr, kPanelId, {w0 + 10, 50, w0 + 30, 220}, kViewLayer)) return false;
  AppendChild(&m_viewPanel);
  m_panelMade = true;
  if (!frameImage.IsEmpty() && frameImage.width > 5 && frameImage.height > 5) {
    const std::uint8_t* p = frameImage.At(5, 5);
    m_viewPanel.backgroundGrey = (6 * p[1] + 3 * p[2] + p[0]) / 10;
  }
  if (!m_viewIcons.LoadStrip(UIResources().theme.basicFolder / "viewmode.png", 16) || m_viewIcons.Count() < 8)
    return false;
  const auto icon = [this](std::int32_t index) -> const CBgraImage& {
    return *m_viewIcons.At(static_cast<std::size_t>(index));
  };
  const bool editPage = DialogHost() && DialogHost()->CurrentDocument();
  for (std::int32_t mode = 0; mode < 5; ++mode) {
    if (mode == kViewOnCanvas && !editPage) continue;
    if (!m_viewPanel.AddIconItem(static_cast<std::uint32_t>(kFirstModeItem + mode),
                                 {0, mode * 20, 20, mode * 20 + 20},
                                 icon(kModeIcons[static_cast<std::size_t>(mode)]),
                                 Text(kModeTips[static_cast<std::size_t>(mode)])))
      return false;
  }
  if (editPage && !m_viewPanel.AddIconItem(kBlendItem, {0, 120, 20, 140}, icon(5), Text(u"viewBlendMode")))
    return false;
  if (m_sourceDoc && (m_sourceDoc->m_selection.pixels || !m_sourceDoc->m_masks.empty()) &&
      !m_viewPanel.AddIconItem(kMaskItem, {0, 140, 20, 160}, icon(m_restriction ? kMaskIconOn : kMaskIconOff),
                               Text(u"viewMask")))
    return false;

  for (CSPicView* view : {&m_beforeView, &m_afterView}) {
    const std::int32_t id = view == &m_beforeView ? kBeforeViewId : kAfterViewId;
    if (!view->Create(this, nullptr, id, m_viewArea, kViewLayer)) return false;
    AppendChild(view);
    ShowControl(view, false);
  }
  m_beforeView.SetImage16(&m_backup, Text(u"viewBefore"));
  m_afterView.SetImage16(m_target, Text(u"viewAfter"));

  CRenderWindow* window = RenderWindowOf(*this);
  if (!window || !m_maskMenu.Create(nullptr, window, kMaskMenuId, {0, 0, 100, 100}, kPopupMenuLayer))
    return false;

  SetViewMode(kViewAfter);
  if (IDialogHost* host = DialogHost(); !host || !host->MakeTempFile(m_undoFile, kUndoPrefix))
    m_undoFile.clear();
  EnableApply(false);
  return true;
}

void CFilterDialog::EnableApply(bool enabled) {
  if (auto* apply = dynamic_cast<CMessageSprite*>(FindControl(kApplyId))) {
    apply->acceptsInput = enabled ? 1 : 0;
    apply->dirty = 1;
  }
}

void CFilterDialog::ShowErrorApply() {
  static_cast<void>(ShowMessageBox(Text(u"errorApply"), MessageBoxIcon::Error, MessageBoxButtons::Ok));
}

bool CFilterDialog::StartFilterJob(CAlgorithm& algorithm, const void* params) {
  if (!m_target) return false;
  return StartJob(algorithm, &m_backup, &m_work, params, 0);
}

void CFilterDialog::SetViewMode(std::int32_t mode) {
  if (mode < 0 || mode > kViewOnCanvas || mode == m_viewMode) return;
  m_viewPanel.UncheckAllItems();
  const std::int32_t previous = m_viewMode;
  m_viewMode = mode;
  m_viewPanel.SetItemChecked(static_cast<std::uint32_t>(kFirstModeItem + mode), true);
  if (previous == kViewOnCanvas)
    MoveDialog({rect.left, rect.top, rect.left + m_baseWidth + m_viewArea.Width() + 40, rect.bottom});

  const Rect a = m_viewArea;
  const std::int32_t halfW = a.Width() / 2, halfH = a.Height() / 2;
  const auto place = [](CSPicView& view, const Rect& r) {
    view.SetSpriteRect(r.left, r.top, r.Width(), r.Height());
    ShowControl(&view, true);
  };
  switch (mode) {
    case kViewBefore:
      ShowControl(&m_afterView, false);
      place(m_beforeView, a);
      break;
    case kViewAfter:
      ShowControl(&m_beforeView, false);
      place(m_afterView, a);
      break;
    case kViewSideBySide:
      place(m_beforeView, {a.left, a.top, a.left + halfW, a.bottom});
      place(m_afterView, {a.left + halfW, a.top, a.left + 2 * halfW, a.bottom});
      break;
    case kViewTopAndBottom:
      place(m_beforeView, {a.left, a.top, a.right, a.top + halfH});
      place(m_afterView, {a.left, a.top + halfH, a.right, a.top + 2 * halfH});
      break;
    default:
      ShowControl(&m_beforeView, false);
      ShowControl(&m_afterView, false);
      MoveDialog({rect.left, rect.top, rect.left + m_baseWidth + 35, rect.bottom});
      if (m_sourceDoc) m_sourceDoc->m_modified = 1;
      break;
  }
  dirty = 1;
}

void CFilterDialog::BlendResult() { BlendResultMix(m_work, m_backup, m_blendMode, m_opacity); }

void CFilterDialog::ApplyMask(const CPlane8* plane) {
  if (!plane || !m_sourceDoc || plane->width != m_sourceDoc->m_width ||
      plane->height != m_sourceDoc->m_height)
    return;
  const std::int32_t x0 = m_layer ? m_layer->m_x : 0, y0 = m_layer ? m_layer->m_y : 0;
  MaskResultMix(m_work, m_backup, *plane, x0, y0);
}

void CFilterDialog::TakeResult() {
  if (!m_target || !m_work.pixels) return;
  if (m_work.width == m_backup.width && m_work.height == m_backup.height) {
    if (m_blendMode != 0 || m_opacity < 100) BlendResult();
    if (m_restriction) ApplyMask(m_restriction);
  }
  // The after view and the canvas read the layer image: both locks, the
  // view's first, while its pixels change hands.
  {
    std::lock_guard viewGuard(m_afterView.lock);
    std::lock_guard layerGuard(m_layer->m_lock);
    m_target->Swap(m_work);
  }
  // The next run writes over the previous result; it starts as the source.
  if (m_work.width != m_backup.width || m_work.height != m_backup.height)
    static_cast<void>(m_work.CopyFrom(m_backup));
  m_afterView.dirty = 1;
  if (m_sourceDoc && m_viewMode == kViewOnCanvas) m_sourceDoc->m_modified = 1;
  EnableApply(true);
}

bool CFilterDialog::PutIntoLayer(const CBgraImage16& image) {
  if (!m_target) return true;
  CBgraImage16 copy;
  if (!copy.CopyFrom(image)) return false;
  {
    std::lock_guard viewGuard(m_afterView.lock);
    std::lock_guard layerGuard(m_layer->m_lock);
    m_target->Swap(copy);
  }
  m_afterView.dirty = 1;
  return true;
}

bool CFilterDialog::OnSpriteMessage(const SpriteMessage& message) {
  switch (message.code) {
    case kSpriteMsgButtonClicked:
      if (message.wparam == kApplyId) {
        Apply();
        return true;
      }
      break;
    case kMenuMsgCommand:
      if (message.wparam == kMaskWholeImage || message.wparam == kMaskSelection ||
          (message.wparam >= kFirstSavedMask && message.wparam < kFirstSavedMask + 1000)) {
        ChooseMask(static_cast<std::int32_t>(message.wparam));
        return true;
      }
      break;
    case kPanelMsgItemClicked:
      if (message.wparam == kBlendItem) {
        ShowBlendDialog();
      } else if (message.wparam == kMaskItem) {
        ShowMaskMenu();
      } else if (message.wparam >= kFirstModeItem && message.wparam <= kFirstModeItem + kViewOnCanvas) {
        SetViewMode(static_cast<std::int32_t>(message.wparam) - kFirstModeItem);
      }
      return true;
    case kPicViewMsg:
      if (message.wparam == kPicViewChanged) {
        if (message.sender == &m_beforeView) m_afterView.CopyViewFrom(m_beforeView);
        if (message.sender == &m_afterView) m_beforeView.CopyViewFrom(m_afterView);
      }
      break;
    case WM_ALGORITHM:
      // The mixes run before the base starts a pending restart; a result
      // cut short for that restart is not taken.
      if (message.wparam == kAlgorithmCompletionBase && message.lparam != 0 && !m_restartPending)
        TakeResult();
      break;
    default:
      break;
  }
  return CAlgorithmDialog::OnSpriteMessage(message);
}

void CFilterDialog::ChooseMask(std::int32_t commandId) {
  if (!m_sourceDoc) return;
  if (commandId == kMaskWholeImage || commandId == kMaskSelection) {
    m_restriction =
        commandId == kMaskSelection && m_sourceDoc->m_selection.pixels ? &m_sourceDoc->m_selection : nullptr;
    m_maskPlane.Free();
    m_maskIndex = -1;
  } else {
    const std::int32_t n = commandId - kFirstSavedMask;
    if (commandId > kLastSavedMask) return;  // listed, but beyond the choices
    if (n >= 0 && static_cast<std::size_t>(n) < m_sourceDoc->m_masks.size() &&
        LoadSavedMaskPlane(*m_sourceDoc, *m_sourceDoc->m_masks[static_cast<std::size_t>(n)], m_maskPlane)) {
      m_restriction = &m_maskPlane;
      m_maskIndex = n;
    }
  }
  m_viewPanel.SetItemImage(kMaskItem, m_viewIcons.At(m_restriction ? kMaskIconOn : kMaskIconOff));
  RestartAlgorithm();
}

void CFilterDialog::BuildMaskMenu(CSMenu& menu, const void* current, const CBFDoc& doc) {
  menu.Destroy(0);
  static_cast<void>(menu.AddItem(u"A", kMaskWholeImage, Text(u"menuMaskSelAll"), nullptr));
  menu.CheckItem(kMaskWholeImage, current == nullptr);
  if (doc.m_selection.pixels) {
    static_cast<void>(menu.AddItem(u"C", kMaskSelection, Text(u"menuMaskSelCur"), nullptr));
    menu.CheckItem(kMaskSelection, current == &doc.m_selection);
  }
  if (!doc.m_masks.empty()) {
    static_cast<void>(menu.AddItem(u"", 0, u"", nullptr));
    for (std::size_t i = 0; i < doc.m_masks.size(); ++i) {
      const std::int32_t id = kFirstSavedMask + static_cast<std::int32_t>(i);
      static_cast<void>(menu.AddItem(u"", id, doc.m_masks[i]->Name(), nullptr));
      menu.CheckItem(id, current == doc.m_masks[i].get());
    }
  }
}

void CFilterDialog::ShowMaskMenu() {
  if (!m_sourceDoc) return;
  const void* current = m_restriction;
  if (m_maskIndex >= 0 && static_cast<std::size_t>(m_maskIndex) < m_sourceDoc->m_masks.size())
    current = m_sourceDoc->m_masks[static_cast<std::size_t>(m_maskIndex)].get();
  BuildMaskMenu(m_maskMenu, current, *m_sourceDoc);
  if (CRenderWindow* window = RenderWindowOf(*this))
    window->ShowPopupMenu(&m_maskMenu, m_viewPanel.PointToWindow({20, 140}), true, true, this);
}

void CFilterDialog::ShowBlendDialog() {
  CFilterBlendDlg blend;
  if (!blend.Create(CFilterBlendDlg::kTemplateId)) return;
  blend.m_blendMode = m_blendMode;
  blend.m_opacity = m_opacity;
  if (blend.RunModal() != kIdOk) return;
  const auto opacity = static_cast<std::uint16_t>(std::clamp(blend.m_opacity, 0, 100));
  if (blend.m_blendMode == m_blendMode && opacity == m_opacity) return;
  m_blendMode = blend.m_blendMode;
  m_opacity = opacity;
  RestartAlgorithm();
}

void CFilterDialog::Apply() {
  if (m_settling) return;
  if (!SettleJobs()) return;
  if (!m_target) return;
  if (!m_applied) {
    // The layer as it was before the dialog; without it Cancel could not
    // bring it back, so nothing is applied when it cannot be written whole.
    if (m_undoFile.empty() || !WriteUndoImage(m_undoFile, m_backup)) {
      RemoveUndoFile(m_undoFile);
      ShowErrorApply();
      return;
    }
    m_applied = 1;
  }
  CBgraImage16 start;
  {
    std::lock_guard guard(m_layer->m_lock);
    if (!start.CopyFrom(*m_target)) {
      ShowErrorApply();
      return;
    }
  }
  m_backup.Swap(start);
  m_beforeView.dirty = 1;
  OnApplied();
  EnableApply(false);
}

bool CFilterDialog::OnOK() {
  if (m_settling) return false;
  if (!SettleJobs()) return false;
  if (m_sourceDoc) m_sourceDoc->m_modified = 1;
  if (!UpdateData(true)) return false;
  // m_applied stays: the step recorded next is not replayable after an Apply.
  if (m_applied) RemoveUndoFile(m_undoFile);
  EndModal(kIdOk);
  return true;
}

void CFilterDialog::OnCancel() {
  if (m_settling) return;
  theAlgorithmThread.Cancel();
  theAlgorithmThread.WaitWhileBusy();
  m_restartPending = 0;
  if (m_applied) {
    CFile file;
    if (!file.Open(m_undoFile, CFile::OpenMode::Read)) {
      // The state of the last Apply; the dialog stays open and the file is
      // kept, so a second Cancel can try again.
      if (!PutIntoLayer(m_backup)) ShowErrorApply();
      return;
    }
    CBgraImage16 original;
    const bool read = ReadUndoImage(file, original);
    file.Close();
    if (!PutIntoLayer(read ? original : m_backup)) {
      ShowErrorApply();
      return;
    }
    // A damaged file is kept for inspection; a good one has served.
    if (read) RemoveUndoFile(m_undoFile);
    m_applied = 0;
  } else if (!PutIntoLayer(m_backup)) {
    ShowErrorApply();
    return;
  }
  if (m_sourceDoc) m_sourceDoc->m_modified = 1;
  CAlgorithmDialog::OnCancel();
}

bool CFilterDialog::RecordFilterHistory(std::u16string_view key, std::uint16_t stepType,
                                        std::span<const std::uint8_t> block) {
  if (!m_history) return true;
  const bool replayable = !m_restriction && !m_applied && m_blendMode == 0 && m_opacity == 100;
  return m_history->AddStep(kStepLayer, -1, Text(key), replayable ? StepBlock::Replayable : StepBlock::None,
                            stepType, block);
}

bool CFilterDialog::Draw(std::uint32_t now) {
  const bool drawn = CAlgorithmDialog::Draw(now);
  if (drawn && !surface.IsEmpty()) {
    const std::int32_t w0 = m_baseWidth;
    const std::int32_t sw = static_cast<std::int32_t>(surface.width),
                       sh = static_cast<std::int32_t>(surface.height);
    const auto put = [&](std::int32_t x, std::int32_t y) {
      if (x < 0 || y < 0 || x >= sw || y >= sh) return;
      std::uint8_t* p = surface.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      p[0] = p[1] = p[2] = 0x50;
      p[3] = 0xFF;
    };
    for (std::int32_t y = 40; y <= 220; ++y) put(w0, y);
    for (std::int32_t i = 0; i < 30; ++i) put(w0 + i, 220 + i);
    for (std::int32_t y = 250; y <= sh - 10; ++y) put(w0 + 30, y);
  }
  return drawn;
}
