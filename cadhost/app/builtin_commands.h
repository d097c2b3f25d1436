#pragma once
// The host's built-in commands and system variables, registered with the interpreter.

namespace cadhost::app {

class Interpreter;

void addModuleCommands(Interpreter& interpreter);
void addLayerCommand(Interpreter& interpreter);
void addXrefCommand(Interpreter& interpreter);
// Every built-in command and host variable.
void addBuiltins(Interpreter& interpreter);

}  // namespace cadhost::app
