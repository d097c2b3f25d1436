#include "cadhost/xref/unload_mark.h"

#include <cstring>

#include "cadhost/sdk/acutads.h"

namespace cadhost::xref {

namespace {

constexpr const char* kUnloaded = "Unloaded";

}  // namespace

bool isMarkedUnloaded(const AcDbBlockTableRecord& block) {
    resbuf* data = block.xData(kXrefApplication);
    bool unloaded = false;
    for (const resbuf* rb = data; rb; rb = rb->rbnext) {
        unloaded = unloaded || (rb->restype == 1000 && rb->resval.rstring &&
                                std::strcmp(rb->resval.rstring, kUnloaded) == 0);
    }
    acutRelRb(data);
    return unloaded;
}

Acad::ErrorStatus markUnloaded(AcDbBlockTableRecord& block, bool unloaded) {
    if (unloaded == isMarkedUnloaded(block)) {
        return Acad::eOk;
    }
    resbuf* chain = acutNewRb(1001);
    acutNewString(kXrefApplication, chain->resval.rstring);
    if (unloaded) {
        chain->rbnext = acutNewRb(1000);
        acutNewString(kUnloaded, chain->rbnext->resval.rstring);
    }
    Acad::ErrorStatus es = block.setXData(chain);
    acutRelRb(chain);
    return es;
}

}  // namespace cadhost::xref
