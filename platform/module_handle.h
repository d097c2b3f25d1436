#pragma once
// Module handles as Windows hands them to a loaded library: the handle names the module's
// file, and the platform keeps a table of the loaded ones so that a module can find its own
// handle from an address of its code (as GetModuleHandleEx does with the from-address flag).

#include <filesystem>
#include <string>
#include <vector>

// A loaded module (or the host program itself): its file and the folder its loose files
// (help) lie in. Its address is the handle.
struct HINSTANCE__ {
    std::filesystem::path file;    // native path of the module file; empty for the host
    std::filesystem::path folder;  // where the module's loose files are found
};
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;

namespace platform {

// The loader registers a module before it loads the file (so that the module's own start-up
// code can find its handle) and unregisters it after it has unloaded it.
void registerModule(HINSTANCE module);
void unregisterModule(HINSTANCE module);

// The registered module whose file holds the code or data at `address`; null when none does
// (the address is the host's, or its module is not registered).
HINSTANCE moduleHandleOf(const void* address);
// The registered module whose file has this native path (same file, whatever the spelling);
// null when none.
HINSTANCE moduleHandleOfFile(const std::filesystem::path& file);
// Every registered module, in the order they were registered.
std::vector<HINSTANCE> registeredModules();

}  // namespace platform
