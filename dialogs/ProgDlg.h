#pragma once
// CProgDlg: the small modal dialog of RunWithProgress: a caption and a
// progress bar while an algorithm without parameters to set runs on the
// algorithm thread. The algorithm reads the target image (the current layer
// of the current edit page, or an image the caller gives) and writes an
// image of the dialog's own; only when it succeeded is that result limited
// to the document's selection and exchanged with the target's pixels, under
// the layer's lock. A failure or a cancel leaves the target untouched.
//
// UI thread.

#include <cstdint>
#include <string>
#include <string_view>

#include "dialogs/AlgorithmDialog.h"
#include "image/BgraImage16.h"

class CProgDlg final : public CAlgorithmDialog {
public:
  static constexpr std::int32_t kTemplateId = 160;
  static constexpr std::int32_t kWidth = 300;
  static constexpr std::int32_t kHeight = 70;

  // image null: the current layer's image. (x, y): where image lies on the
  // document when it is not a layer of it.
  CProgDlg(CAlgorithm* algorithm, const void* params, std::u16string_view title, CBgraImage16* image,
           std::int32_t x, std::int32_t y);
  ~CProgDlg() override;

  [[nodiscard]] bool OnInitDialog() override;
  void RunAlgorithm() override;
  void OnAlgorithmDone(std::int32_t command, std::int32_t success) override;

  CAlgorithm* m_algorithm = nullptr;
  const void* m_params = nullptr;
  std::u16string m_title;
  CBgraImage16* m_image = nullptr;
  CBgraImage16* m_target = nullptr;  // what the run changes; null: the algorithm runs without images
  CBgraImage16 m_result;             // the algorithm's output until it is exchanged
  std::int32_t m_imageX = 0;
  std::int32_t m_imageY = 0;

private:
  bool m_startFailed = false;
  // Mixes the result with the selection and exchanges it with the target.
  void CommitResult();
};

// Runs algorithm under the progress dialog (template 160); true only when
// the algorithm succeeded and its result is in the image.
[[nodiscard]] bool RunProgressDialog(CAlgorithm& algorithm, const void* params, std::u16string_view title,
                                     CBgraImage16* image, std::int32_t x, std::int32_t y);
