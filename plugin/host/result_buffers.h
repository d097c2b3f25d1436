#pragma once
// Owning handles for the host's result-buffer chains.

#include <memory>

#include "adsdef.h"

namespace lnkhold::host {

struct ChainRelease {
    void operator()(resbuf* chain) const;
};

// A chain released with acutRelRb.
using ResultChain = std::unique_ptr<resbuf, ChainRelease>;

// Builds a chain buffer by buffer; any allocation that fails leaves no chain at all.
class ChainBuilder {
  public:
    void addString(short type, const char* text);
    void addShort(short type, short value);
    // The chain; null when an allocation failed.
    ResultChain take();

  private:
    resbuf* append(short type);

    ResultChain head_;
    resbuf* tail_ = nullptr;
    bool failed_ = false;
};

}  // namespace lnkhold::host
