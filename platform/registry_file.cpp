#include "platform/registry_file.h"

#include <array>
#include <utility>
#include <vector>

namespace platform {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr DWORD kRegSz = 1;
constexpr DWORD kRegBinary = 3;
constexpr DWORD kRegDword = 4;
constexpr std::size_t kHexLineWidth = 80;  // regedit wraps hex data at this column

struct ParseFailure {
    std::string message;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

class Parser {
  public:
    Parser(std::string_view text, std::string_view rootName) : text_(text), rootName_(rootName) {}

    // Throws ParseFailure; line() then names the line.
    void run(RegistryNode& root) {
        readHeader();
        std::string_view line;
        while (nextLine(line)) {
            std::size_t pos = skipBlanks(line, 0);
            if (pos == line.size() || line[pos] == ';') {
                continue;
            }
            if (line[pos] == '[') {
                current_ = readSection(root, trimRight(line.substr(pos)));
            } else if (line[pos] == '"' || line[pos] == '@') {
                if (!current_) {
                    throw ParseFailure{"value outside a key section"};
                }
                readValue(line, pos);
            } else {
                throw ParseFailure{"expected a [key] section or a \"name\"=value line"};
            }
        }
    }

    std::size_t line() const { return line_; }

  private:
    bool nextLine(std::string_view& line) {
        if (pos_ >= text_.size()) {
            return false;
        }
        std::size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) {
            end = text_.size();
        }
        line = text_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        pos_ = end + 1;
        ++line_;
        return true;
    }

    static std::size_t skipBlanks(std::string_view line, std::size_t pos) {
        while (pos < line.size() && isBlank(line[pos])) {
            ++pos;
        }
        return pos;
    }

    void readHeader() {
        std::string_view line;
        if (!nextLine(line)) {
            return;
        }
        if (line.size() >= 2 && ((line[0] == '\xFF' && line[1] == '\xFE') ||
                                 (line[0] == '\xFE' && line[1] == '\xFF'))) {
            throw ParseFailure{"UTF-16 text is not supported; save the file as UTF-8"};
        }
        if (line.starts_with(kUtf8Bom)) {
            line.remove_prefix(kUtf8Bom.size());
        }
        line = trimRight(line);
        if (line != kHeader && line != kOldHeader) {
            throw ParseFailure{"the first line must be \"" + std::string(kHeader) + "\""};
        }
    }

    // "[HKEY_...\a\b]" opens (creating) the key; "[-HKEY_...\a\b]" deletes it.
    RegistryNode* readSection(RegistryNode& root, std::string_view line) {
        if (line.size() < 2 || line.back() != ']') {
            throw ParseFailure{"a key section must end with ']'"};
        }
        std::string_view path = line.substr(1, line.size() - 2);
        const bool remove = !path.empty() && path.front() == '-';
        if (remove) {
            path.remove_prefix(1);
        }
        std::vector<std::string_view> parts;
        for (std::size_t start = 0;;) {
            const std::size_t end = path.find('\\', start);
            parts.push_back(path.substr(start, end - start));
            if (parts.size() > kMaxKeyDepth + 1) {
                throw ParseFailure{"key nested deeper than " + std::to_string(kMaxKeyDepth) +
                                   " levels"};
            }
            if (end == std::string_view::npos) {
                break;
            }
            start = end + 1;
        }
        if (!registryNamesEqual(parts.front(), rootName_)) {
            throw ParseFailure{"key outside " + std::string(rootName_)};
        }
        for (std::size_t i = 1; i < parts.size(); ++i) {
            if (!validKeyName(parts[i])) {
                throw ParseFailure{
                    "invalid key name (empty, longer than 255 bytes, or "
                    "holding a control character) in part " +
                    std::to_string(i)};
            }
        }
        if (remove) {
            return removeKey(root, parts);
        }
        RegistryNode* node = &root;
        for (std::size_t i = 1; i < parts.size(); ++i) {
            node = &node->createSubkey(parts[i]);
        }
        return node;
    }

    static RegistryNode* removeKey(RegistryNode& root, const std::vector<std::string_view>& parts) {
        if (parts.size() == 1) {
            throw ParseFailure{"a root cannot be deleted"};
        }
        RegistryNode* parent = &root;
        for (std::size_t i = 1; parent && i + 1 < parts.size(); ++i) {
            parent = parent->findSubkey(parts[i]);
        }
        if (parent) {
            parent->removeSubkey(parts.back());
        }
        return nullptr;  // values may not follow a deletion
    }

    void readValue(std::string_view line, std::size_t pos) {
        std::string name;
        if (line[pos] == '@') {
            ++pos;
        } else {
            name = readQuoted(line, pos);
            if (!validValueName(name)) {
                throw ParseFailure{"value name longer than 16383 bytes"};
            }
        }
        pos = skipBlanks(line, pos);
        if (pos == line.size() || line[pos] != '=') {
            throw ParseFailure{"expected '=' after the value name"};
        }
        pos = skipBlanks(line, pos + 1);
        std::string_view rest = line.substr(pos);
        if (rest.starts_with('"')) {
            std::string data = readQuoted(line, pos);
            expectEnd(line, pos);
            data.push_back('\0');
            current_->setValue(name, kRegSz, std::move(data));
        } else if (rest.starts_with("dword:")) {
            pos += 6;
            const DWORD number = readHexNumber(line, pos, "dword");
            expectEnd(line, pos);
            std::string data(4, '\0');
            for (std::size_t i = 0; i < 4; ++i) {
                data[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
            }
            current_->setValue(name, kRegDword, std::move(data));
        } else if (rest.starts_with("hex:")) {
            current_->setValue(name, kRegBinary, readBytes(line, pos + 4));
        } else if (rest.starts_with("hex(")) {
            pos += 4;
            const DWORD type = readHexNumber(line, pos, "hex(type)");
            if (pos + 1 >= line.size() || line[pos] != ')' || line[pos + 1] != ':') {
                throw ParseFailure{"expected \"):\" after the type of hex data"};
            }
            current_->setValue(name, type, readBytes(line, pos + 2));
        } else if (rest.starts_with('-')) {
            expectEnd(line, pos + 1);
            current_->removeValue(name);
        } else {
            throw ParseFailure{
                "value data must be \"text\", dword:, hex:, hex(type): or - (delete)"};
        }
    }

    // A double-quoted string with \\ and \" escapes; pos starts at the opening quote and ends
    // after the closing one.
    static std::string readQuoted(std::string_view line, std::size_t& pos) {
        std::string out;
        for (++pos; pos < line.size(); ++pos) {
            const char c = line[pos];
            if (c == '"') {
                ++pos;
                return out;
            }
            if (c == '\0' || c == '\r') {
                throw ParseFailure{"control character (NUL or CR) inside a quoted string"};
            }
            if (c == '\\') {
                if (++pos == line.size() || (line[pos] != '\\' && line[pos] != '"')) {
                    throw ParseFailure{"only \\\\ and \\\" may follow a backslash in a string"};
                }
            }
            out.push_back(line[pos]);
        }
        throw ParseFailure{"string without its closing quote"};
    }

    static DWORD readHexNumber(std::string_view line, std::size_t& pos, std::string_view what) {
        DWORD number = 0;
        std::size_t digits = 0;
        for (; pos < line.size() && hexDigit(line[pos]) >= 0; ++pos, ++digits) {
            if (digits == 8) {
                throw ParseFailure{std::string(what) + " number longer than 8 hex digits"};
            }
            number = (number << 4) | static_cast<DWORD>(hexDigit(line[pos]));
        }
        if (digits == 0) {
            throw ParseFailure{"expected a hex number after " + std::string(what)};
        }
        return number;
    }

    static void expectEnd(std::string_view line, std::size_t pos) {
        if (skipBlanks(line, pos) != line.size()) {
            throw ParseFailure{"unexpected text after the value data"};
        }
    }

    // Comma-separated hex bytes; a line ending in '\' continues on the next line.
    std::string readBytes(std::string_view line, std::size_t pos) {
        std::string out;
        pos = skipBlanks(line, pos);
        if (pos == line.size()) {
            return out;
        }
        for (;;) {
            // A continuation may lead onto a blank line: pos can stand at the end here.
            if (pos < line.size() && line[pos] == '\\' &&
                skipBlanks(line, pos + 1) == line.size()) {
                if (!nextLine(line)) {
                    throw ParseFailure{"hex data continues past the end of the file"};
                }
                pos = skipBlanks(line, 0);
                continue;
            }
            const int high = pos < line.size() ? hexDigit(line[pos]) : -1;
            if (high < 0) {
                throw ParseFailure{"expected a hex byte"};
            }
            int byte = high;
            if (++pos < line.size() && hexDigit(line[pos]) >= 0) {
                byte = byte * 16 + hexDigit(line[pos++]);
            }
            out.push_back(static_cast<char>(byte));
            pos = skipBlanks(line, pos);
            if (pos == line.size()) {
                return out;
            }
            if (line[pos] != ',') {
                throw ParseFailure{"expected ',' between hex bytes"};
            }
            pos = skipBlanks(line, pos + 1);
            if (pos == line.size()) {
                throw ParseFailure{"hex data ends with ',' and no '\\' continuation"};
            }
        }
    }

    std::string_view text_;
    std::string_view rootName_;
    std::size_t pos_ = 0;
    std::size_t line_ = 0;
    RegistryNode* current_ = nullptr;
};

void appendQuoted(std::string& out, std::string_view s) {
    out.push_back('"');
    for (char c : s) {
        if (c == '\\' || c == '"') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
}

// Text that the quoted form carries exactly: the bytes are the text and one trailing NUL.
bool storableAsText(const RegistryValue& value) {
    const std::string_view data = value.data;
    return value.type == kRegSz && !data.empty() && data.back() == '\0' &&
           data.substr(0, data.size() - 1).find_first_of(std::string_view("\r\n\0", 3)) ==
               std::string_view::npos;
}

void appendHexNumber(std::string& out, DWORD number, int minDigits) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::array<char, 8> buffer{};
    int count = 0;
    do {
        buffer[static_cast<std::size_t>(count++)] = kDigits[number & 0xF];
        number >>= 4;
    } while (number != 0 || count < minDigits);
    while (count > 0) {
        out.push_back(buffer[static_cast<std::size_t>(--count)]);
    }
}

void appendValue(std::string& out, const RegistryValue& value) {
    const std::size_t lineStart = out.size();
    if (value.name.empty()) {
        out.push_back('@');
    } else {
        appendQuoted(out, value.name);
    }
    out.push_back('=');
    if (storableAsText(value)) {
        appendQuoted(out, std::string_view(value.data).substr(0, value.data.size() - 1));
    } else if (value.type == kRegDword && value.data.size() == 4) {
        DWORD number = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            number |= static_cast<DWORD>(static_cast<unsigned char>(value.data[i])) << (8 * i);
        }
        out += "dword:";
        appendHexNumber(out, number, 8);
    } else {
        if (value.type == kRegBinary) {
            out += "hex:";
        } else {
            out += "hex(";
            appendHexNumber(out, value.type, 1);
            out += "):";
        }
        std::size_t column = out.size() - lineStart;
        for (std::size_t i = 0; i < value.data.size(); ++i) {
            appendHexNumber(out, static_cast<unsigned char>(value.data[i]), 2);
            column += 2;
            if (i + 1 < value.data.size()) {
                out.push_back(',');
                ++column;
                if (column + 3 >= kHexLineWidth) {
                    out += "\\\n  ";
                    column = 2;
                }
            }
        }
    }
    out.push_back('\n');
}

void appendKey(std::string& out, const RegistryNode& key, std::string& path, bool isRoot) {
    if (!isRoot || !key.values().empty()) {
        out.push_back('[');
        out += path;
        out += "]\n";
        for (const auto& value : key.values()) {
            appendValue(out, value);
        }
        out.push_back('\n');
    }
    for (const auto& [name, subkey] : key.subkeys()) {
        const std::size_t length = path.size();
        path.push_back('\\');
        path += name;
        appendKey(out, *subkey, path, false);
        path.resize(length);
    }
}

}  // namespace

std::string RegistryFileError::text() const {
    return file + ":" + std::to_string(line) + ": " + message;
}

RegistryParseResult parseRegistryText(std::string_view text, std::string_view rootName,
                                      std::string_view fileName) {
    RegistryParseResult result;
    Parser parser(text, rootName);
    try {
        parser.run(result.root);
    } catch (const ParseFailure& failure) {
        result.root = RegistryNode{};
        result.error = RegistryFileError{std::string(fileName), parser.line(), failure.message};
    }
    return result;
}

void appendRegistryText(std::string& text, const RegistryNode& key, std::string_view keyPath) {
    if (text.empty()) {
        text += kHeader;
        text += "\n\n";
    }
    std::string path(keyPath);
    appendKey(text, key, path, path.find('\\') == std::string::npos);
}

}  // namespace platform
