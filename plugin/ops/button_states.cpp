#include "plugin/ops/button_states.h"

#include <array>

#include "plugin/ops/control_ids.h"

namespace lnkhold {

namespace {

// One button's states: nothing selected, several selected, and one row of status 0 to 5.
// Detach for status 3 depends on the row's text and is decided apart.
struct Row {
    int controlId;
    bool none;
    bool several;
    std::array<bool, 6> one;
};

constexpr bool on = true;
constexpr bool off = false;

constexpr std::array<Row, 12> kTable = {{
    {IDC_ADD, on, on, {on, on, on, on, on, on}},
    {IDC_REMOVE, off, on, {on, off, on, on, off, off}},
    {IDC_UNLOAD, off, on, {off, on, off, off, off, off}},
    {IDC_RELOAD, off, on, {off, on, on, off, on, on}},
    {IDC_DETACH, off, on, {off, on, on, off, on, off}},
    {IDC_REPATH, off, on, {off, on, on, on, on, on}},
    {IDC_ATTACH, off, on, {off, off, off, on, off, off}},
    {IDC_OVERLAY, off, on, {off, off, off, on, off, off}},
    {IDC_STRIP_PATH, off, on, {off, on, on, on, on, on}},
    {IDC_INSERT, off, on, {off, on, off, off, off, off}},
    {IDC_SAVE_LKH, on, off, {on, on, on, on, on, on}},
    {IDC_LOAD_LKH, on, on, {on, on, on, on, on, on}},
}};

}  // namespace

std::vector<ButtonState> buttonStates(const XrefRowList& rows, const std::vector<int>& selected,
                                      int sdiMode) {
    const bool haveRows = rows.count() > 0;
    std::vector<ButtonState> states;
    if (selected.size() == 1) {
        const XrefRow* row = rows.rowAt(selected.front());
        if (!row || row->statusCode < 0 || row->statusCode > 5) {
            return {{IDC_ADD, on},
                    {IDC_LOAD_LKH, on},
                    {IDC_OPEN_DWG, on},
                    {IDC_SELECT_ALL, haveRows},
                    {IDC_CLEAR_ALL, haveRows}};
        }
        const auto status = static_cast<std::size_t>(row->statusCode);
        for (const Row& button : kTable) {
            bool enabled = button.one[status];
            if (button.controlId == IDC_DETACH && status == 3) {
                enabled = row->statusText == "Unreferenced";
            }
            states.push_back({button.controlId, enabled});
        }
        states.push_back({IDC_OPEN_DWG, on});
    } else {
        const bool several = selected.size() > 1;
        for (const Row& button : kTable) {
            states.push_back({button.controlId, several ? button.several : button.none});
        }
        states.push_back({IDC_OPEN_DWG, several && sdiMode == 0});
    }
    states.push_back({IDC_SELECT_ALL, haveRows});
    states.push_back({IDC_CLEAR_ALL, haveRows});
    return states;
}

}  // namespace lnkhold
