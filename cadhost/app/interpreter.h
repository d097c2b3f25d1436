#pragma once
// Runs commands typed at the "Command: " prompt: the host's built-in commands, the commands
// of loaded modules (loading a module on demand when the name is registered for it), and
// system variable names. A failed command in a script ends the script.

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace cadhost::app {

struct BuiltinCommand {
    std::function<bool()> run;  // false when the command failed
    int flags = 0;              // ACRX_CMD_* (ACRX_CMD_SESSION for application-context commands)
};

class Interpreter {
  public:
    void addBuiltin(const std::string& name, BuiltinCommand command);
    // The names of the built-in commands, upper case.
    std::vector<std::string> builtinNames() const;

    // Runs one command by name; false when it is unknown or failed.
    bool execute(const std::string& name);
    // Reads and runs commands until the input ends or QUIT; returns the exit code: 0, or 1
    // when a batch script failed.
    int run(bool batch);
    void requestQuit() { quitRequested_ = true; }
    bool quitRequested() const { return quitRequested_; }
    // Forgets a QUIT, so that the next run goes on (a batch runs one script per drawing).
    void clearQuit() { quitRequested_ = false; }
    // The message of the last script that failed ("Script NAME failed at line N: TEXT").
    const std::string& lastScriptFailure() const { return lastScriptFailure_; }

    // True when no command runs, or the innermost running command is a session command.
    bool inApplicationContext() const;
    // Marks the running command as failed (a prompt that got no answer, a refused value).
    void markFailed() { failed_ = true; }

  private:
    bool runCommand(int flags, const std::function<void()>& body);
    bool reportScriptFailure(bool batch);

    std::map<std::string, BuiltinCommand> builtins_;  // by upper-case name
    std::vector<int> running_;                        // flags of the running commands
    bool failed_ = false;
    bool quitRequested_ = false;
    std::string lastScriptFailure_;
};

Interpreter& interpreter();

}  // namespace cadhost::app
