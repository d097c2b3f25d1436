// -LAYER on the command line: list, make, set, new, lock and unlock layers.

#include <algorithm>

#include "cadhost/app/builtin_commands.h"
#include "cadhost/app/command_line.h"
#include "cadhost/app/host_input.h"
#include "cadhost/app/interpreter.h"
#include "cadhost/app/name_patterns.h"
#include "cadhost/app/system_variables.h"
#include "cadhost/sdk/accmd.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/dbsymtb.h"
#include "platform/case_fold.h"

namespace cadhost::app {

namespace {

struct Layer {
    std::string name;
    AcDbObjectId id;
    bool locked;
};

std::vector<Layer> layers(AcDbDatabase& database) {
    std::vector<Layer> result;
    AcDbLayerTable* table = nullptr;
    if (database.getLayerTable(table) != Acad::eOk) {
        return result;
    }
    AcDbLayerTableIterator* raw = nullptr;
    table->newIterator(raw);
    std::unique_ptr<AcDbLayerTableIterator> it(raw);
    for (; !it->done(); it->step()) {
        AcDbLayerTableRecord* layer = nullptr;
        if (it->getRecord(layer, AcDb::kForRead) == Acad::eOk) {
            const char* name = "";
            layer->getName(name);
            result.push_back({name, layer->objectId(), layer->isLocked()});
            layer->close();
        }
    }
    table->close();
    return result;
}

// Creates the layer when it is missing; its id, or null with a message.
AcDbObjectId ensureLayer(AcDbDatabase& database, const std::string& name) {
    for (const Layer& layer : layers(database)) {
        if (platform::equalsIgnoreCase(layer.name, name)) {
            return layer.id;
        }
    }
    AcDbLayerTable* table = nullptr;
    AcDbObjectId id;
    if (database.getLayerTable(table, AcDb::kForWrite) == Acad::eOk) {
        auto* record = new AcDbLayerTableRecord;
        if (record->setName(name.c_str()) == Acad::eOk && table->add(id, record) == Acad::eOk) {
            record->close();
        } else {
            delete record;
        }
        table->close();
    }
    if (id.isNull()) {
        commandLine().print("\nInvalid layer name: " + name + "\n");
    }
    return id;
}

bool setLocks(AcDbDatabase& database, const std::string& list, bool lock) {
    int changed = 0;
    for (const Layer& layer : layers(database)) {
        if (!matchesList(list, layer.name)) {
            continue;
        }
        AcDbLayerTableRecord* record = nullptr;
        if (acdbOpenObject(record, layer.id, AcDb::kForWrite) == Acad::eOk) {
            record->setIsLocked(lock);
            record->close();
            ++changed;
        }
    }
    if (changed == 0) {
        commandLine().print("\nNo matching layer: " + list + "\n");
    }
    return changed > 0;
}

void listLayers(AcDbDatabase& database, const std::string& list) {
    const std::string current = std::get<std::string>(*systemVariables().get("CLAYER"));
    commandLine().print("\nLayer name                       State\n");
    for (const Layer& layer : layers(database)) {
        if (!matchesList(list.empty() ? "*" : list, layer.name)) {
            continue;
        }
        std::string line = layer.name;
        line.resize(std::max<std::size_t>(line.size() + 1, 33), ' ');
        line += layer.locked ? "Locked" : "Unlocked";
        if (platform::equalsIgnoreCase(layer.name, current)) {
            line += "  (current)";
        }
        commandLine().print(line + "\n");
    }
}

const Completion kLayerNames{Completion::Kind::Layers, {}};

bool layerOption(AcDbDatabase& database, const std::string& option) {
    if (option == "?") {
        std::optional<std::string> list =
            commandLine().ask("Enter layer name(s) to list <*>: ", false, kLayerNames);
        if (list) {
            listLayers(database, *list);
        }
        return list.has_value();
    }
    if (option == "Make" || option == "Set" || option == "New") {
        std::optional<std::string> name = commandLine().ask(
            option == "Make"  ? "Enter name for new layer (becomes the current layer): "
            : option == "Set" ? "Enter layer name to make current: "
                              : "Enter name list for new layer(s): ",
            true, kLayerNames);
        if (!name || name->empty()) {
            return false;
        }
        if (option == "New") {
            const std::vector<std::string> names = splitList(*name);
            return std::all_of(names.begin(), names.end(), [&](const std::string& n) {
                return !ensureLayer(database, n).isNull();
            });
        }
        if (option == "Make" && ensureLayer(database, *name).isNull()) {
            return false;
        }
        const std::string refusal = systemVariables().set("CLAYER", *name);
        if (!refusal.empty()) {
            commandLine().print("\n" + refusal + "\n");
        }
        return refusal.empty();
    }
    std::optional<std::string> list =
        commandLine().ask(option == "LOck" ? "Enter name list of layer(s) to lock: "
                                           : "Enter name list of layer(s) to unlock: ",
                          true, kLayerNames);
    return list && !list->empty() && setLocks(database, *list, option == "LOck");
}

bool layerCommand() {
    AcApDocument* document = acDocManagerPtr()->curDocument();
    if (!document) {
        commandLine().print("\nNo drawing is open.\n");
        return false;
    }
    while (true) {
        const std::optional<VariableValue> current = systemVariables().get("CLAYER");
        commandLine().print("\nCurrent layer: " + toText(*current) + "\n");
        std::optional<std::string> option =
            askKeyword("Enter an option [?/Make/Set/New/LOck/Unlock]: ",
                       {"?", "Make", "Set", "New", "LOck", "Unlock"}, "-");
        if (!option) {
            return false;
        }
        if (*option == "-") {
            return true;
        }
        if (!layerOption(*document->database(), *option)) {
            return false;
        }
    }
}

}  // namespace

void addLayerCommand(Interpreter& interpreter) {
    interpreter.addBuiltin("-LAYER", {layerCommand, ACRX_CMD_MODAL});
}

}  // namespace cadhost::app
