#pragma once
// Helpers of the database API tests: a drawing copied from the ezdxf fixtures and read into a
// database, and short ways to open what the tests look at.

#include <filesystem>
#include <memory>
#include <string>

#include "cadhost/sdk/dbmain.h"
#include "cadhost/sdk/dbsymtb.h"
#include "support/temp_prefix.h"

namespace dbtest {

// A copy of an ezdxf fixture in a temporary folder, read into a database.
struct Drawing {
    explicit Drawing(const std::string& fixture);
    testsupport::TempDir dir;
    std::filesystem::path path;
    std::unique_ptr<AcDbDatabase> db;
};

AcDbObjectId blockId(AcDbDatabase& db, const char* name);
AcDbObjectId layerId(AcDbDatabase& db, const char* name);
// The first entity of a DXF type in a block.
AcDbObjectId entityOfType(AcDbDatabase& db, const char* block, const char* dxfType);

// Opens the object for write (erased or not), erases or unerases it, closes it; the result is
// erase's.
Acad::ErrorStatus setErased(AcDbObjectId id, bool erasing = true);

// A chain 1001 app, then 1000 texts, then 1070 values; released by the caller.
resbuf* xdataChain(const char* app, std::initializer_list<const char*> texts,
                   std::initializer_list<short> numbers = {});

}  // namespace dbtest
