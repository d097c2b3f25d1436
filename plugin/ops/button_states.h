#pragma once
// Which of the dialog's buttons are enabled for a selection of the list.

#include <vector>

#include "plugin/model/xref_row_list.h"

namespace lnkhold {

struct ButtonState {
    int controlId;
    bool enabled;
};

// The buttons to set for the selected positions (lowest first): every button when nothing or
// several rows are selected or the one row has a known status; only Add, Load, Open Dwg,
// Select All and Clear All for one row that is missing or has an unknown status, the others
// keeping their state. sdiMode is the host's "sdi" variable (non-zero: one drawing at a time).
std::vector<ButtonState> buttonStates(const XrefRowList& rows, const std::vector<int>& selected,
                                      int sdiMode);

}  // namespace lnkhold
