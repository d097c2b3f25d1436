#pragma once
// Unlocks every layer of the working drawing for its lifetime and then puts each layer's
// lock state back, so that writing the marker is never refused for a locked layer.

#include <vector>

#include "dbid.h"

namespace lnkhold {

class LayerLockGuard {
  public:
    LayerLockGuard();
    ~LayerLockGuard();
    LayerLockGuard(const LayerLockGuard&) = delete;
    LayerLockGuard& operator=(const LayerLockGuard&) = delete;

  private:
    struct Entry {
        AcDbObjectId layer;
        bool wasLocked;
    };
    std::vector<Entry> entries_;  // in layer-table order
};

}  // namespace lnkhold
