#pragma once
// Shared helpers of the DXF tests: fixture files, running ezdxf, whole-file reads.

#include <filesystem>
#include <string>
#include <vector>

namespace dxftest {

std::string readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::string& bytes);

// Every DXF file of the openscad-testing-data package.
std::vector<std::filesystem::path> openscadFiles();

// The drawings tests/cadhost/make_fixtures.py writes with ezdxf, made once per build tree
// (again when the script changes).
const std::filesystem::path& ezdxfFixtureFolder();
std::vector<std::filesystem::path> ezdxfFixtures();

// Runs a script of tests/cadhost with the system's Python (the one ezdxf is installed for);
// returns its standard output, and its exit status in `status`.
std::string runPython(const std::string& script, const std::vector<std::string>& arguments,
                      int& status);

// Runs a shell command; returns its standard output, and its exit status in `status`.
std::string runCommand(const std::string& command, int& status);
// The text quoted for the shell.
std::string shellQuote(const std::string& text);

// ezdxf's report on a DXF file (tests/cadhost/ezdxf_check.py), after a check that it ran.
std::string ezdxfReport(const std::filesystem::path& path);

// Writes `bytes` to `path`, reads it with Document::load and the bytes with
// Document::fromBytes, and checks that both give the same records (types, keys, sections,
// tables, tags), repairs and bytes written, or the same fault; `name` tells the case.
void expectFileReadsAsItsBytes(const std::filesystem::path& path, const std::string& bytes,
                               const std::string& name);

}  // namespace dxftest
