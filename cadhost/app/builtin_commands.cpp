#include "cadhost/app/builtin_commands.h"

#include "cadhost/app/document_commands.h"
#include "cadhost/app/variable_commands.h"

namespace cadhost::app {

void addBuiltins(Interpreter& interpreter) {
    addHostVariables();
    addVariableCommands(interpreter);
    addDocumentCommands(interpreter);
    addModuleCommands(interpreter);
    addLayerCommand(interpreter);
    addXrefCommand(interpreter);
}

}  // namespace cadhost::app
