#pragma once
// Demand loading from the applications registered below the host's product key: a module is
// loaded at start-up (LOADCTRLS bit 2), when one of its commands is typed (bit 4), or when
// asked for by its application name (bit 8).

#include <optional>
#include <string>
#include <vector>

namespace cadhost::app {

struct RegisteredApplication {
    std::string name;
    unsigned loadControls = 0;
    std::string loader;                                         // host path of the module
    std::vector<std::pair<std::string, std::string>> commands;  // global, local
};

std::vector<RegisteredApplication> registeredApplications();
std::optional<RegisteredApplication> registeredApplication(const std::string& name);

// For a command name no loaded module knows: loads the application that lists it (global or
// local name, letter case ignored) when it may be loaded on command invocation. True when a
// module was loaded; failures are printed.
bool demandLoadForCommand(const std::string& command);

void loadStartupApplications();

enum class LoadRequest { NotRegistered, Loaded, Failed, NotOnRequest };
// ARX Load by application name.
LoadRequest loadOnRequest(const std::string& applicationName);

}  // namespace cadhost::app
