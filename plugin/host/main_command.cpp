// LINKHOLD: the xref dialog inside a transaction of the current drawing, so that Cancel
// undoes what the dialog did and OK keeps it; after "Open Dwg" the chosen drawings open.

#include <memory>

#include "acdocman.h"
#include "aced.h"
#include "adui.h"
#include "dbmain.h"
#include "plugin/host/commands.h"
#include "plugin/host/open_stage.h"
#include "plugin/ui/main_dialog.h"

namespace lnkhold {

void mainCommand() {
    // Without a drawing or a display there is nothing to show; the drawing stays untouched.
    AcApDocument* document = acDocManagerPtr()->curDocument();
    if (!document) {
        acutPrintf("\nNo drawing is open.");
        return;
    }
    if (!InitAcUiDLL()) {
        acutPrintf(
            "\n** No display: the Linkhold dialog cannot be shown (set DISPLAY, or "
            "QT_QPA_PLATFORM=offscreen); -LINKHOLD does the same on the command line **");
        return;
    }
    acdbRegApp("LNKHOLD");
    auto dialog = std::make_unique<MainDialog>(nullptr);
    AcDbTransactionManager* transactions = document->transactionManager();
    transactions->startTransaction();
    bool openRequested = false;
    if (dialog->DoModal() == 1) {
        transactions->endTransaction();
        openRequested = dialog->openRequested();
    } else {
        transactions->abortTransaction();
    }
    dialog.reset();
    if (openRequested) {
        runOpenStage();
    }
}

}  // namespace lnkhold
