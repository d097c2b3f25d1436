#pragma once
// Files and folders in host (Windows) form, shaped as the Win32 and C runtime calls that
// callers know: finding files, file times, copying, the current folder, making folders,
// the logical drives and their types. Paths go through the Windows path namespace.

#include <cstdint>

#include "platform/win32_types.h"

namespace platform {

using UINT = unsigned int;

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;  // names that start with a dot
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;  // none of the others
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;  // UTC
    DWORD nFileSizeHigh = 0;
    DWORD nFileSizeLow = 0;
    DWORD dwReserved0 = 0;
    DWORD dwReserved1 = 0;
    char cFileName[MAX_PATH] = {};
    char cAlternateFileName[14] = {};  // no short names here: always empty
};

// Lists the entries of a folder that match the last name of pattern, ignoring letter case:
// '*' stands for any run of characters, '?' for one, and a '.' followed only by '*'s may also
// stand for the end of a name (so "*.*" matches every name, with or without a dot). Folders
// other than drive roots list "." and ".." first, then the rest by name. A pattern without
// wildcards finds that one entry. INVALID_HANDLE_VALUE and the last error on failure.
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);  // ERROR_NO_MORE_FILES at the end
BOOL FindClose(HANDLE find);                              // ERROR_INVALID_HANDLE if not open

DWORD GetFileAttributesA(const char* path);  // INVALID_FILE_ATTRIBUTES on failure

// FILETIME of a native time (seconds and nanoseconds since 1970, UTC).
FILETIME fileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds);

// The local time of a UTC file time, by the time zone rules in force at that instant (so
// mktime on the calendar time gives the instant back, across daylight-saving changes).
BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localFileTime);
// The calendar date and time of a file time; fails for values with the top bit set.
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);

// Copies a file with its contents, permissions and modification time. The copy is written
// beside the destination and renamed over it, so a failed copy never leaves half a file.
// A read-only destination is not replaced (ERROR_ACCESS_DENIED); with failIfExists an
// existing one is not either (ERROR_FILE_EXISTS).
BOOL CopyFileA(const char* existingFile, const char* newFile, BOOL failIfExists);

// The current folder, in host form (see current_folder.h).
DWORD GetCurrentDirectoryA(DWORD bufferLength, char* buffer);
BOOL SetCurrentDirectoryA(const char* path);
BOOL CreateDirectoryA(const char* path, const void* securityAttributes);

// The C runtime forms: 0 or -1 with errno (ENOENT, EEXIST, EACCES, ERANGE, EINVAL ...).
// _getcwd with a null buffer returns a malloc'ed one of at least size bytes.
char* _getcwd(char* buffer, int size);
int _chdir(const char* path);
int _mkdir(const char* path);

// Bit 0 for A: ... bit 25 for Z:, one for each drive link of the prefix.
DWORD GetLogicalDrives();

inline constexpr UINT DRIVE_UNKNOWN = 0;
inline constexpr UINT DRIVE_NO_ROOT_DIR = 1;
inline constexpr UINT DRIVE_REMOVABLE = 2;
inline constexpr UINT DRIVE_FIXED = 3;
inline constexpr UINT DRIVE_REMOTE = 4;
inline constexpr UINT DRIVE_CDROM = 5;
inline constexpr UINT DRIVE_RAMDISK = 6;

// The type of a drive ("C:\", "C:", "\\server\share\"; null for the current drive), from
// what its link points at: a missing link or target is DRIVE_NO_ROOT_DIR.
UINT GetDriveTypeA(const char* rootPath);

}  // namespace platform
