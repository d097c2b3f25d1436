#pragma once
// Module file names and version resources, shaped as the Win32 calls that read them.
//
// A module's version resource is the VS_VERSIONINFO structure of Windows, byte for byte, carried
// in the ELF section ".rsrc.version" of the module's file (the build puts it there, see
// cmake/VersionResource.cmake). Reading takes it from the file on disk: the ELF headers are
// checked against the file's size before anything is read through them, and the structure is
// checked whole (every block inside its parent, keys closed, a fixed block with its signature)
// before a byte of it is handed out. A file that fails any check has no version resource.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/module_handle.h"
#include "platform/win32_types.h"

namespace platform {

using UINT = unsigned int;

// The fixed part of a version resource (52 bytes), as Windows lays it out.
struct VS_FIXEDFILEINFO {
    DWORD dwSignature = 0;  // VS_FFI_SIGNATURE
    DWORD dwStrucVersion = 0;
    DWORD dwFileVersionMS = 0;  // high word major, low word minor
    DWORD dwFileVersionLS = 0;  // high word build, low word revision
    DWORD dwProductVersionMS = 0;
    DWORD dwProductVersionLS = 0;
    DWORD dwFileFlagsMask = 0;
    DWORD dwFileFlags = 0;
    DWORD dwFileOS = 0;
    DWORD dwFileType = 0;
    DWORD dwFileSubtype = 0;
    DWORD dwFileDateMS = 0;
    DWORD dwFileDateLS = 0;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

inline constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
inline constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;
inline constexpr DWORD VS_FFI_FILEFLAGSMASK = 0x0000003F;
inline constexpr DWORD VS_FF_DEBUG = 0x01;
inline constexpr DWORD VS_FF_PRERELEASE = 0x02;
inline constexpr DWORD VS_FF_PATCHED = 0x04;
inline constexpr DWORD VS_FF_PRIVATEBUILD = 0x08;
inline constexpr DWORD VS_FF_INFOINFERRED = 0x10;
inline constexpr DWORD VS_FF_SPECIALBUILD = 0x20;
inline constexpr DWORD VOS_UNKNOWN = 0x00000000;
inline constexpr DWORD VOS__WINDOWS32 = 0x00000004;
inline constexpr DWORD VOS_NT = 0x00040000;
inline constexpr DWORD VOS_NT_WINDOWS32 = 0x00040004;
inline constexpr DWORD VFT_UNKNOWN = 0;
inline constexpr DWORD VFT_APP = 1;
inline constexpr DWORD VFT_DLL = 2;

inline constexpr WORD LOWORD(DWORD value) {
    return static_cast<WORD>(value & 0xFFFF);
}
inline constexpr WORD HIWORD(DWORD value) {
    return static_cast<WORD>(value >> 16);
}

// The host path of the module's file, NUL-terminated; a null handle is the running program.
// Returns the length without the NUL. A buffer too small gets as much as fits, NUL-terminated,
// the result is `size` and the last error ERROR_INSUFFICIENT_BUFFER (as Windows does it), so a
// result equal to `size` always means a cut path. 0 with ERROR_MOD_NOT_FOUND for a handle that
// names no registered module.
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);

// The registered module whose file is `name`: a host path (the same file, whatever the letter
// case or spelling), or a bare file name compared ignoring case. A name without extension gets
// ".dll" as Windows adds it; a trailing dot means no extension. A null name is the running
// program. Null with ERROR_MOD_NOT_FOUND when no module matches.
HMODULE GetModuleHandleA(const char* name);

// The size a buffer needs for GetFileVersionInfoA on that file; 0 when it has no valid version
// resource (last error ERROR_RESOURCE_DATA_NOT_FOUND), or when the file cannot be read (the
// file error, e.g. ERROR_FILE_NOT_FOUND). *handle, when given, is set to 0. The size covers the
// resource and room for the narrow copies of its strings that VerQueryValueA hands out.
DWORD GetFileVersionInfoSizeA(const char* hostPath, DWORD* handle);

// Fills `data` with the version information of the file. `handle` is ignored. Unlike Windows,
// a buffer smaller than GetFileVersionInfoSizeA's result is refused (ERROR_INSUFFICIENT_BUFFER)
// rather than filled with a cut copy that later queries would read past.
BOOL GetFileVersionInfoA(const char* hostPath, DWORD handle, DWORD size, void* data);

// Looks a value up in version information filled by GetFileVersionInfoA:
//   "\"                                   the VS_FIXEDFILEINFO, length 52
//   "\VarFileInfo\Translation"            language and code page pairs, length in bytes
//   "\StringFileInfo\040904b0\<Name>"     the string as narrow (UTF-8) text, length in bytes
//                                         with the closing NUL
// Keys compare ignoring case; empty components (doubled backslashes) are skipped, and an empty
// or null sub-block is the root. FALSE with ERROR_RESOURCE_TYPE_NOT_FOUND when there is no
// such value, ERROR_INVALID_DATA for a block that is not version information.
BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length);

// The pieces the calls above are made of, for tests and the fuzz target.
namespace version_resource {

// The name of the ELF section that carries a module's version resource.
inline constexpr std::string_view kSectionName = ".rsrc.version";
// Longer sections are not version resources: a resource's length is a 16-bit number.
inline constexpr std::size_t kMaxResourceSize = 0xFFFF;

// The contents of the version section of an ELF64 (little-endian) file image; nullopt when the
// image is not such a file, is cut short, or has no such section.
std::optional<std::vector<BYTE>> sectionOfElfImage(std::span<const BYTE> image);

// Whether `resource` holds one well-formed VS_VERSIONINFO structure with a fixed block whose
// signature is VS_FFI_SIGNATURE (bytes after the structure's length are ignored).
bool isValid(std::span<const BYTE> resource);

// What GetFileVersionInfoA fills a buffer with for a valid resource; empty for an invalid one.
std::vector<BYTE> versionInfoBlock(std::span<const BYTE> resource);

}  // namespace version_resource

}  // namespace platform
