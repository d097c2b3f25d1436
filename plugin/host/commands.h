#pragma once
// The module's commands: LINKHOLD (LKH) runs the xref dialog inside a transaction of the
// current drawing, -LINKHOLD (-LKH) the same on the command line; LINKHOLDSD is the second
// stage that activates a drawing opened by either.

namespace lnkhold {

void mainCommand();
void commandLineCommand();
void secondStageCommand();

}  // namespace lnkhold
