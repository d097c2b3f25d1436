#include "platform/prefix.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

namespace {

struct PrefixState {
    std::unique_ptr<Prefix> prefix;
    std::uint64_t generation = 0;
};

PrefixState& state() {
    static PrefixState s;
    return s;
}

std::string makeLink(const fs::path& link, const fs::path& target) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(link, ec))) {
        return {};
    }
    fs::create_directory_symlink(target, link, ec);
    if (ec && ec != std::errc::file_exists) {
        return "cannot create drive link " + link.string() + ": " + ec.message();
    }
    return {};
}

}  // namespace

Prefix::Prefix(fs::path root) : root_(std::move(root)) {}

fs::path Prefix::defaultRoot() {
    if (const char* p = std::getenv("CADHOST_PREFIX"); p && *p) {
        return fs::path(p);
    }
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) {
        return fs::path(x) / "cadhost";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "cadhost";
}

std::string Prefix::ensureLayout() const {
    std::error_code ec;
    fs::create_directories(driveC() / "Program Files", ec);
    if (ec) {
        return "cannot create " + (driveC() / "Program Files").string() + ": " + ec.message();
    }
    fs::create_directories(dosdevices(), ec);
    if (ec) {
        return "cannot create " + dosdevices().string() + ": " + ec.message();
    }
    if (auto err = makeLink(dosdevices() / "c:", "../drive_c"); !err.empty()) {
        return err;
    }
    return makeLink(dosdevices() / "z:", "/");
}

const Prefix& currentPrefix() {
    auto& s = state();
    if (!s.prefix) {
        s.prefix = std::make_unique<Prefix>(Prefix::defaultRoot());
        if (auto err = s.prefix->ensureLayout(); !err.empty()) {
            std::fprintf(stderr, "cadhost: %s\n", err.c_str());
        }
        ++s.generation;
    }
    return *s.prefix;
}

std::string setCurrentPrefix(const fs::path& root) {
    auto& s = state();
    s.prefix = std::make_unique<Prefix>(root);
    ++s.generation;
    return s.prefix->ensureLayout();
}

std::uint64_t prefixGeneration() {
    currentPrefix();
    return state().generation;
}

}  // namespace platform
