#pragma once
// The module's two commands: LINKHOLD (LKH) runs the xref dialog inside a transaction of the
// current drawing; LINKHOLDSD is the second stage that activates a drawing opened by it.

namespace lnkhold {

void mainCommand();
void secondStageCommand();

}  // namespace lnkhold
