#pragma once
// Converts stored DXF text to and from UTF-8. Files before AC1021 (2007) store text in the
// code page named by $DWGCODEPAGE ("ANSI_1252", "ANSI_932" ...); later files store UTF-8.

#include <memory>
#include <string>
#include <string_view>

namespace cadhost::dxf {

class Codepage {
  public:
    static Codepage utf8();
    // An unknown or unsupported name falls back to Windows-1252, the DXF default.
    static Codepage fromDwgCodepage(std::string_view dwgCodepage);

    // The iconv name of the stored encoding ("CP1252", "UTF-8").
    const std::string& name() const { return name_; }

    // Bytes that are not valid in the stored encoding become U+FFFD; in a code page, the
    // \\U+XXXX escapes of non-ASCII characters are decoded.
    std::string toUtf8(std::string_view stored) const;
    // Characters the code page cannot hold are written as DXF's \U+XXXX escape.
    std::string fromUtf8(std::string_view utf8) const;

  private:
    struct Converters;
    explicit Codepage(std::string name);

    std::string name_;
    std::shared_ptr<Converters> converters_;  // opened on first non-ASCII text
};

}  // namespace cadhost::dxf
