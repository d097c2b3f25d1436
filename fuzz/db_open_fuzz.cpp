// Fuzzes the object layer: any bytes read as a drawing, then every block with its entities and
// every layer opened for read and every field the host's callers read looked at, xdata chains
// released, and everything closed before the database is destroyed. Nothing may crash, leak
// or hang.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "cadhost/sdk/acutads.h"
#include "cadhost/sdk/dbmain.h"
#include "cadhost/sdk/dbsymtb.h"

namespace {

// The database reads files only: the bytes go into an anonymous memory file, named through
// /proc, so no folder needs cleaning up.
class MemoryFile {
  public:
    explicit MemoryFile(const std::uint8_t* data, std::size_t size)
        : fd_(memfd_create("db_open_fuzz.dxf", MFD_CLOEXEC)) {
        for (std::size_t done = 0; fd_ >= 0 && done < size;) {
            ssize_t written = write(fd_, data + done, size - done);
            if (written <= 0) {
                close(fd_);
                fd_ = -1;
            } else {
                done += static_cast<std::size_t>(written);
            }
        }
    }
    ~MemoryFile() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    bool ok() const { return fd_ >= 0; }
    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

  private:
    int fd_;
};

// Reads what every object has, and its whole xdata chain.
std::size_t readObject(const AcDbObject& object) {
    std::size_t seen = object.dxfType().size() + (object.isErased() ? 1 : 0);
    seen += object.ownerId().isNull() ? 0 : 1;
    resbuf* chain = object.xData();
    for (const resbuf* rb = chain; rb; rb = rb->rbnext) {
        seen += acutRbHoldsString(rb->restype) && rb->resval.rstring
                    ? std::string(rb->resval.rstring).size()
                    : 1;
    }
    acutRelRb(chain);
    return seen;
}

std::size_t readName(const AcDbSymbolTableRecord& record) {
    const char* name = nullptr;
    std::size_t seen = record.getName(name) == Acad::eOk && name ? std::string(name).size() : 0;
    return seen + (record.isDependent() ? 1 : 0) + readObject(record);
}

std::size_t readEntities(const AcDbBlockTableRecord& block) {
    std::size_t seen = 0;
    AcDbBlockTableRecordIterator* it = nullptr;
    if (block.newIterator(it) != Acad::eOk) {
        return seen;
    }
    for (; !it->done(); it->step()) {
        AcDbEntity* entity = nullptr;
        if (it->getEntity(entity, AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        char* layer = entity->layer();
        seen += layer ? std::string(layer).size() : 0;
        acutDelString(layer);
        seen += readObject(*entity);
        entity->close();
    }
    delete it;
    return seen;
}

std::size_t readBlocks(AcDbDatabase& db) {
    std::size_t seen = 0;
    AcDbBlockTable* table = nullptr;
    if (db.getBlockTable(table, AcDb::kForRead) != Acad::eOk) {
        return seen;
    }
    AcDbBlockTableIterator* it = nullptr;
    if (table->newIterator(it) == Acad::eOk) {
        for (; !it->done(); it->step()) {
            AcDbBlockTableRecord* block = nullptr;
            if (it->getRecord(block, AcDb::kForRead) != Acad::eOk) {
                continue;
            }
            const char* path = nullptr;
            seen += block->pathName(path) == Acad::eOk && path ? std::string(path).size() : 0;
            seen += static_cast<std::size_t>(block->xrefStatus()) + block->isLayout() +
                    block->isFromExternalReference() + block->isFromOverlayReference();
            seen += readName(*block) + readEntities(*block);
            block->close();
        }
        delete it;
    }
    table->close();
    return seen;
}

std::size_t readLayers(AcDbDatabase& db) {
    std::size_t seen = 0;
    AcDbLayerTable* table = nullptr;
    if (db.getLayerTable(table, AcDb::kForRead) != Acad::eOk) {
        return seen;
    }
    AcDbLayerTableIterator* it = nullptr;
    if (table->newIterator(it) == Acad::eOk) {
        for (; !it->done(); it->step()) {
            AcDbLayerTableRecord* layer = nullptr;
            if (it->getRecord(layer, AcDb::kForRead) != Acad::eOk) {
                continue;
            }
            seen += readName(*layer) + layer->isLocked();
            layer->close();
        }
        delete it;
    }
    table->close();
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryFile file(data, size);
    if (!file.ok()) {
        return 0;
    }
    AcDbDatabase db(false);
    if (db.readDxfFile(file.path().c_str()) != Acad::eOk) {
        return 0;
    }
    // Kept observable so the reads are not optimised away.
    volatile std::size_t seen = readBlocks(db) + readLayers(db);
    (void)seen;
    return 0;
}
