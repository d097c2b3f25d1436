#pragma once
// The numbers of the xref dialog's controls. The dialog names each control "IDC_<number>",
// and the button states are kept per number, so both views of the dialog share them.

namespace lnkhold {

inline constexpr int IDOK_BUTTON = 1;
inline constexpr int IDCANCEL_BUTTON = 2;
inline constexpr int IDC_ADD = 201;
inline constexpr int IDC_REMOVE = 202;
inline constexpr int IDC_UNLOAD = 203;
inline constexpr int IDC_RELOAD = 204;
inline constexpr int IDC_DETACH = 205;
inline constexpr int IDC_REPATH = 206;
inline constexpr int IDC_ATTACH = 207;
inline constexpr int IDC_OVERLAY = 208;
inline constexpr int IDC_AUTO_ATTACH = 209;
inline constexpr int IDC_ABOUT = 211;
inline constexpr int IDC_OPEN_DWG = 212;
inline constexpr int IDC_INSERT = 213;
inline constexpr int IDC_SAVE_LKH = 214;
inline constexpr int IDC_XREF_INFO = 215;
inline constexpr int IDC_LOAD_LKH = 216;
inline constexpr int IDC_LAYERSET = 217;
inline constexpr int IDC_VISRETAIN = 218;
inline constexpr int IDC_XS_RETAIN = 219;
inline constexpr int IDC_ACAD_PATH = 220;
inline constexpr int IDC_XREF_LIST = 221;
inline constexpr int IDC_SELECT_ALL = 222;
inline constexpr int IDC_CLEAR_ALL = 223;
inline constexpr int IDC_STATUS_LINE = 224;
inline constexpr int IDC_INSERTION_LAYER = 225;
inline constexpr int IDC_GROUP_LAYER = 228;
inline constexpr int IDC_GROUP_OPTIONS = 229;
inline constexpr int IDC_GROUP_UTILITIES = 230;
inline constexpr int IDC_GROUP_ACTIONS = 231;
inline constexpr int IDC_STRIP_PATH = 232;
inline constexpr int ID_HELP_BUTTON = 57670;

}  // namespace lnkhold
