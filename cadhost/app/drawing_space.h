#pragma once
// Model space and paper space of a drawing: CVPORT, and what MSPACE and PSPACE do.

#include <string>
#include <vector>

class AcApDocument;
class AcDbDatabase;

namespace cadhost::app {

// The numbers of the viewports of the drawing's current layout (2 and up), in drawing order.
std::vector<int> layoutViewports(AcDbDatabase& drawing);

// CVPORT: 2 in the Model tab; in a layout 1 while paper space is active, else the viewport.
int currentViewport(AcApDocument& document);
// "" when set, else why not: the Model tab has only viewport 2, a layout paper space (1)
// and its own viewports.
std::string setCurrentViewport(AcApDocument& document, int viewport);

// MSPACE (model true) and PSPACE: step into the layout's first viewport or back to paper
// space. False, after a message and with nothing changed, in the Model tab and, for MSPACE,
// in a layout without viewports.
bool switchSpace(AcApDocument& document, bool model);

}  // namespace cadhost::app
