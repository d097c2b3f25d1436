#include "dxf_test_support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "cadhost/db/dxf_document.h"
#include "cadhost/db/dxf_error.h"

namespace dxftest {
namespace {

const std::filesystem::path kSourceDir = DXF_TEST_SOURCE_DIR;
const std::filesystem::path kWorkDir = DXF_TEST_WORK_DIR;

}  // namespace

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::vector<std::filesystem::path> openscadFiles() {
    std::vector<std::filesystem::path> files;
    const std::filesystem::path root = "/usr/share/openscad";
    if (!std::filesystem::exists(root)) {
        return files;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        std::string extension = entry.path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
        if (entry.is_regular_file() && extension == ".dxf") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string runCommand(const std::string& command, int& status) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        throw std::runtime_error("cannot run " + command);
    }
    std::string output;
    std::array<char, 4096> chunk;
    while (std::size_t got = std::fread(chunk.data(), 1, chunk.size(), pipe)) {
        output.append(chunk.data(), got);
    }
    int result = ::pclose(pipe);
    status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return output;
}

std::string runPython(const std::string& script, const std::vector<std::string>& arguments,
                      int& status) {
    std::string command = "/usr/bin/python3 " + shellQuote((kSourceDir / script).string());
    for (const std::string& argument : arguments) {
        command += ' ';
        command += shellQuote(argument);
    }
    return runCommand(command, status);
}

const std::filesystem::path& ezdxfFixtureFolder() {
    static const std::filesystem::path folder = [] {
        std::size_t version = std::hash<std::string>{}(readBytes(kSourceDir / "make_fixtures.py"));
        std::filesystem::path target = kWorkDir / ("ezdxf-fixtures-" + std::to_string(version));
        if (!std::filesystem::exists(target)) {
            // Parallel test processes each make their own copy; the first rename wins.
            std::filesystem::path scratch = target;
            scratch += ".tmp-" + std::to_string(::getpid());
            int status = 0;
            runPython("make_fixtures.py", {scratch.string()}, status);
            if (status != 0) {
                throw std::runtime_error("make_fixtures.py failed");
            }
            std::error_code ec;
            std::filesystem::rename(scratch, target, ec);
            std::filesystem::remove_all(scratch, ec);
        }
        return target;
    }();
    return folder;
}

std::vector<std::filesystem::path> ezdxfFixtures() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(ezdxfFixtureFolder())) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string ezdxfReport(const std::filesystem::path& path) {
    int status = -1;
    std::string report = runPython("ezdxf_check.py", {path.string()}, status);
    EXPECT_EQ(status, 0) << report;
    return report;
}

void expectFileReadsAsItsBytes(const std::filesystem::path& path, const std::string& bytes,
                               const std::string& name) {
    using cadhost::dxf::Document;
    using cadhost::dxf::kNoRecord;
    writeBytes(path, bytes);
    std::optional<Document> fromMemory;
    std::string memoryError;
    try {
        fromMemory = Document::fromBytes(bytes);
    } catch (const cadhost::dxf::DxfError& error) {
        memoryError = error.what();
    }
    try {
        Document fromFile = Document::load(path);
        ASSERT_TRUE(fromMemory) << name << ": read, but not from memory: " << memoryError;
        EXPECT_EQ(fromFile.repairs(), fromMemory->repairs()) << name;
        cadhost::dxf::RecordId a = fromFile.first();
        cadhost::dxf::RecordId b = fromMemory->first();
        std::uint64_t records = 0;
        for (; a != kNoRecord && b != kNoRecord;
             a = fromFile.next(a), b = fromMemory->next(b), ++records) {
            ASSERT_EQ(fromFile.type(a), fromMemory->type(b)) << name << " " << records;
            ASSERT_EQ(fromFile.handle(a), fromMemory->handle(b)) << name << " " << records;
            ASSERT_EQ(fromFile.owner(a), fromMemory->owner(b)) << name << " " << records;
            ASSERT_EQ(fromFile.sectionName(a), fromMemory->sectionName(b)) << name;
            ASSERT_EQ(fromFile.tableName(a), fromMemory->tableName(b)) << name;
            ASSERT_TRUE(fromFile.tags(a) == fromMemory->tags(b)) << name << " " << records;
        }
        EXPECT_EQ(a, b) << name << ": as many records";
        EXPECT_EQ(fromFile.toBytes(), fromMemory->toBytes()) << name;
    } catch (const cadhost::dxf::DxfError& error) {
        const std::string inFile = error.what();
        EXPECT_FALSE(fromMemory) << name << ": " << inFile;
        EXPECT_NE(memoryError, "") << name;
        EXPECT_NE(inFile.find(memoryError), std::string::npos)
            << name << ": " << inFile << " | " << memoryError;
    }
}

}  // namespace dxftest
