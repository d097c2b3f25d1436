#include "platform/version_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/host_path.h"
#include "support/temp_prefix.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

std::vector<BYTE> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

template <class T>
T valueAt(const std::vector<BYTE>& bytes, std::size_t offset) {
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

template <class T>
void putAt(std::vector<BYTE>& bytes, std::size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

// A registered module for the length of a test.
class RegisteredModule {
  public:
    explicit RegisteredModule(const fs::path& file) : module_{file, file.parent_path()} {
        registerModule(&module_);
    }
    ~RegisteredModule() { unregisterModule(&module_); }
    RegisteredModule(const RegisteredModule&) = delete;
    RegisteredModule& operator=(const RegisteredModule&) = delete;
    HMODULE handle() { return &module_; }

  private:
    HINSTANCE__ module_;
};

std::vector<BYTE> versionInfoOf(const std::string& hostPath) {
    DWORD handle = 7;
    const DWORD size = GetFileVersionInfoSizeA(hostPath.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    std::vector<BYTE> data(size);
    if (size == 0 || !GetFileVersionInfoA(hostPath.c_str(), 0, size, data.data())) {
        return {};
    }
    return data;
}

std::string stringValue(const std::vector<BYTE>& data, const char* subBlock) {
    void* buffer = nullptr;
    UINT length = 99;
    if (!VerQueryValueA(data.data(), subBlock, &buffer, &length)) {
        EXPECT_EQ(length, 0u);
        return "<missing>";
    }
    const auto* text = static_cast<const char*>(buffer);
    EXPECT_EQ(length, std::strlen(text) + 1) << subBlock;
    return text;
}

class VersionInfoTest : public ::testing::Test {
  protected:
    testsupport::TempPrefix prefix;
    const fs::path modulePath = VERSION_TEST_MODULE;
    const std::string moduleHost = nativeToHost(modulePath);
};

// --- module file names and handles ---------------------------------------------------------

TEST_F(VersionInfoTest, ModuleFileNameIsTheHostPathOfTheModuleOrTheProgram) {
    RegisteredModule module(modulePath);
    char buffer[4096];
    const DWORD length = GetModuleFileNameA(module.handle(), buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), moduleHost);
    EXPECT_EQ(length, moduleHost.size());
    EXPECT_EQ(moduleHost.find('/'), std::string::npos);

    const std::string program = nativeToHost(fs::read_symlink("/proc/self/exe"));
    ASSERT_EQ(GetModuleFileNameA(nullptr, buffer, sizeof buffer), program.size());
    EXPECT_EQ(std::string(buffer), program);
    EXPECT_EQ(GetModuleFileNameA(GetModuleHandleA(nullptr), buffer, sizeof buffer), program.size());

    HINSTANCE__ unregistered{modulePath, modulePath.parent_path()};
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(&unregistered, buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(VersionInfoTest, ModuleFileNameInABufferTooSmallIsCutAndSaysSo) {
    RegisteredModule module(modulePath);
    const DWORD length = static_cast<DWORD>(moduleHost.size());
    std::vector<char> buffer(length + 1, 'x');

    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(module.handle(), buffer.data(), length + 1), length);
    EXPECT_EQ(GetLastError(), 0u);  // just fits: the NUL has its place

    EXPECT_EQ(GetModuleFileNameA(module.handle(), buffer.data(), length), length);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(buffer.data()), moduleHost.substr(0, length - 1));

    EXPECT_EQ(GetModuleFileNameA(module.handle(), buffer.data(), 1), 1u);
    EXPECT_EQ(buffer[0], '\0');
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(module.handle(), buffer.data(), 0), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(VersionInfoTest, ModuleHandleByHostPathOrFileNameIgnoringCase) {
    const fs::path helper = prefix.scratch() / "Helper.dll";
    fs::copy_file(modulePath, helper);
    RegisteredModule module(modulePath);
    RegisteredModule helperModule(helper);

    std::string upper = moduleHost;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    EXPECT_EQ(GetModuleHandleA(moduleHost.c_str()), module.handle());
    EXPECT_EQ(GetModuleHandleA(upper.c_str()), module.handle());
    EXPECT_EQ(GetModuleHandleA(modulePath.filename().c_str()), module.handle());
    EXPECT_EQ(GetModuleHandleA("LIBVERSION_TEST_MODULE.SO"), module.handle());
    EXPECT_EQ(GetModuleHandleA(nativeToHost(helper).c_str()), helperModule.handle());
    // Without extension the name is taken as a .dll, as Windows takes it.
    EXPECT_EQ(GetModuleHandleA("helper"), helperModule.handle());
    EXPECT_EQ(GetModuleHandleA("helper."), nullptr);
    EXPECT_EQ(GetModuleHandleA("libversion_test_module"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(GetModuleHandleA("C:\\no\\such\\module.arx"), nullptr);
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}

TEST_F(VersionInfoTest, UnregisteredModulesAreNoLongerFound) {
    {
        RegisteredModule module(modulePath);
        ASSERT_NE(GetModuleHandleA(moduleHost.c_str()), nullptr);
    }
    EXPECT_EQ(GetModuleHandleA(moduleHost.c_str()), nullptr);
}

// --- the resource read back from the built module -------------------------------------------

TEST_F(VersionInfoTest, TheModuleFileCarriesTheGeneratedResourceByteForByte) {
    const std::vector<BYTE> generated = readFile(VERSION_TEST_RESOURCE);
    ASSERT_GT(generated.size(), 92u);
    const auto section = version_resource::sectionOfElfImage(readFile(modulePath));
    ASSERT_TRUE(section);
    EXPECT_EQ(*section, generated);
    const std::vector<BYTE> data = versionInfoOf(moduleHost);
    ASSERT_GE(data.size(), generated.size());
    EXPECT_TRUE(std::equal(generated.begin(), generated.end(), data.begin()));

    // The layout Windows' resource compiler writes: the root's length covers the whole
    // resource, its key starts at 6, the fixed block at 40 (after the key's padding), the
    // string file info at 92; the first string of the table has its value length in UTF-16
    // units with the NUL; the translation is the resource's last 4 bytes.
    EXPECT_EQ(valueAt<WORD>(generated, 0), generated.size());
    EXPECT_EQ(valueAt<WORD>(generated, 2), 52);
    EXPECT_EQ(valueAt<WORD>(generated, 4), 0);
    EXPECT_EQ(valueAt<DWORD>(generated, 40), VS_FFI_SIGNATURE);
    EXPECT_EQ(valueAt<WORD>(generated, 92) + 92u + 0x44u, generated.size());  // + VarFileInfo
    EXPECT_EQ(valueAt<WORD>(generated, 94), 0);
    EXPECT_EQ(valueAt<WORD>(generated, 96), 1);
    const std::size_t firstString = 92 + 36 + 24;  // after both block headers
    EXPECT_EQ(valueAt<WORD>(generated, firstString + 2),
              std::strlen("Linkhold development team") + 1);
    EXPECT_EQ(valueAt<DWORD>(generated, generated.size() - 4), 0x04b00409u);
}

TEST_F(VersionInfoTest, FixedBlockAndTranslationOfThePluginDescription) {
    const std::vector<BYTE> data = versionInfoOf(moduleHost);
    ASSERT_FALSE(data.empty());
    void* buffer = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", &buffer, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, buffer, sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwStrucVersion, 0x00010000u);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00010004u);
    EXPECT_EQ(fixed.dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed.dwProductVersionMS, 0x00010004u);
    EXPECT_EQ(fixed.dwProductVersionLS, 0x00000000u);
    EXPECT_EQ(fixed.dwFileFlagsMask, VS_FFI_FILEFLAGSMASK);
    EXPECT_EQ(fixed.dwFileFlags, 0u);
    EXPECT_EQ(fixed.dwFileOS, VOS_NT_WINDOWS32);
    EXPECT_EQ(fixed.dwFileType, VFT_DLL);
    EXPECT_EQ(fixed.dwFileSubtype, 0u);
    EXPECT_EQ(fixed.dwFileDateMS | fixed.dwFileDateLS, 0u);

    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &buffer, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(LOWORD(*static_cast<const DWORD*>(buffer)), 0x0409);
    EXPECT_EQ(HIWORD(*static_cast<const DWORD*>(buffer)), 0x04b0);
    // The empty sub-block is the root too.
    ASSERT_TRUE(VerQueryValueA(data.data(), "", &buffer, &length));
    EXPECT_EQ(length, 52u);
}

TEST_F(VersionInfoTest, StringValuesWithKeysIgnoringCase) {
    const std::vector<BYTE> data = versionInfoOf(moduleHost);
    ASSERT_FALSE(data.empty());
    const auto value = [&](const std::string& name) {
        return stringValue(data, ("\\StringFileInfo\\040904b0\\" + name).c_str());
    };
    EXPECT_EQ(value("ProductName"), "Linkhold");
    EXPECT_EQ(value("InternalName"), "Linkhold");
    EXPECT_EQ(value("FileDescription"), "Linkhold ObjectARX application");
    EXPECT_EQ(value("OriginalFilename"), "lnkhold.arx");
    EXPECT_EQ(value("FileVersion"), "1, 4, 0, 1");
    EXPECT_EQ(value("ProductVersion"), "1, 4, 0, 0");
    EXPECT_NE(value("CompanyName"), "<missing>");
    EXPECT_NE(value("LegalCopyright"), "<missing>");
    EXPECT_EQ(stringValue(data, "\\stringfileinfo\\040904B0\\PRODUCTNAME"), "Linkhold");
    EXPECT_EQ(stringValue(data, "\\\\StringFileInfo\\\\040904b0\\ProductName\\"), "Linkhold");
}

TEST_F(VersionInfoTest, MissingValuesAreNotFound) {
    const std::vector<BYTE> data = versionInfoOf(moduleHost);
    ASSERT_FALSE(data.empty());
    for (const char* missing :
         {"\\StringFileInfo\\040904b0\\Comments", "\\StringFileInfo\\040904b0\\Product",
          "\\StringFileInfo\\040904b0\\ProductNameX", "\\StringFileInfo\\040904e4\\ProductName",
          "\\StringFileInfo\\040904b0\\ProductName\\More", "\\NoSuchBlock"}) {
        SetLastError(0);
        EXPECT_EQ(stringValue(data, missing), "<missing>") << missing;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND)) << missing;
    }
    // A block that is not version information at all.
    const std::vector<BYTE> zeros(64, 0);
    void* buffer = nullptr;
    UINT length = 0;
    EXPECT_FALSE(VerQueryValueA(zeros.data(), "\\", &buffer, &length));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    // Nor is the bare resource, which lacks the room for the narrow strings.
    std::vector<BYTE> bare = readFile(VERSION_TEST_RESOURCE);
    bare.resize(bare.size() + 4);
    EXPECT_FALSE(VerQueryValueA(bare.data(), "\\", &buffer, &length));
}

TEST_F(VersionInfoTest, NonAsciiTextFlagsAndAnotherTranslation) {
    const std::vector<BYTE> data = versionInfoOf(nativeToHost(UNUSUAL_VERSION_MODULE));
    ASSERT_FALSE(data.empty());
    void* buffer = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", &buffer, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(buffer);
    EXPECT_EQ(fixed->dwFileVersionMS, 0xFFFF0000u);
    EXPECT_EQ(fixed->dwFileVersionLS, (300u << 16) | 7u);
    EXPECT_EQ(fixed->dwProductVersionMS, (2u << 16) | 10u);
    EXPECT_EQ(fixed->dwFileFlags, VS_FF_DEBUG | VS_FF_PRERELEASE);
    EXPECT_EQ(fixed->dwFileType, VFT_APP);
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &buffer, &length));
    EXPECT_EQ(*static_cast<const DWORD*>(buffer), 0x04e40407u);
    EXPECT_EQ(stringValue(data, "\\StringFileInfo\\040704e4\\ProductName"),
              "Gr\xC3\xB6\xC3\x9F"
              "e \"\xCE\xA9\" \xE8\xA1\xA8\\");
    EXPECT_EQ(stringValue(data, "\\StringFileInfo\\040704e4\\Comments"), "");
    EXPECT_EQ(stringValue(data, "\\StringFileInfo\\040704e4\\FileVersion"), "65535, 0, 300, 7");
}

TEST_F(VersionInfoTest, GetFileVersionInfoRefusesABufferTooSmall) {
    const DWORD size = GetFileVersionInfoSizeA(moduleHost.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size - 1, 0xAB);
    EXPECT_FALSE(GetFileVersionInfoA(moduleHost.c_str(), 0, size - 1, data.data()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_TRUE(std::all_of(data.begin(), data.end(), [](BYTE b) { return b == 0xAB; }));
}

// --- files without a (valid) resource ------------------------------------------------------

TEST_F(VersionInfoTest, FilesWithoutAResourceHaveNone) {
    const fs::path scratch = prefix.scratch();
    writeFile(scratch / "empty.arx", {});
    writeFile(scratch / "text.arx", std::vector<BYTE>(5000, 'a'));
    fs::create_directory(scratch / "folder.arx");
    struct Case {
        std::string host;
        LONG error;
    } cases[] = {
        {nativeToHost(fs::read_symlink("/proc/self/exe")), ERROR_RESOURCE_DATA_NOT_FOUND},
        {nativeToHost(scratch / "empty.arx"), ERROR_RESOURCE_DATA_NOT_FOUND},
        {nativeToHost(scratch / "text.arx"), ERROR_RESOURCE_DATA_NOT_FOUND},
        {nativeToHost(scratch / "folder.arx"), ERROR_ACCESS_DENIED},
        {nativeToHost(scratch / "missing.arx"), ERROR_FILE_NOT_FOUND},
        {nativeToHost(scratch / "nofolder" / "missing.arx"), ERROR_PATH_NOT_FOUND},
        {"Q:\\nodrive.arx", ERROR_INVALID_DRIVE},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(GetFileVersionInfoSizeA(c.host.c_str(), nullptr), 0u) << c.host;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.error)) << c.host;
        BYTE data[4096];
        EXPECT_FALSE(GetFileVersionInfoA(c.host.c_str(), 0, sizeof data, data)) << c.host;
    }
    EXPECT_EQ(GetFileVersionInfoSizeA(nullptr, nullptr), 0u);
}

// Where the version section's header lies in an ELF64 image whose section data starts at
// `dataOffset`.
std::size_t sectionHeaderOffset(const std::vector<BYTE>& image, std::size_t dataOffset) {
    const auto table = valueAt<std::uint64_t>(image, 0x28);
    const auto entrySize = valueAt<std::uint16_t>(image, 0x3A);
    const auto count = valueAt<std::uint16_t>(image, 0x3C);
    for (std::size_t i = 0; i < count; ++i) {
        if (valueAt<std::uint64_t>(image, table + i * entrySize + 0x18) == dataOffset) {
            return table + i * entrySize;
        }
    }
    return 0;
}

TEST_F(VersionInfoTest, TruncatedAndHostileElfFilesHaveNoResource) {
    const std::vector<BYTE> image = readFile(modulePath);
    const std::vector<BYTE> resource = readFile(VERSION_TEST_RESOURCE);
    const auto found = std::search(image.begin(), image.end(), resource.begin(), resource.end());
    ASSERT_NE(found, image.end());
    const std::size_t dataOffset = static_cast<std::size_t>(found - image.begin());
    const std::size_t header = sectionHeaderOffset(image, dataOffset);
    ASSERT_NE(header, 0u);

    // Every cut of the file (the section headers come last, so every cut loses them).
    for (std::size_t size = 0; size < image.size(); ++size) {
        ASSERT_FALSE(version_resource::sectionOfElfImage({image.data(), size})) << size;
    }
    const fs::path cut = prefix.scratch() / "cut.arx";
    writeFile(cut, {image.begin(), image.end() - 1});
    EXPECT_EQ(GetFileVersionInfoSizeA(nativeToHost(cut).c_str(), nullptr), 0u);

    struct Mutation {
        const char* what;
        std::size_t offset;
        std::uint64_t value;
        std::size_t width;
    } mutations[] = {
        {"section data past the end", header + 0x18, image.size() - 10, 8},
        {"section data far away", header + 0x18, ~std::uint64_t{0} - 2, 8},
        {"section size past the end", header + 0x20, image.size(), 8},
        {"section size over 64 KiB", header + 0x20, 0x10001, 8},
        {"section without bytes in the file", header + 4, 8 /* SHT_NOBITS */, 4},
        {"section name outside the name table", header, 0xFFFFFFF0u, 4},
        {"section headers past the end", 0x28, image.size() - 32, 8},
        {"section headers wrap around", 0x28, ~std::uint64_t{0} - 63, 8},
        {"section headers too small", 0x3A, 40, 2},
        {"too many sections", 0x3C, 0xFFFE, 2},
        {"name table index out of range", 0x3E, 0xFFF0, 2},
        {"count kept in section 0 (and huge)", 0x3C, 0, 2},
        {"32-bit file", 4, 1, 1},
        {"big-endian file", 5, 2, 1},
    };
    for (const Mutation& m : mutations) {
        std::vector<BYTE> hostile = image;
        std::memcpy(hostile.data() + m.offset, &m.value, m.width);
        if (std::string(m.what).starts_with("count kept")) {
            putAt<std::uint64_t>(hostile, valueAt<std::uint64_t>(image, 0x28) + 0x20,
                                 ~std::uint64_t{0});
        }
        EXPECT_FALSE(version_resource::sectionOfElfImage(hostile)) << m.what;
    }

    // A valid file with its resource spoiled: the signature is checked.
    std::vector<BYTE> spoiled = image;
    spoiled[dataOffset + 40] ^= 0xFF;
    const fs::path spoiledPath = prefix.scratch() / "spoiled.arx";
    writeFile(spoiledPath, spoiled);
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeA(nativeToHost(spoiledPath).c_str(), nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
}

TEST_F(VersionInfoTest, MalformedStructuresAreRefusedWhole) {
    const std::vector<BYTE> resource = readFile(VERSION_TEST_RESOURCE);
    ASSERT_TRUE(version_resource::isValid(resource));
    const std::size_t stringFileInfo = 92;
    const std::size_t firstString = 92 + 36 + 24;
    struct Spoil {
        const char* what;
        std::size_t offset;
        WORD value;
    } spoils[] = {
        {"root longer than the resource", 0, static_cast<WORD>(resource.size() + 4)},
        {"root shorter than its fixed block", 0, 60},
        {"fixed block of another size", 2, 48},
        {"root key misspelt", 6, 'v'},
        {"child of length 0", stringFileInfo, 0},
        {"child longer than its parent", stringFileInfo, 0xFFF0},
        {"child that is only a header", firstString, 6},
        {"value longer than its string", firstString + 2, 200},
        {"unknown value type", firstString + 4, 2},
    };
    for (const Spoil& s : spoils) {
        std::vector<BYTE> bad = resource;
        putAt<WORD>(bad, s.offset, s.value);
        EXPECT_FALSE(version_resource::isValid(bad)) << s.what;
        EXPECT_TRUE(version_resource::versionInfoBlock(bad).empty()) << s.what;
    }
    // A key without its closing NUL inside the structure.
    std::vector<BYTE> open = resource;
    const WORD stringLength = valueAt<WORD>(resource, firstString);
    for (std::size_t at = firstString + 6; at < firstString + stringLength; at += 2) {
        putAt<WORD>(open, at, 'x');
    }
    EXPECT_FALSE(version_resource::isValid(open));

    // Whatever single byte is changed, the resource is refused or every query stays inside it.
    for (std::size_t at = 0; at < resource.size(); ++at) {
        for (BYTE value : {BYTE{0}, BYTE{0x01}, BYTE{0x7F}, BYTE{0xFF}}) {
            std::vector<BYTE> changed = resource;
            changed[at] = value;
            const std::vector<BYTE> block = version_resource::versionInfoBlock(changed);
            if (block.empty()) {
                continue;
            }
            void* buffer = nullptr;
            UINT length = 0;
            for (const char* query :
                 {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904b0\\ProductName",
                  "\\StringFileInfo\\040904b0\\LegalCopyright"}) {
                if (VerQueryValueA(block.data(), query, &buffer, &length)) {
                    const auto* p = static_cast<const BYTE*>(buffer);
                    ASSERT_GE(p, block.data());
                    ASSERT_LE(p + length, block.data() + block.size());
                }
            }
        }
    }
}

}  // namespace
