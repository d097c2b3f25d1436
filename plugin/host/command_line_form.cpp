// -LINKHOLD: the xref dialog on the command line, for scripts, batches and machines without a
// display. A loop of option prompts drives the same operations as the dialog's buttons, inside
// a transaction of the current drawing: OK (Enter) keeps what was done, Cancel takes it back.

#include <array>
#include <string>

#include "acdocman.h"
#include "aced.h"
#include "acutads.h"
#include "dbmain.h"
#include "plugin/host/command_line_view.h"
#include "plugin/host/commands.h"
#include "plugin/host/host_variables.h"
#include "plugin/host/open_stage.h"
#include "plugin/ops/control_ids.h"
#include "plugin/ops/xref_report.h"
#include "plugin/setfile/text_file.h"

namespace lnkhold {

namespace {

// Each keyword's capitals are the shortest answer that picks it: options sharing a first letter
// (Select/Save/Strip, Remove/Reload/Repath, Open/Overlay/Options, Add/Attach) take more.
constexpr const char* kKeywords =
    "? SElect ADd REMove ATtach OVerlay Detach Unload RELoad REPath STrip Insert OPEn SAve Load "
    "Export OPTions Cancel";
constexpr const char* kPrompt =
    "\nEnter an option [?/SElect/ADd/REMove/ATtach/OVerlay/Detach/Unload/RELoad/REPath/STrip/"
    "Insert/OPEn/SAve/Load/Export/OPTions/Cancel] <OK>: ";

// A dialog button as an option: its control, whether it works on selected rows, the prompt of
// its file chooser, and its operation.
struct ButtonOption {
    const char* keyword;
    int controlId;
    bool needsSelection;
    const char* filePrompt;
    void (DialogOperations::*operation)();
};

constexpr std::array<ButtonOption, 13> kButtons = {{
    {"ADd", IDC_ADD, false, "Drawing to add", &DialogOperations::add},
    {"REMove", IDC_REMOVE, true, nullptr, &DialogOperations::removeSelected},
    {"ATtach", IDC_ATTACH, true, nullptr, &DialogOperations::attachSelected},
    {"OVerlay", IDC_OVERLAY, true, nullptr, &DialogOperations::overlaySelected},
    {"Detach", IDC_DETACH, true, nullptr, &DialogOperations::detachSelected},
    {"Unload", IDC_UNLOAD, true, nullptr, &DialogOperations::unloadSelected},
    {"RELoad", IDC_RELOAD, true, nullptr, &DialogOperations::reloadAndRefresh},
    {"REPath", IDC_REPATH, true, "Drawing or folder to repath to",
     &DialogOperations::repathSelected},
    {"STrip", IDC_STRIP_PATH, true, nullptr, &DialogOperations::stripPathSelected},
    {"Insert", IDC_INSERT, true, nullptr, &DialogOperations::bindSelected},
    {"OPEn", IDC_OPEN_DWG, true, nullptr, &DialogOperations::openSelected},
    {"SAve", IDC_SAVE_LKH, false, "Save the xref set as", &DialogOperations::saveSetFile},
    {"Load", IDC_LOAD_LKH, false, "Xref set file to load", &DialogOperations::loadSetFile},
}};

enum class Ending { Ok, Open, Cancel, Failed };

const char* onOff(bool on) {
    return on ? "ON" : "OFF";
}

constexpr std::array<const char*, 3> kLayerChoices = {"Own", "Zero", "Current"};
constexpr std::array<const char*, 3> kLayerMeanings = {"0_<xrefname>", "0", "the current layer"};

class CommandLineForm {
  public:
    CommandLineForm() { view_.setOperations(operations_); }

    Ending run();

  private:
    // False when the answer was refused in a way that ends the command.
    bool runButton(const ButtonOption& button);
    void list() const;
    void printStatus() const;
    bool selectByName();
    bool setOptions();
    bool askOnOff(const char* title, DialogOption option);
    bool askInsertionLayer();
    bool exportReport();
    bool ended() const { return failed_ || view_.failed(); }
    // Refuses an answer; true when the command goes on.
    bool refuse(const std::string& message) {
        failed_ = acedRefuseAnswer(message.c_str()) != RTNORM;
        return !failed_;
    }

    CommandLineView view_;
    DialogOperations operations_{view_};
    bool failed_ = false;
};

Ending CommandLineForm::run() {
    operations_.start();
    acutPrintf("\n%d xrefs in the list.", operations_.rows().count());
    while (true) {
        acedInitGet(0, kKeywords);
        char answer[133] = {};
        const int result = acedGetKword(kPrompt, answer);
        if (result == RTNONE) {
            view_.closeWithOk();
            return Ending::Ok;
        }
        if (result != RTNORM) {
            return Ending::Failed;
        }
        const std::string keyword = answer;
        if (keyword == "Cancel") {
            return Ending::Cancel;
        }
        bool goesOn = true;
        if (keyword == "?") {
            list();
        } else if (keyword == "SElect") {
            goesOn = selectByName();
        } else if (keyword == "OPTions") {
            goesOn = setOptions();
        } else if (keyword == "Export") {
            goesOn = exportReport();
        } else {
            for (const ButtonOption& button : kButtons) {
                if (keyword == button.keyword) {
                    goesOn = runButton(button);
                }
            }
        }
        if (!goesOn || ended()) {
            return Ending::Failed;
        }
        if (view_.closedWithOk()) {
            return Ending::Open;
        }
    }
}

bool CommandLineForm::runButton(const ButtonOption& button) {
    if (button.needsSelection && view_.selectedPositions().empty()) {
        acutPrintf("\nNo xrefs are selected: use SElect first.");
        return true;
    }
    if (!view_.isControlEnabled(button.controlId)) {
        return refuse(std::string(button.keyword) + " is not available for the selected xref.");
    }
    if (button.filePrompt) {
        view_.setFilePrompt(button.filePrompt);
    }
    const std::string before = view_.statusText();
    (operations_.*button.operation)();
    if (view_.closedWithOk()) {
        return true;
    }
    if (view_.statusText() != before) {
        printStatus();
    }
    // The selection may have been kept across a new list: its text and buttons follow it.
    operations_.selectionChanged();
    acutPrintf("\n%d xrefs, %zu selected.", operations_.rows().count(),
               view_.selectedPositions().size());
    return true;
}

void CommandLineForm::printStatus() const {
    // Several rows selected show "..." on the dialog's status line: nothing to say here.
    if (const std::string& text = view_.statusText(); !text.empty() && text != "...") {
        acutPrintf("\n%s", text.c_str());
    }
}

void CommandLineForm::list() const {
    const XrefRowList& rows = operations_.rows();
    const std::vector<int> selected = view_.selectedPositions();
    acutPrintf("\n%s", rowListing(rows, selected).c_str());
    acutPrintf("\n%d xrefs, %zu selected.", rows.count(), selected.size());
    printStatus();
}

bool CommandLineForm::selectByName() {
    char patterns[kAnswerSize] = {};
    if (acedGetString(1, "\nXref names to select (* for all, Enter for none): ", patterns,
                      sizeof patterns) != RTNORM) {
        failed_ = true;
        return false;
    }
    std::vector<int> positions;
    for (int position = 0; *patterns && position < operations_.rows().count(); ++position) {
        if (acutWcMatch(operations_.rowAt(position)->name.c_str(), patterns) == RTNORM) {
            positions.push_back(position);
        }
    }
    view_.select(positions);
    acutPrintf("\n%zu xrefs selected.", view_.selectedPositions().size());
    printStatus();
    return true;
}

bool CommandLineForm::setOptions() {
    while (true) {
        const int layer = view_.insertionLayer();
        acutPrintf("\nAcad Path %s, Automatically Attach %s, Visretain %s, insertion layer %s.",
                   onOff(view_.isChecked(DialogOption::AcadPath)),
                   onOff(view_.isChecked(DialogOption::AutomaticallyAttach)),
                   onOff(view_.isChecked(DialogOption::Visretain)),
                   layer < 0 ? "none" : kLayerMeanings[static_cast<std::size_t>(layer)]);
        acedInitGet(0, "ACadpath AUtoattach Visretain Layer");
        char answer[133] = {};
        const int result =
            acedGetKword("\nOption to set [ACadpath/AUtoattach/Visretain/Layer] <done>: ", answer);
        if (result == RTNONE) {
            return true;
        }
        if (result != RTNORM) {
            failed_ = true;
            return false;
        }
        const std::string keyword = answer;
        bool goesOn = true;
        if (keyword == "ACadpath") {
            goesOn = askOnOff("Acad Path", DialogOption::AcadPath);
        } else if (keyword == "AUtoattach") {
            goesOn = askOnOff("Automatically Attach", DialogOption::AutomaticallyAttach);
        } else if (keyword == "Visretain") {
            goesOn = askOnOff("Visretain", DialogOption::Visretain);
            operations_.applyVisretain();
        } else {
            goesOn = askInsertionLayer();
        }
        if (!goesOn) {
            return false;
        }
    }
}

bool CommandLineForm::askOnOff(const char* title, DialogOption option) {
    acedInitGet(0, "ON OFF");
    const std::string prompt =
        std::string("\n") + title + " [ON/OFF] <" + onOff(view_.isChecked(option)) + ">: ";
    char answer[133] = {};
    const int result = acedGetKword(prompt.c_str(), answer);
    if (result == RTNORM) {
        view_.setChecked(option, std::string(answer) == "ON");
    }
    failed_ = result != RTNORM && result != RTNONE;
    return !failed_;
}

bool CommandLineForm::askInsertionLayer() {
    acedInitGet(0, "Own Zero Current");
    const int current = view_.insertionLayer();
    std::string prompt =
        "\nInsertion layer: Own is 0_<xrefname>, Zero is 0, Current the current layer "
        "[Own/Zero/Current]";
    prompt += current < 0
                  ? ": "
                  : std::string(" <") + kLayerChoices[static_cast<std::size_t>(current)] + ">: ";
    char answer[133] = {};
    const int result = acedGetKword(prompt.c_str(), answer);
    for (std::size_t choice = 0; result == RTNORM && choice < kLayerChoices.size(); ++choice) {
        if (std::string(answer) == kLayerChoices[choice]) {
            view_.setInsertionLayer(static_cast<int>(choice));
        }
    }
    failed_ = result != RTNORM && result != RTNONE;
    return !failed_;
}

// The drawing's full name with ".csv" instead of its extension.
std::string reportNameBeside(const std::string& drawing) {
    const std::size_t nameStart = drawing.find_last_of('\\') + 1;
    const std::size_t dot = drawing.rfind('.');
    const std::string base =
        dot == std::string::npos || dot < nameStart ? drawing : drawing.substr(0, dot);
    return base.empty() ? std::string() : base + ".csv";
}

bool CommandLineForm::exportReport() {
    const AcApDocument* document = acDocManagerPtr()->curDocument();
    const std::string drawing = document ? document->fileName() : "";
    // In a batch with a report, the report of the batch is the default, and rows are added.
    const std::string batchReport = host::stringVariable("BATCHREPORT").value_or("");
    platform::FileDialogRequest request;
    request.save = true;
    request.defaultExtension = "csv";
    request.initialName = batchReport.empty() ? reportNameBeside(drawing) : batchReport;
    view_.setFilePrompt("CSV report file");
    const std::vector<std::string> chosen = view_.chooseFiles(request);
    if (chosen.empty()) {
        return !view_.failed();
    }
    acedInitGet(0, "Append Replace");
    const bool appendByDefault = !batchReport.empty();
    const std::string prompt = std::string("\nIf the file exists [Append/Replace] <") +
                               (appendByDefault ? "Append" : "Replace") + ">: ";
    char answer[133] = {};
    const int result = acedGetKword(prompt.c_str(), answer);
    if (result != RTNORM && result != RTNONE) {
        failed_ = true;
        return false;
    }
    const bool append = result == RTNONE ? appendByDefault : std::string(answer) == "Append";
    const std::string records = reportRecords(drawing, operations_.rows());
    const std::string error = append ? appendFileText(chosen.front(), reportHeader(), records)
                                     : replaceFileText(chosen.front(), reportHeader() + records);
    if (!error.empty()) {
        return refuse("Cannot write the report " + chosen.front() + ": " + error);
    }
    acutPrintf("\n%d rows %s %s.", operations_.rows().count(), append ? "added to" : "written to",
               chosen.front().c_str());
    return true;
}

}  // namespace

void commandLineCommand() {
    AcApDocument* document = acDocManagerPtr()->curDocument();
    if (!document) {
        acutPrintf("\nNo drawing is open.");
        return;
    }
    acdbRegApp("LNKHOLD");
    AcDbTransactionManager* transactions = document->transactionManager();
    transactions->startTransaction();
    Ending ending = Ending::Failed;
    {
        CommandLineForm form;
        ending = form.run();
        if (ending == Ending::Ok || ending == Ending::Open) {
            transactions->endTransaction();
        } else {
            transactions->abortTransaction();
        }
    }
    if (ending == Ending::Cancel) {
        acutPrintf("\n*Cancel*");
    } else if (ending == Ending::Failed) {
        acutPrintf("\nNothing was changed.");
    } else if (ending == Ending::Open) {
        runOpenStage();
    }
}

}  // namespace lnkhold
