#include "cadhost/db/dxf_error.h"

namespace cadhost::dxf {
namespace {

std::string describe(DxfError::Place place, std::uint64_t position, const std::string& problem,
                     const std::string& file) {
    std::string where = file.empty() ? "" : file + ": ";
    switch (place) {
        case DxfError::Place::Line:
            return where + "line " + std::to_string(position) + ": " + problem;
        case DxfError::Place::ByteOffset:
            return where + "byte offset " + std::to_string(position) + ": " + problem;
        case DxfError::Place::None:
            break;
    }
    return where + problem;
}

}  // namespace

DxfError::DxfError(const std::string& problem) : DxfError(Place::None, 0, problem) {}

DxfError::DxfError(Place place, std::uint64_t position, const std::string& problem,
                   const std::string& file)
    : std::runtime_error(describe(place, position, problem, file)),
      place_(place),
      position_(position),
      problem_(problem) {}

DxfError DxfError::inFile(const std::string& file) const {
    return DxfError(place_, position_, problem_, file);
}

DxfError DxfError::atLine(std::uint64_t line, const std::string& problem) {
    return DxfError(Place::Line, line, problem);
}

DxfError DxfError::atOffset(std::uint64_t offset, const std::string& problem) {
    return DxfError(Place::ByteOffset, offset, problem);
}

}  // namespace cadhost::dxf
