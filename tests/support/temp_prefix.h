#pragma once
// A fresh, empty environment prefix for one test, removed again afterwards.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/prefix.h"

namespace testsupport {

class TempDir {
  public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/lnkhold-test-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            throw std::runtime_error("mkdtemp failed for " + pattern);
        }
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Makes a new prefix current for the lifetime of the object.
class TempPrefix {
  public:
    TempPrefix() {
        if (auto err = platform::setCurrentPrefix(dir_.path() / "prefix"); !err.empty()) {
            throw std::runtime_error(err);
        }
    }
    const std::filesystem::path& root() const { return platform::currentPrefix().root(); }
    // A scratch folder beside the prefix, for native files a test makes.
    std::filesystem::path scratch() const { return dir_.path(); }

  private:
    TempDir dir_;
};

}  // namespace testsupport
