#include "plugin/ops/marker_block.h"

#include <cstring>
#include <memory>
#include <new>

#include "acutads.h"
#include "dbapserv.h"
#include "plugin/host/current_document.h"
#include "plugin/host/result_buffers.h"

namespace lnkhold {

namespace {

// Bytes of extended data, counted as the drawing format counts them: two for the group
// code, then a string with its terminator or a 16-bit integer.
constexpr std::size_t stringGroupSize(std::size_t length) {
    return 2 + length + 1;
}
constexpr std::size_t kIntegerGroupSize = 2 + 2;
const std::size_t kFixedMarkerSize =
    stringGroupSize(std::strlen(kMarkerApplication)) + 2 * kIntegerGroupSize;

host::ResultChain markerChain(std::span<const std::string> texts, const MarkerOptions& options) {
    host::ChainBuilder chain;
    chain.addString(1001, kMarkerApplication);
    for (const std::string& text : texts) {
        chain.addString(1000, text.c_str());
    }
    chain.addShort(1070, options.acadPath ? 1 : 0);
    chain.addShort(1070, options.xsRetain ? 1 : 0);
    return chain.take();
}

bool carriesMarkerData(const AcDbEntity& entity) {
    return host::ResultChain(entity.xData(kMarkerApplication)) != nullptr;
}

std::vector<AcDbObjectId> markerEntities(const AcDbBlockTableRecord& block) {
    std::vector<AcDbObjectId> markers;
    AcDbBlockTableRecordIterator* rawIterator = nullptr;
    if (block.newIterator(rawIterator) != Acad::eOk) {
        return markers;
    }
    std::unique_ptr<AcDbBlockTableRecordIterator> iterator(rawIterator);
    for (; !iterator->done(); iterator->step()) {
        AcDbEntity* entity = nullptr;
        if (iterator->getEntity(entity, AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        if (carriesMarkerData(*entity)) {
            markers.push_back(entity->objectId());
        }
        entity->close();
    }
    return markers;
}

int writeShare(AcDbObjectId marker, std::span<const std::string> share,
               const MarkerOptions& options) {
    AcDbEntity* entity = nullptr;
    if (acdbOpenAcDbEntity(entity, marker, AcDb::kForWrite) != Acad::eOk) {
        return 0;
    }
    const int written = buildMarkerXdata(entity, share, options);
    entity->close();
    return written;
}

// A further marker polyline in the marker block, carrying one share.
int appendMarkerPolyline(AcDbDatabase* database, std::span<const std::string> share,
                         const MarkerOptions& options) {
    AcDbBlockTableRecord* block = nullptr;
    if (openMarkerBlock(database, AcDb::kForWrite, block) != Acad::eOk) {
        return 0;
    }
    AcDbPolyline* polyline = nullptr;
    int written = 0;
    if (createMarkerPolyline(polyline, options) == Acad::eOk && polyline) {
        if (block->appendAcDbEntity(polyline) == Acad::eOk) {
            written = buildMarkerXdata(polyline, share, options);
            polyline->close();
        } else {
            delete polyline;
        }
    }
    block->close();
    return written;
}

}  // namespace

Acad::ErrorStatus openMarkerBlock(AcDbDatabase* database, AcDb::OpenMode mode,
                                  AcDbBlockTableRecord*& block) {
    block = nullptr;
    if (!database) {
        return Acad::eInvalidInput;
    }
    AcDbBlockTable* table = nullptr;
    if (Acad::ErrorStatus es = database->getBlockTable(table, AcDb::kForRead); es != Acad::eOk) {
        return es;
    }
    const Acad::ErrorStatus es = table->getAt(kMarkerBlockName, block, mode, false);
    table->close();
    return es;
}

Acad::ErrorStatus createMarkerPolyline(AcDbPolyline*& polyline, const MarkerOptions& options) {
    polyline = new (std::nothrow) AcDbPolyline;
    if (!polyline) {
        return Acad::eOutOfMemory;
    }
    buildMarkerXdata(polyline, {}, options);
    for (unsigned index = 0; index < kMarkerVertexCount; ++index) {
        if (polyline->addVertexAt(index, AcGePoint2d(0.0, 0.0), 0.0, -1.0, -1.0) != Acad::eOk) {
            delete polyline;
            polyline = nullptr;
            return Acad::eOk;
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus createMarkerBlock(AcDbDatabase* database, const MarkerOptions& options) {
    if (!database) {
        return Acad::eInvalidInput;
    }
    auto block = std::make_unique<AcDbBlockTableRecord>();
    if (Acad::ErrorStatus es = block->setName(kMarkerBlockName); es != Acad::eOk) {
        return es;
    }
    AcDbPolyline* polyline = nullptr;
    if (Acad::ErrorStatus es = createMarkerPolyline(polyline, options); es != Acad::eOk) {
        delete polyline;
        return es;
    }
    if (polyline) {
        if (block->appendAcDbEntity(polyline) == Acad::eOk) {
            polyline->close();
        } else {
            delete polyline;
        }
    }
    AcDbBlockTable* table = nullptr;
    if (Acad::ErrorStatus es = database->getBlockTable(table, AcDb::kForWrite); es != Acad::eOk) {
        return es;
    }
    const Acad::ErrorStatus es = table->add(block.get());
    table->close();
    if (es == Acad::eOk) {
        block.release()->close();
    }
    return es;
}

std::string markerPathOf(const std::string& fullPath) {
    return fullPath.substr(0, fullPath.rfind('.'));
}

std::vector<std::vector<std::string>> markerShares(const std::vector<std::string>& texts) {
    const std::size_t budget = static_cast<std::size_t>(kMaxXDataBytes) - kFixedMarkerSize;
    std::vector<std::vector<std::string>> shares(1);
    std::size_t used = 0;
    for (const std::string& text : texts) {
        const std::size_t size = stringGroupSize(text.size());
        if (size > budget) {
            continue;
        }
        if (used + size > budget) {
            shares.emplace_back();
            used = 0;
        }
        shares.back().push_back(text);
        used += size;
    }
    return shares;
}

int buildMarkerXdata(AcDbEntity* entity, std::span<const std::string> texts,
                     const MarkerOptions& options) {
    const host::ResultChain chain = markerChain(texts, options);
    // One replacement: a refused write leaves the entity's previous list in place.
    if (!entity || !chain || entity->setXData(chain.get()) != Acad::eOk) {
        return 0;
    }
    return static_cast<int>(texts.size());
}

int writeMarker(AcDbDatabase* database, const std::vector<std::string>& fullPaths,
                const MarkerOptions& options) {
    if (!database) {
        return 0;
    }
    host::ScopedTransaction transaction;
    acdbRegApp(kMarkerApplication, database);
    AcDbBlockTableRecord* block = nullptr;
    Acad::ErrorStatus es = openMarkerBlock(database, AcDb::kForRead, block);
    if (es == Acad::eKeyNotFound && createMarkerBlock(database, options) == Acad::eOk) {
        es = openMarkerBlock(database, AcDb::kForRead, block);
    }
    if (es != Acad::eOk) {
        transaction.commit();
        return 0;
    }
    const std::vector<AcDbObjectId> markers = markerEntities(*block);
    block->close();
    int written = 0;
    if (!markers.empty()) {
        std::vector<std::string> texts;
        texts.reserve(fullPaths.size());
        for (const std::string& path : fullPaths) {
            texts.push_back(markerPathOf(path));
        }
        const std::vector<std::vector<std::string>> shares = markerShares(texts);
        for (std::size_t i = 0; i < markers.size(); ++i) {
            written += writeShare(
                markers[i], i < shares.size() ? shares[i] : std::vector<std::string>{}, options);
        }
        for (std::size_t i = markers.size(); i < shares.size(); ++i) {
            written += appendMarkerPolyline(database, shares[i], options);
        }
    }
    transaction.commit();
    return written;
}

void readMarker(AcDbDatabase* database, const std::function<void(const resbuf*)>& apply) {
    AcDbBlockTable* table = nullptr;
    if (!database || database->getBlockTable(table, AcDb::kForRead) != Acad::eOk) {
        return;
    }
    host::ScopedTransaction transaction;
    AcDbBlockTableRecord* block = nullptr;
    const Acad::ErrorStatus found = table->getAt(kMarkerBlockName, block, AcDb::kForRead, false);
    table->close();
    if (found != Acad::eOk) {
        return;
    }
    AcDbBlockTableRecordIterator* rawIterator = nullptr;
    const Acad::ErrorStatus iterating = block->newIterator(rawIterator);
    std::unique_ptr<AcDbBlockTableRecordIterator> iterator(rawIterator);
    block->close();
    for (; iterating == Acad::eOk && !iterator->done(); iterator->step()) {
        AcDbEntity* entity = nullptr;
        if (iterator->getEntity(entity, AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        if (const host::ResultChain chain(entity->xData()); chain) {
            apply(chain.get());
        }
        entity->close();
    }
}

}  // namespace lnkhold
