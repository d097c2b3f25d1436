#include <iostream>
#include <system_error>

#include "cadhost/db/dxf_error.h"
#include "cadhost/db/new_drawing.h"
#include "cadhost/db/object_access.h"
#include "cadhost/sdk/acutads.h"
#include "cadhost/sdk/dbapserv.h"
#include "cadhost/sdk/dbsymtb.h"

using cadhost::db::DatabaseState;
using cadhost::db::ObjectStub;
using cadhost::db::TableKind;
using cadhost::db::Tag;

AcDbHostApplicationServices* acdbHostApplicationServices() {
    static AcDbHostApplicationServices services;
    return &services;
}

AcDbDatabase::AcDbDatabase(bool buildDefaultDrawing, bool)
    : state_(std::make_unique<DatabaseState>(*this)) {
    if (buildDefaultDrawing) {
        state_->setDocument(cadhost::dxf::Document::fromBytes(cadhost::db::newDrawingDxf()));
    }
}

AcDbDatabase::~AcDbDatabase() {
    AcDbTransactionManager& transactions = state_->transactions;
    if (transactions.numActiveTransactions() > 0) {
        std::cerr << "cadhost: a drawing was closed with " << transactions.numActiveTransactions()
                  << " transaction(s) still active; they are aborted\n";
        while (transactions.numActiveTransactions() > 0) {
            transactions.abortTransaction();
        }
    }
    for (ObjectStub* stub : state_->openStubs()) {
        std::cerr << "cadhost: object with handle " << std::hex << stub->handle << std::dec
                  << " of "
                  << (state_->fileNameText.empty() ? "a new drawing" : state_->fileNameText)
                  << " was not closed\n";
        stub->readers = 0;
        stub->writer = false;
        delete stub->object;
    }
    if (acdbHostApplicationServices()->workingDatabase() == this) {
        acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    }
}

Acad::ErrorStatus AcDbDatabase::readDxfFile(const char* fileName) {
    if (!fileName) {
        return Acad::eInvalidInput;
    }
    if (state_->document) {
        return Acad::eAlreadyInDb;  // read into a database made without a drawing
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fileName, ec)) {
        state_->lastMessage = std::string("cannot find ") + fileName;
        return Acad::eFileNotFound;
    }
    return cadhost::db::readDocument(
        *state_, [fileName] { return cadhost::dxf::Document::load(fileName); }, fileName);
}

Acad::ErrorStatus AcDbDatabase::saveAs(const char* fileName) {
    if (!fileName || !*fileName) {
        return Acad::eInvalidInput;
    }
    if (!state_->document) {
        return Acad::eNoDatabase;
    }
    try {
        if (state_->doc().isModified()) {
            state_->setHeader("$TDUPDATE", Tag::real(40, AcDbDate::now().julian()), false);
            if (state_->header("$TDUUPDATE")) {
                state_->setHeader("$TDUUPDATE", Tag::real(40, AcDbDate::now(true).julian()), false);
            }
        }
        state_->doc().save(fileName);
        state_->savedRevision = state_->doc().revision();
    } catch (const cadhost::dxf::DxfError& error) {
        state_->lastMessage = error.what();
        return Acad::eFileAccessErr;
    }
    state_->fileName = fileName;
    state_->fileNameText = fileName;
    state_->lastMessage.clear();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::save() {
    return state_->fileNameText.empty() ? Acad::eInvalidInput
                                        : saveAs(state_->fileNameText.c_str());
}

bool AcDbDatabase::isModifiedSinceSave() const {
    return state_->document && state_->document->revision() != state_->savedRevision;
}

void AcDbDatabase::acceptAsSaved() {
    if (state_->document) {
        state_->savedRevision = state_->document->revision();
    }
}

Acad::ErrorStatus AcDbDatabase::getFilename(const char*& fileName) const {
    fileName = state_->fileNameText.c_str();
    return Acad::eOk;
}

const char* AcDbDatabase::lastMessage() const {
    return state_->lastMessage.c_str();
}

namespace {

template <class Table>
Acad::ErrorStatus openTable(DatabaseState& state, TableKind kind, Table*& table,
                            AcDb::OpenMode mode) {
    table = nullptr;
    if (!state.document) {
        return Acad::eNoDatabase;
    }
    ObjectStub* stub = state.tableStub(kind);
    return stub ? acdbOpenObject(table, AcDbObjectId(stub), mode) : Acad::eKeyNotFound;
}

AcDbObjectId tableId(DatabaseState& state, TableKind kind) {
    return AcDbObjectId(state.document ? state.tableStub(kind) : nullptr);
}

}  // namespace

Acad::ErrorStatus AcDbDatabase::getBlockTable(AcDbBlockTable*& table, AcDb::OpenMode mode) {
    return openTable(*state_, TableKind::Block, table, mode);
}

Acad::ErrorStatus AcDbDatabase::getLayerTable(AcDbLayerTable*& table, AcDb::OpenMode mode) {
    return openTable(*state_, TableKind::Layer, table, mode);
}

Acad::ErrorStatus AcDbDatabase::getRegAppTable(AcDbRegAppTable*& table, AcDb::OpenMode mode) {
    return openTable(*state_, TableKind::RegApp, table, mode);
}

Acad::ErrorStatus AcDbDatabase::getSymbolTable(AcDbBlockTable*& table, AcDb::OpenMode mode) {
    return getBlockTable(table, mode);
}

Acad::ErrorStatus AcDbDatabase::getSymbolTable(AcDbLayerTable*& table, AcDb::OpenMode mode) {
    return getLayerTable(table, mode);
}

Acad::ErrorStatus AcDbDatabase::getSymbolTable(AcDbRegAppTable*& table, AcDb::OpenMode mode) {
    return getRegAppTable(table, mode);
}

AcDbObjectId AcDbDatabase::blockTableId() const {
    return tableId(*state_, TableKind::Block);
}

AcDbObjectId AcDbDatabase::layerTableId() const {
    return tableId(*state_, TableKind::Layer);
}

AcDbObjectId AcDbDatabase::regAppTableId() const {
    return tableId(*state_, TableKind::RegApp);
}

Acad::ErrorStatus AcDbDatabase::getAcDbObjectId(AcDbObjectId& id, bool, std::uint64_t handle) {
    id = AcDbObjectId(state_->document ? state_->stubForHandle(handle) : nullptr);
    return id.isNull() ? Acad::eKeyNotFound : Acad::eOk;
}

// --- header variables

namespace {

Acad::ErrorStatus setHeader(DatabaseState& state, std::string_view name, Tag value) {
    if (!state.document) {
        return Acad::eNoDatabase;
    }
    try {
        state.setHeader(name, std::move(value));
    } catch (const cadhost::dxf::DxfError&) {
        return Acad::eInvalidInput;
    }
    return Acad::eOk;
}

bool headerFlag(const DatabaseState& state, std::string_view name, bool fallback) {
    auto value = state.header(name);
    return value ? value->asInteger().value_or(fallback) != 0 : fallback;
}

}  // namespace

AcDbObjectId AcDbDatabase::clayer() const {
    auto name = state_->header("$CLAYER");
    return AcDbObjectId(name ? state_->findEntry(TableKind::Layer, name->value) : nullptr);
}

Acad::ErrorStatus AcDbDatabase::setClayer(AcDbObjectId layer) {
    ObjectStub* stub = layer.stub();
    if (!stub || stub->state != state_.get() || stub->erased ||
        state_->doc().type(stub->record) != "LAYER") {
        return Acad::eInvalidInput;
    }
    return setHeader(*state_, "$CLAYER", Tag::text(8, state_->entryName(stub)));
}

bool AcDbDatabase::tilemode() const {
    return headerFlag(*state_, "$TILEMODE", true);
}

Acad::ErrorStatus AcDbDatabase::setTilemode(bool tilemode) {
    return setHeader(*state_, "$TILEMODE", Tag::integer(70, tilemode ? 1 : 0));
}

bool AcDbDatabase::visretain() const {
    return headerFlag(*state_, "$VISRETAIN", true);
}

Acad::ErrorStatus AcDbDatabase::setVisretain(bool visretain) {
    return setHeader(*state_, "$VISRETAIN", Tag::integer(70, visretain ? 1 : 0));
}

AcDbDate AcDbDatabase::tdupdate() const {
    auto value = state_->header("$TDUPDATE");
    return AcDbDate::fromJulian(value ? value->asDouble().value_or(0.0) : 0.0);
}

AcDbDate AcDbDatabase::tduupdate() const {
    auto value = state_->header("$TDUUPDATE");
    return AcDbDate::fromJulian(value ? value->asDouble().value_or(0.0) : 0.0);
}

Acad::ErrorStatus AcDbDatabase::getProjectName(char*& name) const {
    auto value = state_->header("$PROJECTNAME");
    return acutNewString(value ? value->value.c_str() : "", name);
}

Acad::ErrorStatus AcDbDatabase::setProjectName(const char* name) {
    if (!name || std::string_view(name).find_first_of("\r\n") != std::string_view::npos) {
        return Acad::eInvalidInput;
    }
    return setHeader(*state_, "$PROJECTNAME", Tag::text(1, name));
}

std::uint64_t AcDbDatabase::handseed() const {
    auto value = state_->header("$HANDSEED");
    return value ? value->asHandle().value_or(0) : 0;
}

std::string AcDbDatabase::dxfVersion() const {
    return state_->document ? state_->doc().version() : std::string();
}

AcDbTransactionManager* AcDbDatabase::transactionManager() {
    return &state_->transactions;
}
