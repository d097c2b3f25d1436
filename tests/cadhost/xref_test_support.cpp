#include "xref_test_support.h"

#include <stdexcept>

#include "db_test_support.h"
#include "dxf_test_support.h"
#include "platform/host_path.h"

namespace xreftest {

XrefFixtures::XrefFixtures()
    : folder(prefix.scratch() / "drawings"), hostFolder(platform::nativeToHost(folder)) {
    int status = 0;
    dxftest::runPython("make_xref_fixtures.py", {folder.string(), hostFolder}, status);
    if (status != 0) {
        throw std::runtime_error("make_xref_fixtures.py failed");
    }
    searchPath.supportFolders = {hostPath("nowhere"), hostPath("support")};
}

std::string XrefFixtures::hostPath(const std::string& relative) const {
    return hostFolder + "\\" + relative;
}

OpenDrawing::OpenDrawing(const XrefFixtures& fixtures, const std::string& relative)
    : db(std::make_unique<AcDbDatabase>(false)) {
    const std::filesystem::path native = fixtures.folder / relative;
    if (db->readDxfFile(native.c_str()) != Acad::eOk) {
        throw std::runtime_error("cannot read " + native.string());
    }
    xrefs = std::make_unique<cadhost::xref::DrawingXrefs>(
        *db, fixtures.searchPath, [this](const std::string& text) { messages.push_back(text); });
    xrefs->update();
}

AcDb::XrefStatus statusOf(AcDbDatabase& db, const char* block) {
    AcDbBlockTableRecord* record = nullptr;
    if (acdbOpenObject(record, dbtest::blockId(db, block), AcDb::kForRead) != Acad::eOk) {
        throw std::runtime_error(std::string("no block ") + block);
    }
    AcDb::XrefStatus status = record->xrefStatus();
    record->close();
    return status;
}

AcDbDatabase* loadedOf(AcDbDatabase& db, const char* block) {
    AcDbBlockTableRecord* record = nullptr;
    if (acdbOpenObject(record, dbtest::blockId(db, block), AcDb::kForRead) != Acad::eOk) {
        return nullptr;
    }
    AcDbDatabase* loaded = record->xrefDatabase(false);
    record->close();
    return loaded;
}

std::string ezdxfSummary(const std::filesystem::path& file) {
    int status = 0;
    std::string output = dxftest::runPython("ezdxf_check.py", {file.string()}, status);
    if (status != 0) {
        throw std::runtime_error("ezdxf cannot read " + file.string());
    }
    return output;
}

}  // namespace xreftest
