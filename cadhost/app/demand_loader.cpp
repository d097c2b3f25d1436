#include "cadhost/app/demand_loader.h"

#include "cadhost/app/command_line.h"
#include "cadhost/app/host_registration.h"
#include "cadhost/app/registry_key.h"
#include "cadhost/sdk/appinfo.h"
#include "cadhost/sdk/rxdlinkr.h"
#include "platform/case_fold.h"

namespace cadhost::app {

namespace {

const std::string kApplications = std::string(kProductKey) + "\\Applications";

RegisteredApplication readApplication(const std::string& name) {
    RegisteredApplication app;
    app.name = name;
    const RegistryKey key(platform::HKEY_LOCAL_MACHINE, kApplications + "\\" + name, false);
    app.loadControls = key.readDword("LOADCTRLS").value_or(0);
    app.loader = key.readString("LOADER").value_or("");
    app.commands =
        RegistryKey(platform::HKEY_LOCAL_MACHINE, kApplications + "\\" + name + "\\COMMANDS", false)
            .stringValues();
    return app;
}

bool load(const RegisteredApplication& app, const std::string& why) {
    if (app.loader.empty()) {
        commandLine().print("\nApplication " + app.name + " has no LOADER entry; " + why +
                            " cannot be loaded.\n");
        return false;
    }
    if (!acrxDynamicLinker->loadModule(app.loader.c_str(), true)) {
        commandLine().print("\nApplication " + app.name + " (" + app.loader + ") for " + why +
                            " could not be loaded.\n");
        return false;
    }
    return true;
}

}  // namespace

std::vector<RegisteredApplication> registeredApplications() {
    std::vector<RegisteredApplication> apps;
    for (const std::string& name :
         RegistryKey(platform::HKEY_LOCAL_MACHINE, kApplications, false).subkeyNames()) {
        apps.push_back(readApplication(name));
    }
    return apps;
}

std::optional<RegisteredApplication> registeredApplication(const std::string& name) {
    if (name.empty() || name.find('\\') != std::string::npos ||
        !RegistryKey(platform::HKEY_LOCAL_MACHINE, kApplications + "\\" + name, false).ok()) {
        return std::nullopt;
    }
    return readApplication(name);
}

bool demandLoadForCommand(const std::string& command) {
    for (const RegisteredApplication& app : registeredApplications()) {
        if (!(app.loadControls & AcadApp::kOnCommandInvocation) ||
            (app.loadControls & AcadApp::kLoadDisabled)) {
            continue;
        }
        for (const auto& [global, local] : app.commands) {
            if (platform::equalsIgnoreCase(global, command) ||
                platform::equalsIgnoreCase(local, command)) {
                return load(app, "command " + command);
            }
        }
    }
    return false;
}

void loadStartupApplications() {
    for (const RegisteredApplication& app : registeredApplications()) {
        if ((app.loadControls & AcadApp::kOnAutoCADStartup) &&
            !(app.loadControls & AcadApp::kLoadDisabled)) {
            load(app, "start-up");
        }
    }
}

LoadRequest loadOnRequest(const std::string& applicationName) {
    std::optional<RegisteredApplication> app = registeredApplication(applicationName);
    if (!app) {
        return LoadRequest::NotRegistered;
    }
    if (!(app->loadControls & AcadApp::kOnLoadRequest) ||
        (app->loadControls & AcadApp::kLoadDisabled)) {
        return LoadRequest::NotOnRequest;
    }
    return load(*app, "the load request") ? LoadRequest::Loaded : LoadRequest::Failed;
}

}  // namespace cadhost::app
