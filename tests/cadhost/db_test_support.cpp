#include "db_test_support.h"

#include <stdexcept>

#include "cadhost/sdk/acutads.h"
#include "dxf_test_support.h"

namespace dbtest {

Drawing::Drawing(const std::string& fixture)
    : path(dir.path() / fixture), db(std::make_unique<AcDbDatabase>(false)) {
    std::filesystem::copy_file(dxftest::ezdxfFixtureFolder() / fixture, path);
    if (db->readDxfFile(path.c_str()) != Acad::eOk) {
        throw std::runtime_error("cannot read " + path.string());
    }
}

namespace {

template <class Table>
AcDbObjectId lookUp(Acad::ErrorStatus (AcDbDatabase::*get)(Table*&, AcDb::OpenMode),
                    AcDbDatabase& db, const char* name) {
    Table* table = nullptr;
    AcDbObjectId id;
    if ((db.*get)(table, AcDb::kForRead) == Acad::eOk) {
        table->getAt(name, id);
        table->close();
    }
    return id;
}

}  // namespace

AcDbObjectId blockId(AcDbDatabase& db, const char* name) {
    return lookUp(&AcDbDatabase::getBlockTable, db, name);
}

AcDbObjectId layerId(AcDbDatabase& db, const char* name) {
    return lookUp(&AcDbDatabase::getLayerTable, db, name);
}

AcDbObjectId entityOfType(AcDbDatabase& db, const char* block, const char* dxfType) {
    AcDbBlockTableRecord* record = nullptr;
    AcDbObjectId found;
    if (acdbOpenObject(record, blockId(db, block), AcDb::kForRead) != Acad::eOk) {
        return found;
    }
    AcDbBlockTableRecordIterator* it = nullptr;
    record->newIterator(it);
    for (; !it->done() && found.isNull(); it->step()) {
        AcDbEntity* entity = nullptr;
        if (it->getEntity(entity, AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        bool match = entity->dxfType() == dxfType;
        if (match) {
            found = entity->objectId();
        }
        entity->close();
    }
    delete it;
    record->close();
    return found;
}

Acad::ErrorStatus setErased(AcDbObjectId id, bool erasing) {
    AcDbObject* object = nullptr;
    Acad::ErrorStatus es = acdbOpenAcDbObject(object, id, AcDb::kForWrite, true);
    if (es != Acad::eOk) {
        return es;
    }
    es = object->erase(erasing);
    object->close();
    return es;
}

resbuf* xdataChain(const char* app, std::initializer_list<const char*> texts,
                   std::initializer_list<short> numbers) {
    resbuf* head = acutNewRb(1001);
    acutNewString(app, head->resval.rstring);
    resbuf* tail = head;
    for (const char* text : texts) {
        tail = tail->rbnext = acutNewRb(1000);
        acutNewString(text, tail->resval.rstring);
    }
    for (short number : numbers) {
        tail = tail->rbnext = acutNewRb(1070);
        tail->resval.rint = number;
    }
    return head;
}

}  // namespace dbtest
