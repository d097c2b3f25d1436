#include "cadhost/app/drawing_space.h"

#include <algorithm>
#include <memory>

#include "cadhost/app/command_line.h"
#include "cadhost/db/database_state.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/dbsymtb.h"

namespace cadhost::app {

// The current layout's entities are those of *Paper_Space; a VIEWPORT entity's number is its
// group 69, and number 1 is the layout's own sheet.
std::vector<int> layoutViewports(AcDbDatabase& drawing) {
    std::vector<int> viewports;
    AcDbBlockTable* table = nullptr;
    if (drawing.getBlockTable(table) != Acad::eOk) {
        return viewports;
    }
    AcDbBlockTableRecord* paper = nullptr;
    table->getAt("*Paper_Space", paper, AcDb::kForRead);
    table->close();
    if (!paper) {
        return viewports;
    }
    AcDbBlockTableRecordIterator* raw = nullptr;
    paper->newIterator(raw);
    std::unique_ptr<AcDbBlockTableRecordIterator> it(raw);
    for (; it && !it->done(); it->step()) {
        AcDbEntity* entity = nullptr;
        if (it->getEntity(entity, AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        if (entity->dxfType() == "VIEWPORT") {
            const auto number =
                db::groupInteger(drawing.state().tagsOf(entity->objectId().stub()), 69, 0);
            if (number >= 2) {
                viewports.push_back(static_cast<int>(number));
            }
        }
        entity->close();
    }
    paper->close();
    return viewports;
}

int currentViewport(AcApDocument& document) {
    if (document.database()->tilemode()) {
        return 2;
    }
    const std::vector<int> viewports = layoutViewports(*document.database());
    const int active = document.layoutViewport();
    return std::find(viewports.begin(), viewports.end(), active) != viewports.end() ? active : 1;
}

std::string setCurrentViewport(AcApDocument& document, int viewport) {
    if (document.database()->tilemode()) {
        return viewport == 2 ? std::string() : std::string("The Model tab has viewport 2 only.");
    }
    const std::vector<int> viewports = layoutViewports(*document.database());
    if (viewport != 1 &&
        std::find(viewports.begin(), viewports.end(), viewport) == viewports.end()) {
        return "The layout has no viewport " + std::to_string(viewport) + ".";
    }
    document.setLayoutViewport(viewport);
    return {};
}

bool switchSpace(AcApDocument& document, bool model) {
    if (document.database()->tilemode()) {
        commandLine().print("\n** Command not allowed in Model Tab **\n");
        return false;
    }
    if ((currentViewport(document) > 1) == model) {
        commandLine().print(model ? "\nAlready in model space.\n" : "\nAlready in paper space.\n");
        return true;
    }
    if (!model) {
        document.setLayoutViewport(1);
        return true;
    }
    const std::vector<int> viewports = layoutViewports(*document.database());
    if (viewports.empty()) {
        commandLine().print("\nThe layout has no viewport to enter model space through.\n");
        return false;
    }
    document.setLayoutViewport(viewports.front());
    return true;
}

}  // namespace cadhost::app
