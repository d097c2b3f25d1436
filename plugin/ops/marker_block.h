#pragma once
// The marker block: a block definition "$LNKHOLD$" that is never inserted, whose polylines
// carry the xref list in their extended data under the application "LNKHOLD":
//   1001 "LNKHOLD", one 1000 per row (its full path without the extension), then two 1070
//   groups: the "Acad Path" and "XS Retain" options (1 or 0).
// A list too long for one object's extended data is spread over several marker polylines,
// each with the application name, its share of the paths and both option groups.

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "dbents.h"
#include "dbsymtb.h"

namespace lnkhold {

inline constexpr const char* kMarkerBlockName = "$LNKHOLD$";
inline constexpr const char* kMarkerApplication = "LNKHOLD";
inline constexpr unsigned kMarkerVertexCount = 200;

struct MarkerOptions {
    bool acadPath = false;
    bool xsRetain = false;
};

// Looks the marker block up (erased records not included): eOk and the open record,
// eKeyNotFound when the drawing has none, eInvalidInput without a database.
Acad::ErrorStatus openMarkerBlock(AcDbDatabase* database, AcDb::OpenMode mode,
                                  AcDbBlockTableRecord*& block);
// A polyline of 200 vertices at (0, 0) carrying the marker data with no paths. eOk with no
// polyline when a vertex could not be added.
Acad::ErrorStatus createMarkerPolyline(AcDbPolyline*& polyline, const MarkerOptions& options);
// Adds the marker block with one marker polyline.
Acad::ErrorStatus createMarkerBlock(AcDbDatabase* database, const MarkerOptions& options);

// The text a row's full path is stored as: cut before its last '.'.
std::string markerPathOf(const std::string& fullPath);
// The marker texts in shares that each fit one object's extended data. A text that could
// never fit is left out.
std::vector<std::vector<std::string>> markerShares(const std::vector<std::string>& texts);
// Replaces the entity's marker data with these texts; the number written (0 when refused).
int buildMarkerXdata(AcDbEntity* entity, std::span<const std::string> texts,
                     const MarkerOptions& options);

// Stores the full paths in the marker, creating the block on first use. The number of rows
// written; 0 when nothing could be written.
int writeMarker(AcDbDatabase* database, const std::vector<std::string>& fullPaths,
                const MarkerOptions& options);
// Hands the extended data (every application) of each entity of the marker block to
// `apply`, in block order. Changes nothing.
void readMarker(AcDbDatabase* database, const std::function<void(const resbuf*)>& apply);

}  // namespace lnkhold
