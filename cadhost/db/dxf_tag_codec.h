#pragma once
// Converts between a file's tags and API tags (UTF-8 text values): decodes raw tags of either
// encoding and encodes tags in the document's own encoding, line end and code page.

#include <string>
#include <string_view>

#include "cadhost/db/dxf_codepage.h"
#include "cadhost/db/dxf_tag.h"
#include "cadhost/db/dxf_tag_reader.h"

namespace cadhost::dxf {

class TagCodec {
  public:
    TagCodec(Encoding encoding, std::string lineEnd, Codepage codepage);

    const Encoding& encoding() const { return encoding_; }
    const std::string& lineEnd() const { return lineEnd_; }
    const Codepage& codepage() const { return codepage_; }

    Tag decode(const RawTag& raw) const;

    // Why `tag` cannot be written in this encoding, or "" when it can. Binary DXF needs values
    // that fit the group code's type; ASCII DXF takes any single line.
    std::string problemWith(const Tag& tag) const;
    // Appends `tag` as file bytes; the tag must have passed problemWith().
    void encode(const Tag& tag, std::string& out) const;

  private:
    void encodeBinaryValue(const Tag& tag, std::string& out) const;

    Encoding encoding_;
    std::string lineEnd_;
    Codepage codepage_;
};

}  // namespace cadhost::dxf
