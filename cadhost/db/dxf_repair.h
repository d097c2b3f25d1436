#pragma once
// Mends the structure of damaged ASCII DXF files as other CAD programs read them: a section
// closed early (tags after its ENDSEC that belong to it), a doubled ENDSEC, a missing ENDSEC,
// ENDTAB or EOF, a stray ENDTAB. The tags themselves are never changed or dropped: only the
// markers that open and close sections and tables move, are added or are left out.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cadhost/db/dxf_tag_reader.h"

namespace cadhost::dxf {

struct RepairedText {
    std::string bytes;                 // the file with its structure mended
    std::vector<std::string> repairs;  // what was mended, each led by the line ("line 12: ...")
};

// The mended file; nullopt when its structure needs no mending, or has damage of another kind
// (a tag outside every section before the first one, a section or table without a name, a
// malformed tag), which the strict reader then reports. `start` is where the first tag begins.
std::optional<RepairedText> repairStructure(std::string_view data, std::uint64_t start,
                                            const std::string& lineEnd);

}  // namespace cadhost::dxf
