#pragma once
// CJpegOptimize: turns an 8-bit picture into a JPEG under the user's
// settings (JpegOptimizeParams, handed over through m_params): an optional
// size limit, chroma detection, softening, DCT-domain smoothing of bright
// and dark blocks with an image-specific luminance table, the encoding, and
// a file-size target met by shrinking or by a search for the highest
// quality that fits. The same run serves a preview (the decoded result and
// the size, flag 4) and a save (flag 2 with a path).
//
// The file written is the encoding last measured, through a temporary file
// that replaces the path only when complete. Trial encodings that do not
// depend on each other run side by side on threads of their own: the two
// tables of the first encoding, and in the quality search a trial together
// with both trials that can follow it. A run tests the algorithm
// thread's cancel switch after its preparation and in every round of the
// searches; a cancelled run returns 1, writes nothing and says so through
// Cancelled().
//
// The block's images are the caller's; the run takes no lock of its own.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <vector>

#include "algorithms/Algorithm.h"
#include "image/BgraImage.h"
#include "image/codecs/CodecImage.h"
#include "output/JpegOptimizeParams.h"

class CJpegOptimize : public CAlgorithm {
public:
  CJpegOptimize();
  ~CJpegOptimize() override = default;

  // 1 on success and on a cancel; 0 on failure (no source or working image,
  // memory, a resize, an encoding in the quality search, the write).
  [[nodiscard]] int Process() override;

  // Results of the last run.
  std::int32_t TableChoice() const { return m_tableChoice; }  // 1 standard, 0 adaptive
  std::uint32_t EncodedSize() const { return m_encodedSize; }
  std::int32_t ChosenQuality() const { return m_chosenQuality; }  // 0: no search ran
  bool Cancelled() const { return m_cancelled; }
  const std::array<std::uint32_t, 64>& AdaptiveTable() const { return m_adaptiveTable; }
  // The run's copy of the block (chroma detection resolved).
  const JpegOptimizeParams& RunBlock() const { return m_block; }

private:
  [[nodiscard]] int ResizeInto(const CBgraImage& source, std::uint32_t width, std::uint32_t height,
                               CBgraImage& target, std::int32_t lo, std::int32_t hi);
  [[nodiscard]] int FirstEncoding(CCodecImage& prepared);
  [[nodiscard]] int ShrinkSearch(CBgraImage& prepared);
  [[nodiscard]] int QualitySearch(CCodecImage& prepared);
  // Encodes the qualities not measured yet, side by side; false when one of
  // them failed.
  [[nodiscard]] bool MeasureQualities(CCodecImage& prepared, const std::array<std::uint32_t, 64>* table,
                                      std::initializer_list<std::int32_t> qualities);
  // The working image becomes the decode of the last encoding, unless it
  // holds it already.
  [[nodiscard]] int DecodeLastEncoding();
  [[nodiscard]] int WriteResult();
  bool CancelRequested();
  std::int32_t PassedQuality(std::int32_t quality) const;

  JpegOptimizeParams m_block;
  std::int32_t m_tableChoice = 0;
  std::uint32_t m_encodedSize = 0;
  std::int32_t m_chosenQuality = 0;
  bool m_cancelled = false;
  std::array<std::uint32_t, 64> m_adaptiveTable{};
  std::vector<std::uint8_t> m_lastEncoding;  // the bytes of the last measured encoding
  bool m_workingDecoded = false;             // the working image is m_lastEncoding decoded
  struct QualityTrial {
    std::uint32_t size = 0;
    std::vector<std::uint8_t> bytes;
  };
  std::map<std::int32_t, QualityTrial> m_trials;  // the quality search's encodings by quality
};
