#include "setup/license_text.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "platform/host_path.h"
#include "platform/lz.h"

namespace setup {

using namespace platform;

const char* const kLicenseMissingText =
    "License.txt could not be found or read.  Please download\r\n"
    "and read license.txt from\r\n"
    "https://www.tarnwick.example/linkhold16/license.txt";

namespace {

std::optional<std::string> readPlain(const std::string& path) {
    const auto native = hostToNative(path);
    std::ifstream file;
    if (native.ok()) {
        file.open(native.value, std::ios::binary);
    }
    if (!file) {
        return std::nullopt;
    }
    return std::string{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::optional<std::string> readCompressed(const std::string& path) {
    OFSTRUCT of;
    const INT file = LZOpenFileA(path.c_str(), &of, OF_READ);
    if (file < 0) {
        return std::nullopt;
    }
    const LONG size = LZSeek(file, 0, 2);
    LZSeek(file, 0, 0);
    std::vector<char> text(size >= 0 ? static_cast<std::size_t>(size) : 0);
    const INT read = size >= 0 ? LZRead(file, text.data(), size) : LZERROR_BADVALUE;
    LZClose(file);
    if (read < 0) {
        return std::nullopt;
    }
    return std::string(text.data(), static_cast<std::size_t>(read));
}

}  // namespace

std::string loadLicenseText(const std::string& setupFolder) {
    const std::string plainPath = setupFolder + "\\license.txt";
    if (const auto plain = readPlain(plainPath)) {
        return plain->empty() ? kLicenseMissingText : *plain;
    }
    const std::string compressedPath = plainPath.substr(0, plainPath.rfind('.')) + ".tx_";
    const auto expanded = readCompressed(compressedPath);
    return expanded && !expanded->empty() ? *expanded : kLicenseMissingText;
}

}  // namespace setup
