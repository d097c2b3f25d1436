#pragma once
// Reading files compressed with the COMPRESS tool's SZDD format, shaped as the Windows LZ
// expansion calls. A file without the SZDD signature is read as it is, as Windows does.
// The whole expansion happens at open time, in memory bounded by the file's size: a header
// that claims more output than its data could produce is refused, as is every malformed or
// truncated stream.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/win32_types.h"

namespace platform {

using INT = int;

inline constexpr INT LZERROR_BADINHANDLE = -1;
inline constexpr INT LZERROR_BADOUTHANDLE = -2;
inline constexpr INT LZERROR_READ = -3;
inline constexpr INT LZERROR_WRITE = -4;
inline constexpr INT LZERROR_GLOBALLOC = -5;
inline constexpr INT LZERROR_GLOBLOCK = -6;
inline constexpr INT LZERROR_BADVALUE = -7;
inline constexpr INT LZERROR_UNKNOWNALG = -8;

inline constexpr WORD OF_READ = 0x0000;

struct OFSTRUCT {
    BYTE cBytes = sizeof(OFSTRUCT);
    BYTE fFixedDisk = 0;
    WORD nErrCode = 0;  // the Win32 error when the open fails
    WORD Reserved1 = 0;
    WORD Reserved2 = 0;
    char szPathName[128] = {};
};

// Compressed files larger than this are refused (LZERROR_GLOBALLOC).
inline constexpr std::size_t kMaxCompressedFileSize = 16u << 20;

struct SzddExpansion {
    INT error = 0;  // 0 or an LZERROR_ code
    std::vector<BYTE> bytes;
};

// Expands one SZDD file image; LZERROR_UNKNOWNALG for an unknown method, LZERROR_READ for a
// short header or a stream that ends early or runs past the stated length (bytes after the
// stated length are padding), LZERROR_BADVALUE for a stated length the data cannot produce.
SzddExpansion expandSzdd(std::span<const BYTE> file);
bool isSzdd(std::span<const BYTE> file);

// Only read access is offered. The handle (>= 0) or an LZERROR_ code.
INT LZOpenFileA(const char* fileName, OFSTRUCT* reOpenBuffer, WORD style);
// origin 0 = from the start, 1 = from the current position, 2 = from the end. The new
// position, or LZERROR_BADVALUE for a position before the start, LZERROR_BADINHANDLE.
LONG LZSeek(INT file, LONG offset, INT origin);
// The number of bytes read (0 at the end) or an LZERROR_ code.
INT LZRead(INT file, char* buffer, INT count);
void LZClose(INT file);

}  // namespace platform
