// ARX (list, load and unload modules) and SCRIPT (run a script file).

#include "cadhost/app/builtin_commands.h"
#include "cadhost/app/command_line.h"
#include "cadhost/app/demand_loader.h"
#include "cadhost/app/host_input.h"
#include "cadhost/app/interpreter.h"
#include "cadhost/sdk/accmd.h"
#include "cadhost/sdk/rxdlinkr.h"
#include "platform/host_path.h"

namespace cadhost::app {

namespace {

bool listModules() {
    const std::vector<std::string> modules = acrxDynamicLinker->loadedModules();
    commandLine().print("\nLoaded modules: " + std::to_string(modules.size()) + "\n");
    for (const std::string& path : modules) {
        commandLine().print("  " + path + "\n");
    }
    return true;
}

bool loadModule() {
    std::optional<std::string> name =
        commandLine().ask("Enter module file name: ", true, {Completion::Kind::Files, {}});
    if (!name || name->empty()) {
        return false;
    }
    switch (loadOnRequest(*name)) {
        case LoadRequest::Loaded:
            return true;
        case LoadRequest::Failed:
            return false;
        case LoadRequest::NotOnRequest:
            commandLine().print("\nApplication " + *name +
                                " is not registered for loading on request.\n");
            return false;
        case LoadRequest::NotRegistered:
            break;
    }
    std::optional<std::string> path = typedHostPath(*name, ".arx");
    return path && acrxDynamicLinker->loadModule(path->c_str(), true);
}

bool unloadModule() {
    std::optional<std::string> name = commandLine().ask("Enter module file name: ", true);
    if (!name || name->empty()) {
        return false;
    }
    // A native path names the module by its host path; a bare name is matched as given.
    std::optional<std::string> path = name->starts_with("/") ? typedHostPath(*name) : name;
    return path && acrxDynamicLinker->unloadModule(path->c_str(), true);
}

bool arx() {
    std::optional<std::string> option =
        askKeyword("Enter an option [?/Load/Unload]: ", {"?", "Load", "Unload"});
    if (!option) {
        return false;
    }
    if (*option == "?") {
        return listModules();
    }
    return *option == "Load" ? loadModule() : unloadModule();
}

bool script() {
    std::optional<std::string> path = askFileName("Enter script file name: ", ".scr");
    if (!path) {
        return false;
    }
    platform::PathResult<std::filesystem::path> native = platform::hostToNative(*path);
    std::unique_ptr<InputSource> source = native.ok() ? fileSource(native.value, *path) : nullptr;
    if (!source) {
        commandLine().print("\nCannot open script " + *path + ".\n");
        return false;
    }
    commandLine().pushSource(std::move(source));
    return true;
}

}  // namespace

void addModuleCommands(Interpreter& interpreter) {
    interpreter.addBuiltin("ARX", {arx, ACRX_CMD_SESSION});
    interpreter.addBuiltin("SCRIPT", {script, ACRX_CMD_SESSION});
}

}  // namespace cadhost::app
