#include "cadhost/xref/host_search.h"

#include <atomic>
#include <filesystem>

#include "cadhost/app/host_registration.h"
#include "cadhost/app/registry_key.h"
#include "cadhost/sdk/aced.h"
#include "platform/host_path.h"
#include "platform/prefix.h"

namespace cadhost::xref {

namespace {

thread_local FindFilePass* currentPass = nullptr;
std::atomic<std::uint64_t> userActions{0};

}  // namespace

SearchPath hostSearchPath() {
    SearchPath path;
    const app::RegistryKey general(platform::HKEY_CURRENT_USER, app::profileKey() + "\\General",
                                   false);
    if (auto support = general.readString("ACAD")) {
        path.supportFolders = splitSearchPath(*support);
    }
    std::error_code ec;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        path.programFolder = platform::nativeToHost(program.parent_path());
    }
    return path;
}

FindFilePass::FindFilePass()
    : outer_(currentPass),
      generation_(platform::prefixGeneration()),
      userActions_(userActions.load(std::memory_order_relaxed)),
      listings_(std::make_unique<platform::FolderListings>()) {
    currentPass = this;
}

FindFilePass::~FindFilePass() {
    currentPass = outer_;
}

FindFilePass* FindFilePass::current() {
    return currentPass;
}

void FindFilePass::userActed() {
    userActions.fetch_add(1, std::memory_order_relaxed);
}

std::optional<std::string> FindFilePass::find(std::string_view name,
                                              const std::string& drawingFolder) {
    const std::uint64_t generation = platform::prefixGeneration();
    const std::uint64_t actions = userActions.load(std::memory_order_relaxed);
    if (generation != generation_ || actions != userActions_) {
        generation_ = generation;
        userActions_ = actions;
        searchPath_.reset();
        listings_ = std::make_unique<platform::FolderListings>();
    }
    if (!searchPath_) {
        searchPath_ = hostSearchPath();
    }
    return findFile(name, drawingFolder, *searchPath_, *listings_);
}

std::optional<std::string> findHostFile(std::string_view name, const std::string& drawingFolder) {
    FindFilePass* pass = FindFilePass::current();
    return pass ? pass->find(name, drawingFolder) : FindFilePass().find(name, drawingFolder);
}

std::unique_ptr<DrawingXrefs> openDrawingXrefs(AcDbDatabase& drawing) {
    auto xrefs = std::make_unique<DrawingXrefs>(
        drawing, hostSearchPath(), [](const std::string& text) { acutPrintf("%s", text.c_str()); });
    xrefs->update();
    return xrefs;
}

}  // namespace cadhost::xref
