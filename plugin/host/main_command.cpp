// LINKHOLD: the xref dialog inside a transaction of the current drawing, so that Cancel
// undoes what the dialog did and OK keeps it.

#include <memory>

#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/aced.h"
#include "cadhost/sdk/adui.h"
#include "cadhost/sdk/dbmain.h"
#include "plugin/host/commands.h"
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
            "QT_QPA_PLATFORM=offscreen) **");
        return;
    }
    acdbRegApp("LNKHOLD");
    auto dialog = std::make_unique<MainDialog>(nullptr);
    AcDbTransactionManager* transactions = document->transactionManager();
    transactions->startTransaction();
    if (dialog->DoModal() == 1) {
        transactions->endTransaction();
    } else {
        transactions->abortTransaction();
    }
    dialog.reset();
}

void secondStageCommand() {
    // Only the first stage queues this command, with a drawing to activate; typed by the
    // user there is nothing to do.
    acutPrintf("\nLinkholdSD for internal use only. Use Linkhold or LKH instead");
}

}  // namespace lnkhold
