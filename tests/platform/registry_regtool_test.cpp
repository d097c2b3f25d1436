#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>

#include "support/temp_prefix.h"

namespace {

struct ToolRun {
    int exitCode;
    std::string output;  // stdout and stderr
};

// Runs regtool on the prefix with the arguments (already shell-quoted).
ToolRun regtool(const std::filesystem::path& prefix, const std::string& arguments) {
    const std::string command =
        std::string(REGTOOL_PATH) + " --prefix '" + prefix.string() + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ToolRun run{-1, {}};
    if (!pipe) {
        return run;
    }
    std::array<char, 4096> buffer{};
    while (std::size_t got = fread(buffer.data(), 1, buffer.size(), pipe)) {
        run.output.append(buffer.data(), got);
    }
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace

TEST(Regtool, SetsQueriesExportsAndDeletes) {
    testsupport::TempDir dir;
    const auto prefix = dir.path() / "prefix";
    EXPECT_EQ(regtool(prefix, R"(set 'HKCU\Software\App' 'Name "q"' sz 'C:\Dir x')").exitCode, 0);
    EXPECT_EQ(regtool(prefix, R"(set 'HKCU\Software\App' Count dword 0xc)").exitCode, 0);
    EXPECT_EQ(regtool(prefix, R"(set 'HKCU\Software\App' Header1 none -1)").exitCode, 0);

    EXPECT_EQ(regtool(prefix, R"(query 'HKEY_CURRENT_USER\software\app' count)").output, "12\n");
    EXPECT_EQ(regtool(prefix, R"(query 'HKCU\Software\App' header1)").output, "-1\n");
    EXPECT_EQ(regtool(prefix, R"(query 'HKCU\Software\App' 'Name "q"')").output, "C:\\Dir x\n");

    const ToolRun exported = regtool(prefix, R"(export 'HKCU\Software')");
    EXPECT_EQ(exported.exitCode, 0);
    EXPECT_EQ(exported.output,
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\App]\n"
              "\"Name \\\"q\\\"\"=\"C:\\\\Dir x\"\n"
              "\"Count\"=dword:0000000c\n"
              "\"Header1\"=hex(0):ff,ff,ff,ff\n\n");
    EXPECT_NE(regtool(prefix, "export HKLM").output.find("\"ProgramFilesDir\""), std::string::npos);

    EXPECT_EQ(regtool(prefix, R"(delete 'HKCU\Software\App' Count)").exitCode, 0);
    EXPECT_NE(regtool(prefix, R"(query 'HKCU\Software\App' Count)").exitCode, 0);
    EXPECT_EQ(regtool(prefix, R"(delete 'HKCU\Software')").exitCode, 0);
    EXPECT_NE(regtool(prefix, R"(query 'HKCU\Software\App')").exitCode, 0);
}

TEST(Regtool, FailuresSayWhatAndExitNonZero) {
    testsupport::TempDir dir;
    const auto prefix = dir.path() / "prefix";
    EXPECT_EQ(regtool(prefix, "readonly HKLM on").exitCode, 0);
    const ToolRun denied = regtool(prefix, R"(set 'HKLM\Software\X' v sz text)");
    EXPECT_EQ(denied.exitCode, 1);
    EXPECT_NE(denied.output.find("access denied"), std::string::npos) << denied.output;
    EXPECT_EQ(regtool(prefix, "readonly HKLM off").exitCode, 0);
    EXPECT_EQ(regtool(prefix, R"(set 'HKLM\Software\X' v sz text)").exitCode, 0);

    EXPECT_EQ(regtool(prefix, R"(query 'HKCU\Missing')").exitCode, 1);
    EXPECT_EQ(regtool(prefix, R"(query 'HKEY_USERS\x')").exitCode, 2);
    EXPECT_EQ(regtool(prefix, R"(set 'HKCU\K' v dword 4294967296)").exitCode, 2);
    EXPECT_EQ(regtool(prefix, R"(set 'HKCU\K' v qword 1)").exitCode, 2);
    EXPECT_EQ(regtool(prefix, "delete HKCU").exitCode, 2);
    EXPECT_EQ(regtool(prefix, "frobnicate").exitCode, 2);

    std::ofstream(prefix / "user.reg") << "not a registry file\n";
    const ToolRun broken = regtool(prefix, "export HKCU");
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_NE(broken.output.find("user.reg:1: "), std::string::npos) << broken.output;
}
