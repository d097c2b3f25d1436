#pragma once
// SETVAR and GETVAR, and the host's own system variables.

#include <string>

namespace cadhost::app {

class Interpreter;

// Shows a variable's value and asks for a new one (what typing its name does); false when
// the value was refused or no answer came.
bool editVariable(const std::string& name);

void addVariableCommands(Interpreter& interpreter);
// SDI, CPROFILE, DWGNAME, DWGPREFIX, DBMOD and the current drawing's TILEMODE, VISRETAIN, CLAYER,
// PROJECTNAME, CVPORT.
void addHostVariables();

}  // namespace cadhost::app
