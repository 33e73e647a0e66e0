#include "album/PhotoHandOff.h"

#include <atomic>

#include "ui/NotBuilt.h"

namespace {

class CNotBuiltPhotoHandOff final : public IPhotoHandOff {
public:
  bool RunGroupPhoto(std::int32_t, std::span<const std::filesystem::path>) override {
    WriteNotBuilt("Group photo");
    return false;
  }
  bool RunBatch(const std::filesystem::path&, std::span<const BatchHandOffItem>) override {
    WriteNotBuilt("Batch");
    return false;
  }
  bool RunBatchPrint(std::span<const std::filesystem::path>) override {
    WriteNotBuilt("Batch print");
    return false;
  }
};

CNotBuiltPhotoHandOff g_standIn;
std::atomic<IPhotoHandOff*> g_handOff{nullptr};

}  // namespace

IPhotoHandOff& PhotoHandOff() {
  IPhotoHandOff* handOff = g_handOff.load();
  return handOff ? *handOff : g_standIn;
}

void SetPhotoHandOff(IPhotoHandOff* handOff) { g_handOff.store(handOff); }
