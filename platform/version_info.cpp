#include "platform/version_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

#include "platform/case_fold.h"
#include "platform/errno_map.h"
#include "platform/file_descriptor.h"
#include "platform/host_path.h"

namespace platform {

namespace {

// ---------------------------------------------------------------------------------------------
// Modules

HINSTANCE programModule() {
    static HINSTANCE__ program = [] {
        std::error_code ec;
        std::filesystem::path file = std::filesystem::read_symlink("/proc/self/exe", ec);
        return HINSTANCE__{file, file.parent_path()};
    }();
    return &program;
}

bool isKnownModule(HINSTANCE module) {
    if (module == programModule()) {
        return true;
    }
    const std::vector<HINSTANCE> modules = registeredModules();
    return std::find(modules.begin(), modules.end(), module) != modules.end();
}

// Windows adds ".dll" to a module name without extension; a trailing dot says "none".
std::string withDefaultExtension(std::string name) {
    const std::size_t nameStart = name.find_last_of("\\/:") + 1;  // npos + 1 == 0
    if (name.size() > nameStart && name.back() == '.') {
        name.pop_back();
    } else if (name.find('.', nameStart) == std::string::npos) {
        name += ".dll";
    }
    return name;
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return !a.empty() && (a == b || std::filesystem::equivalent(a, b, ec));
}

// ---------------------------------------------------------------------------------------------
// Reading the ELF file

// Random access to the bytes of a file image, whether in memory or on disk.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Exactly `count` bytes at `offset`, or false; never reads outside the image.
    virtual bool read(std::uint64_t offset, std::size_t count, BYTE* out) const = 0;
};

class MemorySource : public ByteSource {
  public:
    explicit MemorySource(std::span<const BYTE> bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool read(std::uint64_t offset, std::size_t count, BYTE* out) const override {
        if (offset > bytes_.size() || count > bytes_.size() - offset) {
            return false;
        }
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), count, out);
        return true;
    }

  private:
    std::span<const BYTE> bytes_;
};

class FileSource : public ByteSource {
  public:
    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, std::size_t count, BYTE* out) const override {
        if (offset > size_ || count > size_ - offset) {
            return false;
        }
        while (count > 0) {
            const ssize_t got = ::pread(fd_, out, count, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return false;  // an error, or the file shrank under us
            }
            out += got;
            offset += static_cast<std::uint64_t>(got);
            count -= static_cast<std::size_t>(got);
        }
        return true;
    }

  private:
    int fd_;
    std::uint64_t size_;
};

template <class T>
T littleEndian(const BYTE* bytes) {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        value |= static_cast<T>(static_cast<T>(bytes[i]) << (8 * i));
    }
    return value;
}

constexpr std::size_t kElfHeaderSize = 64;
constexpr std::size_t kSectionHeaderSize = 64;    // the least an ELF64 section header can be
constexpr std::uint32_t kSectionProgbits = 1;     // SHT_PROGBITS
constexpr std::uint16_t kExtendedIndex = 0xFFFF;  // SHN_XINDEX
constexpr std::size_t kMaxSectionSize = 0x10000;  // a 16-bit length, padded to 32 bits
constexpr std::size_t kHeadersPerRead = 256;

struct SectionHeader {
    std::uint32_t name = 0;
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t link = 0;
};

SectionHeader sectionHeaderFrom(const BYTE* raw) {
    return {littleEndian<std::uint32_t>(raw), littleEndian<std::uint32_t>(raw + 4),
            littleEndian<std::uint64_t>(raw + 0x18), littleEndian<std::uint64_t>(raw + 0x20),
            littleEndian<std::uint32_t>(raw + 0x28)};
}

// Whether [offset, offset + size) lies inside an image of `total` bytes.
bool inside(std::uint64_t offset, std::uint64_t size, std::uint64_t total) {
    return offset <= total && size <= total - offset;
}

std::optional<std::vector<BYTE>> versionSection(const ByteSource& image) {
    BYTE header[kElfHeaderSize];
    if (!image.read(0, sizeof header, header)) {
        return std::nullopt;
    }
    static constexpr BYTE kMagic[] = {0x7F, 'E', 'L', 'F', 2 /* 64-bit */, 1 /* LSB */};
    if (!std::equal(std::begin(kMagic), std::end(kMagic), header)) {
        return std::nullopt;
    }
    const auto tableOffset = littleEndian<std::uint64_t>(header + 0x28);
    const auto entrySize = littleEndian<std::uint16_t>(header + 0x3A);
    std::uint64_t count = littleEndian<std::uint16_t>(header + 0x3C);
    std::uint64_t namesIndex = littleEndian<std::uint16_t>(header + 0x3E);
    if (tableOffset == 0 || entrySize < kSectionHeaderSize ||
        !inside(tableOffset, entrySize, image.size())) {
        return std::nullopt;
    }
    const auto headerAt = [&](std::uint64_t index) -> std::optional<SectionHeader> {
        BYTE raw[kSectionHeaderSize];
        if (!image.read(tableOffset + index * entrySize, sizeof raw, raw)) {
            return std::nullopt;
        }
        return sectionHeaderFrom(raw);
    };
    // Files with very many sections keep the true count and name-table index in section 0.
    const std::optional<SectionHeader> first = headerAt(0);
    if (!first) {
        return std::nullopt;
    }
    if (count == 0) {
        count = first->size;
    }
    if (namesIndex == kExtendedIndex) {
        namesIndex = first->link;
    }
    // Every header must lie in the file; this bounds the count by the file's size.
    if (count > (image.size() - tableOffset) / entrySize || namesIndex >= count) {
        return std::nullopt;
    }
    const std::optional<SectionHeader> names = headerAt(namesIndex);
    if (!names || !inside(names->offset, names->size, image.size())) {
        return std::nullopt;
    }

    // The wanted name with its NUL, compared with what the name table holds at each offset.
    std::string wanted(version_resource::kSectionName);
    wanted.push_back('\0');
    std::vector<BYTE> table(std::min<std::uint64_t>(count, kHeadersPerRead) * entrySize);
    std::string name(wanted.size(), '\0');
    for (std::uint64_t start = 0; start < count; start += kHeadersPerRead) {
        const std::uint64_t batch = std::min<std::uint64_t>(count - start, kHeadersPerRead);
        if (!image.read(tableOffset + start * entrySize, batch * entrySize, table.data())) {
            return std::nullopt;
        }
        for (std::uint64_t i = 0; i < batch; ++i) {
            const SectionHeader section = sectionHeaderFrom(table.data() + i * entrySize);
            if (section.type != kSectionProgbits || section.name >= names->size ||
                names->size - section.name < wanted.size() ||
                !image.read(names->offset + section.name, wanted.size(),
                            reinterpret_cast<BYTE*>(name.data())) ||
                name != wanted) {
                continue;
            }
            if (section.size > kMaxSectionSize ||
                !inside(section.offset, section.size, image.size())) {
                return std::nullopt;
            }
            std::vector<BYTE> bytes(section.size);
            if (!image.read(section.offset, bytes.size(), bytes.data())) {
                return std::nullopt;
            }
            return bytes;
        }
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// The VS_VERSIONINFO structure
//
// Every structure: WORD wLength (bytes, with its children), WORD wValueLength (UTF-16 units for
// text, bytes for binary), WORD wType (1 text, 0 binary), the key in UTF-16 with its NUL, zero
// padding to 32 bits, the value, and its children, each starting on a 32-bit boundary.

constexpr std::size_t kNodeHeader = 6;
constexpr std::size_t kMaxDepth = 8;
constexpr WORD kTextType = 1;
constexpr BYTE kRoomMarker[4] = {'F', 'E', '2', 'X'};  // narrow copies of the strings follow

constexpr std::size_t align4(std::size_t offset) {
    return (offset + 3) & ~std::size_t{3};
}

struct Node {
    std::size_t offset = 0;
    std::size_t end = 0;  // offset + wLength
    WORD type = 0;
    std::size_t keyOffset = 0;
    std::size_t keyUnits = 0;  // without the NUL
    std::size_t valueOffset = 0;
    std::size_t valueBytes = 0;
    std::size_t childrenOffset = 0;
};

WORD wordAt(std::span<const BYTE> bytes, std::size_t offset) {
    return littleEndian<WORD>(bytes.data() + offset);
}

// The structure at `offset`, which must end at or before `limit`; nullopt when malformed.
std::optional<Node> nodeAt(std::span<const BYTE> bytes, std::size_t offset, std::size_t limit) {
    if (limit > bytes.size() || offset > limit || limit - offset < kNodeHeader) {
        return std::nullopt;
    }
    Node node;
    node.offset = offset;
    const WORD length = wordAt(bytes, offset);
    const WORD valueLength = wordAt(bytes, offset + 2);
    node.type = wordAt(bytes, offset + 4);
    if (length < kNodeHeader || length > limit - offset || node.type > kTextType) {
        return std::nullopt;
    }
    node.end = offset + length;
    node.keyOffset = offset + kNodeHeader;
    std::size_t at = node.keyOffset;
    while (true) {
        if (node.end - at < 2) {
            return std::nullopt;  // the key is not closed inside the structure
        }
        if (wordAt(bytes, at) == 0) {
            break;
        }
        at += 2;
    }
    node.keyUnits = (at - node.keyOffset) / 2;
    node.valueBytes = node.type == kTextType ? std::size_t{valueLength} * 2 : valueLength;
    node.valueOffset = std::min(align4(at + 2), node.end);
    if (node.valueBytes > node.end - node.valueOffset) {
        return std::nullopt;
    }
    node.childrenOffset = std::min(align4(node.valueOffset + node.valueBytes), node.end);
    return node;
}

// Calls `visit` for each child of `parent` until it returns false; false when a child is
// malformed.
bool forEachChild(std::span<const BYTE> bytes, const Node& parent,
                  const std::function<bool(const Node&)>& visit) {
    std::size_t at = parent.childrenOffset;
    while (at < parent.end) {
        const std::optional<Node> child = nodeAt(bytes, at, parent.end);
        if (!child) {
            return false;
        }
        if (!visit(*child)) {
            return true;
        }
        at = align4(child->end);
    }
    return true;
}

bool validTree(std::span<const BYTE> bytes, const Node& node, std::size_t depth) {
    if (depth > kMaxDepth) {
        return false;
    }
    bool valid = true;
    const bool wellFormed = forEachChild(bytes, node, [&](const Node& child) {
        valid = validTree(bytes, child, depth + 1);
        return valid;
    });
    return wellFormed && valid;
}

std::u16string keyOf(std::span<const BYTE> bytes, const Node& node) {
    std::u16string key(node.keyUnits, u'\0');
    for (std::size_t i = 0; i < node.keyUnits; ++i) {
        key[i] = static_cast<char16_t>(wordAt(bytes, node.keyOffset + 2 * i));
    }
    return key;
}

// UTF-16 units (up to the first NUL) as UTF-8; a lone surrogate becomes '?'.
std::string narrowFrom(std::span<const BYTE> bytes, std::size_t offset, std::size_t units) {
    std::string out;
    for (std::size_t i = 0; i < units; ++i) {
        char32_t c = wordAt(bytes, offset + 2 * i);
        if (c == 0) {
            break;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units) {
            const char32_t low = wordAt(bytes, offset + 2 * (i + 1));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF) {
            out.push_back('?');
        } else if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// The UTF-8 form of a UTF-16 key, for comparing it with a narrow query.
std::string narrowKey(const std::u16string& key) {
    std::vector<BYTE> raw(key.size() * 2);
    for (std::size_t i = 0; i < key.size(); ++i) {
        raw[2 * i] = static_cast<BYTE>(key[i] & 0xFF);
        raw[2 * i + 1] = static_cast<BYTE>(key[i] >> 8);
    }
    return narrowFrom(raw, 0, key.size());
}

// A block that GetFileVersionInfoA filled: the resource (length L), the marker, then room for
// the narrow copy of each text value. The copy of the value at resource offset p (a multiple
// of 4) starts at L + 4 + 3p/2: a value of n units needs at most 3n bytes with its NUL and the
// next value starts at least 2n + 8 bytes later, so the copies never overlap, and they all end
// within 2L bytes of room.
std::size_t blockSize(std::size_t resourceLength) {
    return 3 * resourceLength + sizeof kRoomMarker;
}
std::size_t narrowCopyOffset(std::size_t resourceLength, std::size_t valueOffset) {
    return resourceLength + sizeof kRoomMarker + valueOffset / 2 * 3;
}

std::optional<Node> rootOf(std::span<const BYTE> resource) {
    if (resource.size() < kNodeHeader) {
        return std::nullopt;
    }
    const std::size_t length = wordAt(resource, 0);
    std::optional<Node> root = nodeAt(resource, 0, std::min(resource.size(), length));
    if (!root || keyOf(resource, *root) != u"VS_VERSION_INFO" ||
        root->valueBytes != sizeof(VS_FIXEDFILEINFO) ||
        littleEndian<DWORD>(resource.data() + root->valueOffset) != VS_FFI_SIGNATURE) {
        return std::nullopt;
    }
    return root;
}

// Reads the file's version resource; ERROR_SUCCESS or the reason there is none.
LONG readVersionResource(const char* hostPath, std::vector<BYTE>& resource) {
    if (!hostPath) {
        return ERROR_INVALID_PARAMETER;
    }
    const PathResult<std::filesystem::path> native = hostToNative(hostPath);
    if (!native.ok()) {
        return native.error;
    }
    // Non-blocking, so that a named pipe given as the file cannot hold the caller up.
    FileDescriptor fd(::open(native.value.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        return errorFromErrno(errno, native.value);
    }
    struct stat facts {};
    if (::fstat(fd.get(), &facts) != 0) {
        return errorFromErrno(errno, native.value);
    }
    if (S_ISDIR(facts.st_mode)) {
        return ERROR_ACCESS_DENIED;
    }
    if (!S_ISREG(facts.st_mode)) {
        return ERROR_RESOURCE_DATA_NOT_FOUND;
    }
    const FileSource source(fd.get(), static_cast<std::uint64_t>(facts.st_size));
    std::optional<std::vector<BYTE>> section = versionSection(source);
    if (!section || !version_resource::isValid(*section)) {
        return ERROR_RESOURCE_DATA_NOT_FOUND;
    }
    section->resize(wordAt(*section, 0));
    resource = std::move(*section);
    return ERROR_SUCCESS;
}

}  // namespace

// -------------------------------------------------------------------------------------------------

namespace version_resource {

std::optional<std::vector<BYTE>> sectionOfElfImage(std::span<const BYTE> image) {
    return versionSection(MemorySource(image));
}

bool isValid(std::span<const BYTE> resource) {
    const std::optional<Node> root = rootOf(resource);
    return root && validTree(resource, *root, 0);
}

std::vector<BYTE> versionInfoBlock(std::span<const BYTE> resource) {
    if (!isValid(resource)) {
        return {};
    }
    const std::size_t length = wordAt(resource, 0);
    std::vector<BYTE> block(blockSize(length), 0);
    std::copy_n(resource.begin(), length, block.begin());
    std::copy(std::begin(kRoomMarker), std::end(kRoomMarker), block.begin() + length);
    const std::span<const BYTE> tree(block.data(), length);
    const std::function<void(const Node&)> copyStrings = [&](const Node& node) {
        if (node.type == kTextType && node.valueBytes > 0) {
            const std::string text = narrowFrom(tree, node.valueOffset, node.valueBytes / 2);
            std::copy(text.begin(), text.end(),
                      block.begin() +
                          static_cast<std::ptrdiff_t>(narrowCopyOffset(length, node.valueOffset)));
        }
        forEachChild(tree, node, [&](const Node& child) {
            copyStrings(child);
            return true;
        });
    };
    copyStrings(*rootOf(tree));
    return block;
}

}  // namespace version_resource

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
    if (!module) {
        module = programModule();
    }
    if (!isKnownModule(module) || module->file.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!buffer && size > 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::string path = nativeToHost(module->file);
    if (path.size() < size) {
        std::memcpy(buffer, path.c_str(), path.size() + 1);
        return static_cast<DWORD>(path.size());
    }
    std::memcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

HMODULE GetModuleHandleA(const char* name) {
    if (!name) {
        return programModule();
    }
    const std::string wanted = withDefaultExtension(name);
    std::vector<HINSTANCE> candidates = registeredModules();
    candidates.push_back(programModule());
    if (wanted.find_first_of("\\/:") != std::string::npos) {
        if (const PathResult<std::filesystem::path> native = hostToNative(wanted); native.ok()) {
            for (HINSTANCE module : candidates) {
                if (sameFile(module->file, native.value)) {
                    return module;
                }
            }
        }
    } else {
        for (HINSTANCE module : candidates) {
            if (!module->file.empty() &&
                equalsIgnoreCase(module->file.filename().string(), wanted)) {
                return module;
            }
        }
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

DWORD GetFileVersionInfoSizeA(const char* hostPath, DWORD* handle) {
    if (handle) {
        *handle = 0;
    }
    std::vector<BYTE> resource;
    if (const LONG error = readVersionResource(hostPath, resource); error != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(error));
        return 0;
    }
    return static_cast<DWORD>(blockSize(resource.size()));
}

BOOL GetFileVersionInfoA(const char* hostPath, DWORD /*handle*/, DWORD size, void* data) {
    if (!data) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    std::vector<BYTE> resource;
    if (const LONG error = readVersionResource(hostPath, resource); error != ERROR_SUCCESS) {
        return failWith(error);
    }
    const std::vector<BYTE> block = version_resource::versionInfoBlock(resource);
    if (size < block.size()) {
        return failWith(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(data, block.data(), block.size());
    return TRUE;
}

BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length) {
    if (length) {
        *length = 0;
    }
    if (!block || !buffer) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    // The caller's block holds the resource and, after it, the room for narrow copies.
    const auto* base = static_cast<const BYTE*>(block);
    const std::size_t resourceLength = littleEndian<WORD>(base);
    const std::span<const BYTE> resource(base, resourceLength);
    std::optional<Node> node = rootOf(resource);
    if (!node ||
        !std::equal(std::begin(kRoomMarker), std::end(kRoomMarker), base + resourceLength)) {
        return failWith(ERROR_INVALID_DATA);
    }
    std::string_view path = subBlock ? subBlock : "";
    while (!path.empty()) {
        if (path.front() == '\\') {
            path.remove_prefix(1);
            continue;
        }
        const std::string_view component = path.substr(0, path.find('\\'));
        path.remove_prefix(component.size());
        std::optional<Node> found;
        const bool wellFormed = forEachChild(resource, *node, [&](const Node& child) {
            if (equalsIgnoreCase(narrowKey(keyOf(resource, child)), component)) {
                found = child;
                return false;
            }
            return true;
        });
        if (!wellFormed) {
            return failWith(ERROR_INVALID_DATA);
        }
        if (!found) {
            return failWith(ERROR_RESOURCE_TYPE_NOT_FOUND);
        }
        node = found;
    }
    if (node->type == kTextType && node->valueBytes > 0) {
        const char* text = reinterpret_cast<const char*>(
            base + narrowCopyOffset(resourceLength, node->valueOffset));
        *buffer = const_cast<char*>(text);  // NOLINT: the Win32 signature hands out void*
        if (length) {
            *length = static_cast<UINT>(std::strlen(text) + 1);
        }
    } else {
        *buffer = const_cast<BYTE*>(base + node->valueOffset);  // NOLINT: as above
        if (length) {
            *length = static_cast<UINT>(node->valueBytes);
        }
    }
    return TRUE;
}

}  // namespace platform
