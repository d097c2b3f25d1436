#pragma once
// Helpers of the xref engine's tests: the drawings of make_xref_fixtures.py in a fresh
// prefix, opened with their xrefs loaded.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cadhost/sdk/dbsymtb.h"
#include "cadhost/xref/drawing_xrefs.h"
#include "support/temp_prefix.h"

namespace xreftest {

struct XrefFixtures {
    XrefFixtures();
    testsupport::TempPrefix prefix;
    std::filesystem::path folder;  // native
    std::string hostFolder;        // the same folder as the host names it
    cadhost::xref::SearchPath searchPath;

    std::string hostPath(const std::string& relative) const;
};

// A drawing of the fixture folder read into a database, its xrefs loaded.
struct OpenDrawing {
    OpenDrawing(const XrefFixtures& fixtures, const std::string& relative);
    std::unique_ptr<AcDbDatabase> db;
    std::vector<std::string> messages;
    std::unique_ptr<cadhost::xref::DrawingXrefs> xrefs;
};

AcDb::XrefStatus statusOf(AcDbDatabase& db, const char* block);
AcDbDatabase* loadedOf(AcDbDatabase& db, const char* block);

// What ezdxf reads from a saved drawing (ezdxf_check.py's JSON).
std::string ezdxfSummary(const std::filesystem::path& file);

}  // namespace xreftest
