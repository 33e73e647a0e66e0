#pragma once
// A history wired to recording stand-ins for the window and the listener,
// writing its file into the test's scratch folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "document/BFDoc.h"
#include "document/DocHistory.h"
#include "document/HistoryListener.h"
#include "document/HistoryWindow.h"
#include "image/BgraImage16.h"
#include "image/PackedRecords.h"
#include "platform/File.h"
#include "tests/common/TestData.h"

// Counts what the history asks of the window and checks the pairs balance.
class RecordingWindow final : public IHistoryWindow {
public:
  void ShowProgress() override {
    ++shown;
    EXPECT_FALSE(progressVisible);
    progressVisible = true;
  }
  void HideProgress() override {
    EXPECT_TRUE(progressVisible);
    progressVisible = false;
  }
  void LockFrames() override {
    ++replays;
    EXPECT_FALSE(framesLocked);
    framesLocked = true;
  }
  void UnlockFrames() override {
    EXPECT_TRUE(framesLocked);
    framesLocked = false;
  }

  int shown = 0;
  int replays = 0;  // one frame lock per replayed step
  bool progressVisible = false;
  bool framesLocked = false;
};

class RecordingListener final : public IHistoryListener {
public:
  void OnHistoryChanged(const CDocHistory&) override { ++changes; }
  void OnRecoveryIndexDue(const CDocHistory& history) override { indexWrites.push_back(history.StepCount()); }

  int changes = 0;
  std::vector<int> indexWrites;  // the step count at each index write
};

// Unique names in the scratch folder, with the prefix the history asks for.
inline HistoryFileMaker ScratchFileMaker() {
  return [dir = ScratchDir(), counter = 0](std::filesystem::path& path, std::u16string_view prefix) mutable {
    path = dir / (std::string(prefix.begin(), prefix.end()) + std::to_string(counter++) + ".bftmp");
    CFile file;
    return file.Open(path, CFile::OpenMode::Create);
  };
}

inline void OpenHistory(CDocHistory& history, CBFDoc& doc, RecordingWindow& window,
                        RecordingListener& listener) {
  ASSERT_TRUE(history.Open(doc, ScratchFileMaker()));
  history.SetWindow(&window);
  history.SetListener(&listener);
}

// What an image becomes once stored as a packed record and read back.
inline CBgraImage16 Packed(const CBgraImage16& image) {
  CMemFile file;
  CBgraImage16 read;
  EXPECT_TRUE(WritePackedImage16(image, file));
  EXPECT_TRUE(file.Seek(0, CFile::SeekOrigin::Begin));
  EXPECT_TRUE(ReadPackedImage16(file, read));
  return read;
}

inline bool SamePixels(const CBgraImage16& a, const CBgraImage16& b) {
  return a.width == b.width && a.height == b.height &&
         std::equal(a.Samples().begin(), a.Samples().end(), b.Samples().begin());
}
