#pragma once
// Control IDs of the installer's dialogs; each control carries controlName(id) as its object
// name, so that tests and style sheets find it.

#include <QString>

namespace setup {

enum ControlId : int {
    IDC_AGREE = 1000,
    IDC_DISAGREE = 1001,
    IDC_LICENSE = 1002,
    IDC_INSTALL = 1003,
    IDC_UNINSTALL = 1004,
    IDC_UNINSTALL_NOTE = 1005,
    IDC_DIRECTORY = 1006,
    IDC_BROWSE = 1007,
    IDC_PRODUCTS = 1008,
    IDC_SELECT_ALL = 1009,
    IDC_UNSELECT_ALL = 1010,
    IDC_SELECTION = 1012,
    IDC_TREE = 1013,
};

inline QString controlName(int id) {
    return QStringLiteral("IDC_%1").arg(id);
}

}  // namespace setup
