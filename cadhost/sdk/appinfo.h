#pragma once
// Demand-load entries of an application below the host's product key:
//   Applications\<app>            LOADCTRLS (REG_DWORD), LOADER (REG_SZ, host path)
//   Applications\<app>\COMMANDS   one REG_SZ per command: name = global name, data = local name
//   Applications\<app>\GROUPS     one REG_SZ per group: name = data = group name

#include <string>

namespace AcadApp {

enum LoadReasons {
    kOnProxyDetection = 0x01,
    kOnAutoCADStartup = 0x02,
    kOnCommandInvocation = 0x04,
    kOnLoadRequest = 0x08,
    kLoadDisabled = 0x10,
    kTransparentlyLoadable = 0x20,
};

enum ErrorStatus {
    eOk = 0,
    eInvalidKey = 1,
    eInvalidSubKey = 2,
    eKeyNotFound = 3,
    eOutOfMemory = 4,
    eInvalidValue = 5,
    eValueNotFound = 6,
    eKeyExists = 7,
    eRegAccessDenied = 8,
    eRejected = 9,
    eUnknownError = 10
};

}  // namespace AcadApp

class AcadAppInfo {
  public:
    void setAppName(const char* name) { appName_ = name ? name : ""; }
    void setModuleName(const char* hostPath) { moduleName_ = hostPath ? hostPath : ""; }
    void setAppDesc(const char* description) { description_ = description ? description : ""; }
    void setLoadReason(AcadApp::LoadReasons reasons) { loadReason_ = reasons; }
    const char* appName() const { return appName_.c_str(); }
    const char* moduleName() const { return moduleName_.c_str(); }
    AcadApp::LoadReasons loadReason() const { return loadReason_; }

    // Writes LOADCTRLS and LOADER below HKEY_LOCAL_MACHINE; with writeDescription also
    // DESCRIPTION; with keepExistingLoader a LOADER already there stays as it is.
    AcadApp::ErrorStatus writeToRegistry(bool writeDescription = false,
                                         bool keepExistingLoader = false) const;
    AcadApp::ErrorStatus writeGroupNameToRegistry(const char* group) const;
    AcadApp::ErrorStatus writeCommandNameToRegistry(const char* globalName,
                                                    const char* localName) const;
    // Reads LOADCTRLS and LOADER of the application named by setAppName.
    AcadApp::ErrorStatus readFromRegistry();

  private:
    std::string appName_;
    std::string moduleName_;
    std::string description_;
    AcadApp::LoadReasons loadReason_ = AcadApp::kOnLoadRequest;
};
