#include "cadhost/app/variable_commands.h"

#include "cadhost/app/batch_worker.h"
#include "cadhost/app/command_line.h"
#include "cadhost/app/drawing_space.h"
#include "cadhost/app/host_registration.h"
#include "cadhost/app/interpreter.h"
#include "cadhost/app/system_variables.h"
#include "cadhost/sdk/accmd.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/acutads.h"
#include "cadhost/sdk/dbsymtb.h"

namespace cadhost::app {

bool editVariable(const std::string& name) {
    SystemVariables& variables = systemVariables();
    const std::string upper = upperCase(name);
    std::optional<std::string> answer = commandLine().ask(
        "Enter new value for " + upper + " <" + toText(*variables.get(name)) + ">: ",
        !std::holds_alternative<int>(*variables.get(name)));
    if (!answer) {
        return false;
    }
    if (answer->empty()) {
        return true;
    }
    const std::string refusal = variables.setFromText(name, *answer);
    if (!refusal.empty()) {
        commandLine().print("\n" + refusal + "\n");
    }
    return refusal.empty();
}

namespace {

std::optional<std::string> askVariableName(const char* prompt) {
    std::optional<std::string> name =
        commandLine().ask(prompt, false, {Completion::Kind::Variables, {}});
    if (name && !systemVariables().exists(*name)) {
        commandLine().print("\nUnknown variable name: " + *name + "\n");
        return std::nullopt;
    }
    return name;
}

AcApDocument* current() {
    return acDocManagerPtr()->curDocument();
}

std::string folderOf(const std::string& hostPath) {
    const auto slash = hostPath.find_last_of('\\');
    return slash == std::string::npos ? std::string() : hostPath.substr(0, slash + 1);
}

std::string layerName(AcDbObjectId id) {
    AcDbLayerTableRecord* layer = nullptr;
    if (acdbOpenObject(layer, id, AcDb::kForRead) != Acad::eOk) {
        return {};
    }
    const char* name = "";
    layer->getName(name);
    std::string result = name;
    layer->close();
    return result;
}

std::string setLayer(const std::string& name) {
    AcDbDatabase* database = current()->database();
    AcDbLayerTable* table = nullptr;
    AcDbObjectId id;
    if (database->getLayerTable(table) == Acad::eOk) {
        table->getAt(name.c_str(), id);
        table->close();
    }
    if (id.isNull()) {
        return "Layer \"" + name + "\" does not exist.";
    }
    return database->setClayer(id) == Acad::eOk ? "" : "Cannot make layer " + name + " current.";
}

// A variable of the current drawing: 0 or "" without one, and refused for setting.
SystemVariable drawingVariable(VariableValue none, std::function<VariableValue()> get,
                               std::function<std::string(const VariableValue&)> set) {
    return {none, [none, get] { return current() ? get() : none; },
            [set](const VariableValue& value) {
                return current() ? set(value) : std::string("No drawing is open.");
            }};
}

// An on/off header variable of the current drawing.
SystemVariable drawingFlag(bool (AcDbDatabase::*get)() const,
                           Acad::ErrorStatus (AcDbDatabase::*set)(bool)) {
    return drawingVariable(
        0, [get] { return (current()->database()->*get)() ? 1 : 0; },
        [set](const VariableValue& value) {
            std::string refusal = requireZeroOrOne(value);
            if (refusal.empty()) {
                (current()->database()->*set)(std::get<int>(value) == 1);
            }
            return refusal;
        });
}

}  // namespace

void addHostVariables() {
    SystemVariables& variables = systemVariables();
    variables.addStored("SDI", 0, [](const VariableValue& value) {
        if (std::string refusal = requireZeroOrOne(value); !refusal.empty()) {
            return refusal;
        }
        return std::get<int>(value) == 1 && acDocManagerPtr()->documentCount() > 1
                   ? std::string("SDI can be set to 1 only while one drawing is open.")
                   : std::string();
    });
    // How -XREF Bind binds: 0 keeps the xref's symbols apart under prefixed names, 1 merges
    // them as an insert would.
    variables.addStored("BINDTYPE", 0, requireZeroOrOne);
    // The report part of a batch worker, for scripts and modules to write to.
    variables.add("BATCHREPORT", {std::string(), [] { return VariableValue(batchReport()); }, {}});
    variables.add("CPROFILE", {std::string(), [] { return currentProfileName(); }, {}});
    variables.add("DWGNAME", {std::string(),
                              [] {
                                  const std::string path = current() ? current()->fileName() : "";
                                  return path.substr(folderOf(path).size());
                              },
                              {}});
    variables.add(
        "DWGPREFIX",
        {std::string(), [] { return folderOf(current() ? current()->fileName() : ""); }, {}});
    variables.add("DBMOD", {0, [] { return current() && current()->isModified() ? 1 : 0; }, {}});
    variables.add("TILEMODE", drawingFlag(&AcDbDatabase::tilemode, &AcDbDatabase::setTilemode));
    variables.add("VISRETAIN", drawingFlag(&AcDbDatabase::visretain, &AcDbDatabase::setVisretain));
    variables.add(
        "CLAYER",
        drawingVariable(
            std::string(), [] { return layerName(current()->database()->clayer()); },
            [](const VariableValue& value) { return setLayer(std::get<std::string>(value)); }));
    variables.add("PROJECTNAME", drawingVariable(
                                     std::string(),
                                     [] {
                                         char* name = nullptr;
                                         current()->database()->getProjectName(name);
                                         std::string result = name ? name : "";
                                         acutDelString(name);
                                         return result;
                                     },
                                     [](const VariableValue& value) {
                                         return current()->database()->setProjectName(
                                                    std::get<std::string>(value).c_str()) ==
                                                        Acad::eOk
                                                    ? std::string()
                                                    : std::string("Cannot set the project name.");
                                     }));
    variables.add("CVPORT", drawingVariable(
                                2, [] { return currentViewport(*current()); },
                                [](const VariableValue& value) {
                                    return setCurrentViewport(*current(), std::get<int>(value));
                                }));
}

void addVariableCommands(Interpreter& interpreter) {
    interpreter.addBuiltin("SETVAR", {[] {
                                          std::optional<std::string> name =
                                              askVariableName("Enter variable name: ");
                                          return name && editVariable(*name);
                                      },
                                      ACRX_CMD_TRANSPARENT});
    interpreter.addBuiltin(
        "GETVAR", {[] {
                       std::optional<std::string> name = askVariableName("Enter variable name: ");
                       if (name) {
                           commandLine().print("\n" + upperCase(*name) + " = " +
                                               toText(*systemVariables().get(*name)) + "\n");
                       }
                       return name.has_value();
                   },
                   ACRX_CMD_TRANSPARENT});
}

}  // namespace cadhost::app
