#include "plugin/host/result_buffers.h"

#include "acutads.h"

namespace lnkhold::host {

void ChainRelease::operator()(resbuf* chain) const {
    acutRelRb(chain);
}

resbuf* ChainBuilder::append(short type) {
    resbuf* buffer = failed_ ? nullptr : acutNewRb(type);
    if (!buffer) {
        failed_ = true;
        return nullptr;
    }
    if (tail_) {
        tail_->rbnext = buffer;
    } else {
        head_.reset(buffer);
    }
    tail_ = buffer;
    return buffer;
}

void ChainBuilder::addString(short type, const char* text) {
    if (resbuf* buffer = append(type);
        buffer && acutNewString(text, buffer->resval.rstring) != Acad::eOk) {
        failed_ = true;
    }
}

void ChainBuilder::addShort(short type, short value) {
    if (resbuf* buffer = append(type)) {
        buffer->resval.rint = value;
    }
}

ResultChain ChainBuilder::take() {
    if (failed_) {
        head_.reset();
    }
    tail_ = nullptr;
    return std::move(head_);
}

}  // namespace lnkhold::host
