#include "output/WriteThroughTemporary.h"

#include "output/TemporaryTarget.h"

bool WriteThroughTemporary(const std::filesystem::path& target,
                           const std::function<bool(const std::filesystem::path&)>& write) {
  CTemporaryTarget temporary;
  if (!temporary.Make(target)) return false;
  if (!write(temporary.Path())) return false;  // the temporary file goes with the object
  return temporary.Commit();
}
