#pragma once
// Internal to the drawing database: a lightweight polyline held in a release without
// LWPOLYLINE as the classic 2D POLYLINE, its VERTEX records and a SEQEND.
//
// The object keeps the lightweight form (so AcDbPolyline works alike in every release); these
// functions translate at the file's edge. Widths, bulges, the closed and linetype-generation
// flags, elevation, thickness, extrusion, the entity's own properties and its extended data all
// have a place in both forms.

#include <optional>
#include <vector>

#include "cadhost/db/tag_list.h"

namespace cadhost::db {

// The POLYLINE, VERTEX... and SEQEND records for the lightweight polyline's tags, without
// handles for new records (the POLYLINE keeps a handle the tags have).
std::vector<TagList> toPolylineRecords(const TagList& lightweight);

// The lightweight polyline's tags of a POLYLINE's records (POLYLINE, VERTEX..., SEQEND);
// nullopt unless they are a 2D polyline that the lightweight form holds whole: no 3D, mesh or
// fitted curve, no fit vertices or tangents, equal default start and end widths.
std::optional<TagList> fromPolylineRecords(const std::vector<TagList>& records);

}  // namespace cadhost::db
