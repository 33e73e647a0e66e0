#include "algorithms/geometry/EnlargeFilters.h"

#include <atomic>

namespace {

std::atomic<IEnlargeFilters*> g_filters{nullptr};

}  // namespace

void SetEnlargeFilters(IEnlargeFilters* filters) { g_filters.store(filters, std::memory_order_release); }

IEnlargeFilters* EnlargeFilters() { return g_filters.load(std::memory_order_acquire); }
