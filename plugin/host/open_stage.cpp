#include "plugin/host/open_stage.h"

#include <memory>

#include "acadi.h"
#include "acdocman.h"
#include "aced.h"
#include "platform/case_fold.h"
#include "platform/error_text.h"
#include "plugin/host/commands.h"
#include "plugin/host/host_variables.h"

namespace lnkhold {

namespace {

AcApDocument* openDocumentNamed(const std::string& path) {
    std::unique_ptr<AcApDocumentIterator> it(acDocManagerPtr()->newAcApDocumentIterator());
    for (; !it->done(); it->step()) {
        if (platform::equalsIgnoreCase(it->document()->fileName(), path)) {
            return it->document();
        }
    }
    return nullptr;
}

bool isOpen(const AcApDocument* document) {
    std::unique_ptr<AcApDocumentIterator> it(acDocManagerPtr()->newAcApDocumentIterator());
    for (; !it->done(); it->step()) {
        if (it->document() == document) {
            return true;
        }
    }
    return false;
}

// Releases a COM interface when it goes out of scope.
template <class Interface>
struct Released {
    Interface* pointer = nullptr;
    ~Released() {
        if (pointer) {
            pointer->Release();
        }
    }
};

HRESULT openWithAutomation(const std::string& path) {
    CWinApp* app = acedGetAcadWinApp();
    Released<IDispatch> dispatch{app ? app->GetIDispatch(true) : nullptr};
    if (!dispatch.pointer) {
        return E_FAIL;
    }
    Released<IAcadApplication> application;
    HRESULT result = dispatch.pointer->QueryInterface(
        IID_IAcadApplication, reinterpret_cast<void**>(&application.pointer));
    if (FAILED(result)) {
        return result;
    }
    Released<IAcadDocuments> documents;
    result = application.pointer->get_Documents(&documents.pointer);
    if (FAILED(result)) {
        return result;
    }
    // The read-only flag and the password are left out (VT_ERROR marks them missing).
    return documents.pointer->Open(path.c_str(), VARIANT{}, VARIANT{}, nullptr);
}

}  // namespace

OpenStage& openStage() {
    static OpenStage stage;
    return stage;
}

AcApDocument* openThroughAutomation(const std::string& path) {
    if (const HRESULT result = openWithAutomation(path); FAILED(result)) {
        if (result == E_ACAD_FILE_NOT_FOUND) {
            acutPrintf("\nerror: xref not found");
        } else {
            acutPrintf("\n%s",
                       platform::systemErrorText(static_cast<std::uint32_t>(result)).c_str());
        }
        return nullptr;
    }
    return openDocumentNamed(path);
}

AcApDocument* openPendingDrawings() {
    const std::vector<std::string>& paths = openStage().pendingOpenPaths;
    if (paths.empty()) {
        acutPrintf("\nNo found xrefs to open. Check Xref paths");
        return nullptr;
    }
    AcApDocument* result = nullptr;
    for (const std::string& path : paths) {
        if (AcApDocument* open = openDocumentNamed(path)) {
            result = open;
        } else if (host::shortVariable("sdi").value_or(0) != 0) {
            acedSyncFileOpen(path.c_str());
        } else {
            result = openThroughAutomation(path);
        }
    }
    return result;
}

void runOpenStage() {
    AcApDocManager* manager = acDocManagerPtr();
    manager->pushResourceHandle(acedGetAcadResourceInstance());
    openStage().documentToActivate = openPendingDrawings();
    if (openStage().documentToActivate) {
        manager->sendStringToExecute(manager->curDocument(), "LINKHOLDSD\n", true, true, true);
    }
    manager->popResourceHandle();
}

// LINKHOLDSD: activates the document the open stage left; typed by the user, a notice.
void secondStageCommand() {
    AcApDocument*& document = openStage().documentToActivate;
    if (!document) {
        acutPrintf("\nLinkholdSD for internal use only. Use Linkhold or LKH instead");
    } else if (isOpen(document)) {  // one closed since the first stage is left alone
        acDocManagerPtr()->activateDocument(document, false);
    }
    document = nullptr;
}

}  // namespace lnkhold
