#pragma once
// The one error type of the DXF layer: bad input, or a file that cannot be read or written.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace cadhost::dxf {

class DxfError : public std::runtime_error {
  public:
    // Where in the input the problem is: a 1-based line of an ASCII file, a byte offset of a
    // binary file, or nowhere (file system errors, rejected edits).
    enum class Place { None, Line, ByteOffset };

    explicit DxfError(const std::string& problem);
    static DxfError atLine(std::uint64_t line, const std::string& problem);
    static DxfError atOffset(std::uint64_t offset, const std::string& problem);
    // The same error, its message led by the file's name.
    DxfError inFile(const std::string& file) const;

    Place place() const { return place_; }
    std::uint64_t position() const { return position_; }
    const std::string& problem() const { return problem_; }

  private:
    DxfError(Place place, std::uint64_t position, const std::string& problem,
             const std::string& file = "");

    Place place_;
    std::uint64_t position_;
    std::string problem_;
};

}  // namespace cadhost::dxf
