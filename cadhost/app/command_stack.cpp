#include <algorithm>

#include "cadhost/sdk/accmd.h"
#include "platform/case_fold.h"

ACRX_DEFINE_MEMBERS(AcEdCommandStack, AcRxObject)

namespace {

bool isValidName(const char* name) {
    if (!name || !*name) {
        return false;
    }
    return std::none_of(name, name + std::char_traits<char>::length(name),
                        [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

}  // namespace

AcEdCommandStack::Group* AcEdCommandStack::findGroup(const char* name) {
    auto found = std::find_if(groups_.begin(), groups_.end(), [&](const Group& group) {
        return platform::equalsIgnoreCase(group.name, name);
    });
    return found == groups_.end() ? nullptr : &*found;
}

Acad::ErrorStatus AcEdCommandStack::addCommand(const char* group, const char* globalName,
                                               const char* localName, int flags,
                                               AcRxFunctionPtr function, AcEdUIContext*, int,
                                               HINSTANCE resourceInstance, AcEdCommand** command) {
    if (!isValidName(group) || !isValidName(globalName) || !isValidName(localName) || !function) {
        return Acad::eInvalidInput;
    }
    Group* target = findGroup(group);
    if (!target) {
        target = &groups_.emplace_back(Group{group, {}});
    }
    for (const auto& existing : target->commands) {
        if (platform::equalsIgnoreCase(existing->globalName(), globalName) ||
            platform::equalsIgnoreCase(existing->localName(), localName)) {
            return Acad::eDuplicateRecordName;
        }
    }
    AcEdCommand* added =
        target->commands
            .emplace_back(std::make_unique<AcEdCommand>(target->name, globalName, localName, flags,
                                                        function, resourceInstance))
            .get();
    if (command) {
        *command = added;
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcEdCommandStack::removeCmd(const char* group, const char* globalName) {
    Group* target = group ? findGroup(group) : nullptr;
    if (!target || !globalName) {
        return Acad::eKeyNotFound;
    }
    auto found = std::find_if(target->commands.begin(), target->commands.end(), [&](auto& c) {
        return platform::equalsIgnoreCase(c->globalName(), globalName);
    });
    if (found == target->commands.end()) {
        return Acad::eKeyNotFound;
    }
    target->commands.erase(found);
    return Acad::eOk;
}

Acad::ErrorStatus AcEdCommandStack::removeGroup(const char* group) {
    Group* target = group ? findGroup(group) : nullptr;
    if (!target) {
        return Acad::eKeyNotFound;
    }
    groups_.erase(groups_.begin() + (target - groups_.data()));
    return Acad::eOk;
}

template <class NameOf>
AcEdCommand* AcEdCommandStack::lookup(const char* name, NameOf nameOf) const {
    if (!name) {
        return nullptr;
    }
    for (auto group = groups_.rbegin(); group != groups_.rend(); ++group) {
        for (const auto& command : group->commands) {
            if (platform::equalsIgnoreCase(nameOf(*command), name)) {
                return command.get();
            }
        }
    }
    return nullptr;
}

AcEdCommand* AcEdCommandStack::lookupGlobalCmd(const char* name) const {
    return lookup(name, [](const AcEdCommand& c) { return c.globalName(); });
}

AcEdCommand* AcEdCommandStack::lookupLocalCmd(const char* name) const {
    return lookup(name, [](const AcEdCommand& c) { return c.localName(); });
}

AcEdCommand* AcEdCommandStack::lookupCmd(const char* name) const {
    AcEdCommand* command = lookupGlobalCmd(name);
    return command ? command : lookupLocalCmd(name);
}

void AcEdCommandStack::forEachCommand(const std::function<void(const AcEdCommand&)>& visit) const {
    for (const Group& group : groups_) {
        for (const auto& command : group.commands) {
            visit(*command);
        }
    }
}

void AcEdCommandStack::removeCommandsIf(const std::function<bool(const AcEdCommand&)>& selected) {
    for (Group& group : groups_) {
        std::erase_if(group.commands, [&](const auto& command) { return selected(*command); });
    }
    std::erase_if(groups_, [](const Group& group) { return group.commands.empty(); });
}
