#include "cadhost/app/interpreter.h"

#include "cadhost/app/command_line.h"
#include "cadhost/app/demand_loader.h"
#include "cadhost/app/program_signals.h"
#include "cadhost/app/system_variables.h"
#include "cadhost/app/variable_commands.h"
#include "cadhost/sdk/accmd.h"
#include "cadhost/sdk/rxdlinkr.h"
#include "cadhost/xref/host_search.h"

namespace cadhost::app {

void Interpreter::addBuiltin(const std::string& name, BuiltinCommand command) {
    builtins_[upperCase(name)] = std::move(command);
}

std::vector<std::string> Interpreter::builtinNames() const {
    std::vector<std::string> names;
    for (const auto& builtin : builtins_) {
        names.push_back(builtin.first);
    }
    return names;
}

bool Interpreter::inApplicationContext() const {
    return running_.empty() || (running_.back() & ACRX_CMD_SESSION) != 0;
}

bool Interpreter::runCommand(int flags, const std::function<void()>& body) {
    const bool outerFailed = failed_;
    failed_ = false;
    running_.push_back(flags);
    {
        // The file searches of a command share what they read; the next command reads anew.
        const xref::FindFilePass searches;
        body();
    }
    running_.pop_back();
    const bool ok = !failed_;
    failed_ = outerFailed;
    return ok;
}

bool Interpreter::execute(const std::string& typed) {
    // A leading apostrophe asks for a transparent command; here every command runs alone.
    const std::string name = upperCase(typed.starts_with("'") ? typed.substr(1) : typed);
    if (auto builtin = builtins_.find(name); builtin != builtins_.end()) {
        const BuiltinCommand& command = builtin->second;
        return runCommand(command.flags, [&] {
            if (!command.run()) {
                markFailed();
            }
        });
    }
    AcEdCommand* command = acedRegCmds->lookupCmd(name.c_str());
    if (!command && demandLoadForCommand(name)) {
        command = acedRegCmds->lookupCmd(name.c_str());
        if (!command) {
            commandLine().print("\nThe application loaded for " + name +
                                " did not register that command.\n");
            return false;
        }
    }
    if (command) {
        const AcRxFunctionPtr function = command->functionAddr();
        return runCommand(command->commandFlags(), [&] {
            acrxDynamicLinker->enterModuleOf(reinterpret_cast<const void*>(function));
            function();
            acrxDynamicLinker->leaveModule();
        });
    }
    if (systemVariables().exists(name)) {
        return runCommand(ACRX_CMD_TRANSPARENT, [&] {
            if (!editVariable(name)) {
                markFailed();
            }
        });
    }
    commandLine().print("\nUnknown command \"" + name + "\".  Type ARX ? for loaded modules.\n");
    return false;
}

bool Interpreter::reportScriptFailure(bool batch) {
    InputSource* source = commandLine().source();
    lastScriptFailure_ = "Script " + source->name() + " failed at line " +
                         std::to_string(source->lineNumber()) + ": " + source->lastLine();
    commandLine().print("\n" + lastScriptFailure_ + "\n");
    commandLine().popSource();
    return batch;
}

int Interpreter::run(bool batch) {
    const std::size_t baseDepth = commandLine().sourceDepth();
    int exitCode = 0;
    while (!quitRequested_ && commandLine().sourceDepth() >= baseDepth) {
        commandLine().takeQueued();
        commandLine().clearCancel();
        // A Ctrl+C that came after the last prompt of the last command is spent; one that came
        // while a script started at the terminal runs stops the script.
        if (takeInterrupt() && commandLine().inScript()) {
            commandLine().print("\n*Cancel*\n");
            while (commandLine().inScript() && commandLine().sourceDepth() > baseDepth) {
                commandLine().popSource();
            }
        }
        std::optional<std::string> word =
            commandLine().ask("Command: ", false, {Completion::Kind::Commands, {}});
        if (!word) {
            if (!commandLine().cancelled()) {
                commandLine().popSource();
            }
            continue;
        }
        if (word->empty()) {
            continue;
        }
        if (!execute(*word)) {
            commandLine().dropRestOfLine();
            if (commandLine().inScript() && reportScriptFailure(batch)) {
                exitCode = 1;
                break;
            }
        }
    }
    commandLine().endLine();
    return exitCode;
}

Interpreter& interpreter() {
    static Interpreter instance;
    return instance;
}

}  // namespace cadhost::app
