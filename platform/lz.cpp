#include "platform/lz.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/errno_map.h"
#include "platform/file_descriptor.h"
#include "platform/host_path.h"

namespace platform {

namespace {

constexpr std::array<BYTE, 8> kSignature = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
constexpr std::size_t kHeaderSize = 14;
constexpr BYTE kMethodA = 'A';
constexpr std::size_t kWindowSize = 4096;
constexpr std::size_t kWindowStart = kWindowSize - 16;
// One flag byte governs eight items; a back reference of two bytes yields at most 18.
constexpr std::size_t kMaxOutputPerInputByte = 9;

std::uint32_t readLittleEndian32(std::span<const BYTE> bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The LZSS stream: flag bits from the least significant up, 1 for a literal byte, 0 for a
// reference of 12 bits position and 4 bits length - 3 into a window that starts as spaces.
INT expandStream(std::span<const BYTE> in, std::vector<BYTE>& out, std::size_t length) {
    std::array<BYTE, kWindowSize> window;
    window.fill(' ');
    std::size_t windowPos = kWindowStart;
    std::size_t at = 0;
    const auto emit = [&](BYTE b) {
        out.push_back(b);
        window[windowPos] = b;
        windowPos = (windowPos + 1) % kWindowSize;
    };
    while (out.size() < length) {
        if (at >= in.size()) {
            return LZERROR_READ;
        }
        const BYTE flags = in[at++];
        for (int bit = 0; bit < 8 && out.size() < length; ++bit) {
            if (flags & (1u << bit)) {
                if (at >= in.size()) {
                    return LZERROR_READ;
                }
                emit(in[at++]);
                continue;
            }
            if (in.size() - at < 2) {
                return LZERROR_READ;
            }
            std::size_t from = in[at] | (static_cast<std::size_t>(in[at + 1] & 0xF0) << 4);
            const std::size_t count = (in[at + 1] & 0x0F) + 3u;
            at += 2;
            if (count > length - out.size()) {
                return LZERROR_READ;
            }
            for (std::size_t i = 0; i < count; ++i) {
                emit(window[from]);
                from = (from + 1) % kWindowSize;
            }
        }
    }
    return 0;  // the compressor may pad the stream after the last item
}

struct OpenFile {
    std::vector<BYTE> bytes;
    std::size_t position = 0;
};

std::mutex openFilesMutex;
std::map<INT, OpenFile> openFiles;
INT nextHandle = 0x400;  // where Windows starts its LZ handles

INT readWholeFile(const char* fileName, std::vector<BYTE>& bytes, WORD& error) {
    const auto native = fileName ? hostToNative(fileName) : PathResult<std::filesystem::path>{};
    if (fileName == nullptr || !native.ok()) {
        error = static_cast<WORD>(fileName ? native.error : ERROR_INVALID_PARAMETER);
        return LZERROR_BADINHANDLE;
    }
    FileDescriptor fd(::open(native.value.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
        error = static_cast<WORD>(errorFromErrno(errno, native.value));
        return LZERROR_BADINHANDLE;
    }
    if (!S_ISREG(st.st_mode)) {
        error = static_cast<WORD>(ERROR_ACCESS_DENIED);
        return LZERROR_BADINHANDLE;
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxCompressedFileSize) {
        return LZERROR_GLOBALLOC;
    }
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return LZERROR_READ;
        }
        done += static_cast<std::size_t>(got);
    }
    return 0;
}

}  // namespace

bool isSzdd(std::span<const BYTE> file) {
    return file.size() >= kSignature.size() &&
           std::equal(kSignature.begin(), kSignature.end(), file.begin());
}

SzddExpansion expandSzdd(std::span<const BYTE> file) {
    SzddExpansion result;
    if (!isSzdd(file) || file.size() < kHeaderSize) {
        result.error = LZERROR_READ;
        return result;
    }
    if (file[8] != kMethodA) {
        result.error = LZERROR_UNKNOWNALG;
        return result;
    }
    const std::size_t length = readLittleEndian32(file.subspan(10, 4));
    const auto stream = file.subspan(kHeaderSize);
    if (length > stream.size() * kMaxOutputPerInputByte) {
        result.error = LZERROR_BADVALUE;
        return result;
    }
    result.bytes.reserve(length);
    result.error = expandStream(stream, result.bytes, length);
    if (result.error != 0) {
        result.bytes.clear();
    }
    return result;
}

INT LZOpenFileA(const char* fileName, OFSTRUCT* reOpenBuffer, WORD style) {
    OFSTRUCT ignored;
    OFSTRUCT& of = reOpenBuffer ? *reOpenBuffer : ignored;
    of = OFSTRUCT{};
    if (fileName != nullptr) {
        std::strncpy(of.szPathName, fileName, sizeof of.szPathName - 1);
    }
    if (style != OF_READ) {
        of.nErrCode = static_cast<WORD>(ERROR_ACCESS_DENIED);
        return LZERROR_BADVALUE;
    }
    std::vector<BYTE> bytes;
    if (const INT error = readWholeFile(fileName, bytes, of.nErrCode); error != 0) {
        return error;
    }
    OpenFile open;
    if (isSzdd(bytes)) {
        auto expansion = expandSzdd(bytes);
        if (expansion.error != 0) {
            return expansion.error;
        }
        open.bytes = std::move(expansion.bytes);
    } else {
        open.bytes = std::move(bytes);
    }
    std::lock_guard lock(openFilesMutex);
    const INT handle = nextHandle++;
    openFiles.emplace(handle, std::move(open));
    return handle;
}

LONG LZSeek(INT file, LONG offset, INT origin) {
    std::lock_guard lock(openFilesMutex);
    const auto it = openFiles.find(file);
    if (it == openFiles.end()) {
        return LZERROR_BADINHANDLE;
    }
    OpenFile& open = it->second;
    std::int64_t base = 0;
    switch (origin) {
        case 0:
            base = 0;
            break;
        case 1:
            base = static_cast<std::int64_t>(open.position);
            break;
        case 2:
            base = static_cast<std::int64_t>(open.bytes.size());
            break;
        default:
            return LZERROR_BADVALUE;
    }
    const std::int64_t target = base + offset;
    if (target < 0 || target > static_cast<std::int64_t>(open.bytes.size())) {
        return LZERROR_BADVALUE;
    }
    open.position = static_cast<std::size_t>(target);
    return static_cast<LONG>(target);
}

INT LZRead(INT file, char* buffer, INT count) {
    std::lock_guard lock(openFilesMutex);
    const auto it = openFiles.find(file);
    if (it == openFiles.end()) {
        return LZERROR_BADINHANDLE;
    }
    if (count < 0 || (buffer == nullptr && count > 0)) {
        return LZERROR_BADVALUE;
    }
    OpenFile& open = it->second;
    const std::size_t n =
        std::min(static_cast<std::size_t>(count), open.bytes.size() - open.position);
    if (n > 0) {
        std::memcpy(buffer, open.bytes.data() + open.position, n);
    }
    open.position += n;
    return static_cast<INT>(n);
}

void LZClose(INT file) {
    std::lock_guard lock(openFilesMutex);
    openFiles.erase(file);
}

}  // namespace platform
