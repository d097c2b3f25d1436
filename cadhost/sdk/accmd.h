#pragma once
// The command stack: commands by group, global name and local name.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acadstrc.h"
#include "rxregsvc.h"

inline constexpr int ACRX_CMD_MODAL = 0x0;
inline constexpr int ACRX_CMD_TRANSPARENT = 0x1;
inline constexpr int ACRX_CMD_USEPICKSET = 0x2;
inline constexpr int ACRX_CMD_REDRAW = 0x4;
inline constexpr int ACRX_CMD_NOPERSPECTIVE = 0x8;
inline constexpr int ACRX_CMD_NOMULTIPLE = 0x10;
inline constexpr int ACRX_CMD_NOTILEMODE = 0x20;
inline constexpr int ACRX_CMD_NOPAPERSPACE = 0x40;
// Runs in the application context, where opening and activating documents is allowed.
inline constexpr int ACRX_CMD_SESSION = 0x200000;

using AcRxFunctionPtr = void (*)();
class AcEdUIContext;

class AcEdCommand {
  public:
    AcEdCommand(std::string group, std::string globalName, std::string localName, int flags,
                AcRxFunctionPtr function, HINSTANCE resourceInstance)
        : group_(std::move(group)),
          globalName_(std::move(globalName)),
          localName_(std::move(localName)),
          flags_(flags),
          function_(function),
          resourceInstance_(resourceInstance) {}

    const char* groupName() const { return group_.c_str(); }
    const char* globalName() const { return globalName_.c_str(); }
    const char* localName() const { return localName_.c_str(); }
    int commandFlags() const { return flags_; }
    AcRxFunctionPtr functionAddr() const { return function_; }
    HINSTANCE resourceInstance() const { return resourceInstance_; }

  private:
    std::string group_;
    std::string globalName_;
    std::string localName_;
    int flags_;
    AcRxFunctionPtr function_;
    HINSTANCE resourceInstance_;
};

// Groups are searched newest first; names compare ignoring letter case.
class AcEdCommandStack : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcEdCommandStack)

    // eInvalidInput for an empty or blank name or a null function; eDuplicateRecordName when
    // the group already holds the global or local name.
    Acad::ErrorStatus addCommand(const char* group, const char* globalName, const char* localName,
                                 int flags, AcRxFunctionPtr function,
                                 AcEdUIContext* uiContext = nullptr, int functionCode = -1,
                                 HINSTANCE resourceInstance = nullptr,
                                 AcEdCommand** command = nullptr);
    // eKeyNotFound when the group or command is absent.
    Acad::ErrorStatus removeCmd(const char* group, const char* globalName);
    Acad::ErrorStatus removeGroup(const char* group);

    AcEdCommand* lookupGlobalCmd(const char* name) const;
    AcEdCommand* lookupLocalCmd(const char* name) const;
    // The global name first, then the local name.
    AcEdCommand* lookupCmd(const char* name) const;

    // Removes every command the predicate selects (the commands of a module being unloaded).
    void removeCommandsIf(const std::function<bool(const AcEdCommand&)>& selected);
    // Calls `visit` with every command, oldest group first.
    void forEachCommand(const std::function<void(const AcEdCommand&)>& visit) const;

  private:
    struct Group {
        std::string name;
        std::vector<std::unique_ptr<AcEdCommand>> commands;
    };
    Group* findGroup(const char* name);
    template <class NameOf>
    AcEdCommand* lookup(const char* name, NameOf nameOf) const;

    std::vector<Group> groups_;  // oldest first
};

// The command stack of the system registry.
#define acedRegCmds AcEdCommandStack::cast(acrxSysRegistry()->at(ACRX_COMMAND_DOCK))
