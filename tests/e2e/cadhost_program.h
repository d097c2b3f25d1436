#pragma once
// The cadhost program run as a user runs it: in a scratch folder, with a fresh prefix, its
// output and exit code captured.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/temp_prefix.h"

namespace e2etest {

struct ProgramRun {
    int exitCode;
    std::string output;
};

inline std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

class CadhostProgram : public ::testing::Test {
  protected:
    std::filesystem::path dir() const { return scratch_.path(); }
    std::filesystem::path prefix() const { return scratch_.path() / "prefix"; }

    void write(const std::string& name, const std::string& text) const {
        std::ofstream(dir() / name, std::ios::binary) << text;
    }

    std::string read(const std::string& name) const {
        std::ifstream file(dir() / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    // Runs cadhost in the scratch folder; `environment` goes before the command.
    ProgramRun cadhost(const std::string& arguments, const std::string& input = "",
                       const std::string& environment = "") const {
        write("stdin.txt", input);
        return shell(environment + " " + quoted(CADHOST_PROGRAM) + " --prefix " + quoted(prefix()) +
                     " " + arguments + " < stdin.txt");
    }

    // Runs cadhost in the scratch folder with no input; its standard error goes to the file
    // errorFile there, so the output is standard output alone.
    ProgramRun cadhostApart(const std::string& arguments, const std::string& errorFile) const {
        return shell("{ " + quoted(CADHOST_PROGRAM) + " --prefix " + quoted(prefix()) + " " +
                     arguments + " 2>" + quoted(errorFile) + " </dev/null; }");
    }

    // Runs a Python script with the system's Python (the one ezdxf is installed for).
    ProgramRun python(const std::string& script, const std::string& arguments) const {
        return shell("/usr/bin/python3 " + quoted(script) + " " + arguments);
    }

    // Makes a drawing file with the program itself.
    void makeDrawing(const std::string& name) {
        write("make.scr", "SAVEAS " + (dir() / name).string() + "\nQUIT\n");
        ASSERT_EQ(cadhost("-b make.scr").exitCode, 0);
    }

    // A shell command run in the scratch folder, standard error in its output.
    ProgramRun shell(const std::string& commandLine) const {
        const std::string command = "cd " + quoted(dir()) + " && " + commandLine + " 2>&1";
        ProgramRun run{-1, {}};
        FILE* pipe = popen(command.c_str(), "r");
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
            run.output.append(buffer, n);
        }
        const int status = pclose(pipe);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }

  private:
    testsupport::TempDir scratch_;
};

}  // namespace e2etest
