#include "plugin/ui/main_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include "acdocman.h"
#include "platform/ui/dialog_units.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/help.h"
#include "platform/ui/resources.h"
#include "plugin/host/module.h"
#include "plugin/ops/control_ids.h"
#include "plugin/ui/about_dialog.h"
#include "plugin/ui/etched_group_box.h"
#include "plugin/ui/hover_button.h"
#include "plugin/ui/version_info.h"
#include "plugin/ui/xref_list_view.h"

namespace lnkhold {

namespace {

constexpr int kBackgroundBitmap = 202;
constexpr int kTickedIcon = 215;
constexpr int kUntickedIcon = 217;
constexpr int kHelpIcon = 220;
constexpr int kAboutIcon = 221;

enum class Kind { Push, DefaultPush, Check, Group };

// The dialog's template: each control with its caption and rectangle in dialog units.
struct Control {
    int id;
    Kind kind;
    const char* caption;
    int x, y, width, height;
    bool hidden = false;  // created hidden and disabled, never shown
};

constexpr Control kControls[] = {
    {IDC_GROUP_ACTIONS, Kind::Group, "Actions", 327, 7, 116, 121},
    {IDC_GROUP_UTILITIES, Kind::Group, "Utilities", 327, 134, 116, 48},
    {IDC_GROUP_OPTIONS, Kind::Group, "Options", 327, 184, 116, 39},
    {IDC_GROUP_LAYER, Kind::Group, "Insertion Layer", 327, 225, 116, 32},
    {IDC_ADD, Kind::Push, "&Add...", 332, 18, 50, 14},
    {IDC_REMOVE, Kind::Push, "Re&move", 387, 18, 50, 14},
    {IDC_UNLOAD, Kind::Push, "&Unload", 332, 36, 50, 14},
    {IDC_RELOAD, Kind::Push, "&Reload", 387, 36, 50, 14},
    {IDC_DETACH, Kind::Push, "&Detach", 332, 54, 50, 14},
    {IDC_REPATH, Kind::Push, "Re&Path...", 387, 54, 50, 14},
    {IDC_ATTACH, Kind::Push, "A&ttach", 332, 72, 50, 14},
    {IDC_OVERLAY, Kind::Push, "O&verlay", 387, 72, 50, 14},
    {IDC_STRIP_PATH, Kind::Push, "S&trip Path", 387, 90, 50, 14},
    {IDC_SELECT_ALL, Kind::Push, "Select &All", 332, 108, 50, 14},
    {IDC_CLEAR_ALL, Kind::Push, "&Clear All", 387, 108, 50, 14},
    {IDC_OPEN_DWG, Kind::Push, "&Open Dwg...", 332, 146, 50, 14},
    {IDC_INSERT, Kind::Push, "&Insert", 386, 146, 50, 14},
    {IDC_SAVE_LKH, Kind::Push, "&Save LKH...", 332, 163, 50, 14},
    {IDC_LOAD_LKH, Kind::Push, "&Load LKH...", 386, 163, 50, 14},
    {IDC_LAYERSET, Kind::Push, "Layerset", 332, 174, 50, 14, true},
    {IDC_XREF_INFO, Kind::Push, "&Xref Info", 386, 174, 50, 14, true},
    {IDC_VISRETAIN, Kind::Check, "Visretain", 332, 194, 42, 12},
    {IDC_ACAD_PATH, Kind::Check, "Acad Path", 384, 194, 47, 12},
    {IDC_AUTO_ATTACH, Kind::Check, "Automatically Attach", 332, 207, 80, 10},
    {IDC_XS_RETAIN, Kind::Check, "XS Retain", 385, 207, 46, 10, true},
    {IDC_ABOUT, Kind::Push, "", 288, 267, 16, 16},
    {ID_HELP_BUTTON, Kind::Push, "", 307, 267, 16, 16},
    {IDCANCEL_BUTTON, Kind::Push, "Cancel", 332, 269, 50, 14},
    {IDOK_BUTTON, Kind::DefaultPush, "Ok", 386, 269, 50, 14},
};

struct Tooltip {
    int id;
    const char* text;
};

constexpr Tooltip kTooltips[] = {
    {IDC_ADD, "Adds drawing files to the list of xrefs"},
    {IDC_ATTACH, "Attaches selected items as xrefs"},
    {IDC_DETACH, "Detaches selected xrefs"},
    {IDC_INSERT, "Inserts selected items as blocks"},
    {IDC_LOAD_LKH, "Load Linkhold file"},
    {IDC_OPEN_DWG, "Opens selected items as standard drawings"},
    {IDC_OVERLAY, "Inserts xref as an overlay"},
    {IDC_REPATH, "Allows repathing selected xrefs"},
    {IDC_RELOAD, "Reloads selected xrefs"},
    {IDC_REMOVE, "Removes selected items from the Linkhold list"},
    {IDC_SAVE_LKH, "Save Linkhold file"},
    {IDC_UNLOAD, "Unloads selected xrefs"},
    {IDC_STRIP_PATH, "Strip the pathing from selected xrefs"},
    {IDC_ACAD_PATH,
     "Uncheck: xref paths are hardcoded.\nChecked: xrefs are searched for and load from "
     "AutoCAD's\nSupport File Search Path"},
    {IDC_AUTO_ATTACH, "Automatically attaches xrefs selected\nwhile using the Add button"},
    {IDC_VISRETAIN, "Controls AutoCAD's Visretain system variable"},
    {ID_HELP_BUTTON, "Help"},
    {IDC_ABOUT, "About"},
};

QString controlName(int id) {
    return QStringLiteral("IDC_%1").arg(id);
}

ButtonKind buttonKind(Kind kind) {
    switch (kind) {
        case Kind::DefaultPush:
            return ButtonKind::DefaultPush;
        case Kind::Check:
            return ButtonKind::CheckBox;
        default:
            return ButtonKind::Push;
    }
}

}  // namespace

ModuleResourceScope::ModuleResourceScope() {
    acDocManagerPtr()->pushResourceHandle(moduleInstance());
}

ModuleResourceScope::~ModuleResourceScope() {
    acDocManagerPtr()->popResourceHandle();
}

MainDialog::MainDialog(QWidget* parent) : BackgroundDialog(parent) {
    setFont(platform::dialogFont());
    setWindowTitle(QStringLiteral("Holdset ver 0.1"));
    createControls();
}

MainDialog::~MainDialog() {
    // Closing the dialog closes the help it opened.
    showHelp(platform::HELP_QUIT);
    showWaitCursor(false);
}

void MainDialog::createControls() {
    const platform::DialogUnits units(font());
    setFixedSize(units.toPixels(450, 290));

    list_ = new XrefListView(operations_.rows(), this);
    list_->setObjectName(controlName(IDC_XREF_LIST));
    units.place(list_, 7, 7, 315, 250);
    list_->setSelectionHandler([this] { operations_.selectionChanged(); });

    for (const Control& control : kControls) {
        QWidget* widget = nullptr;
        if (control.kind == Kind::Group) {
            widget = new EtchedGroupBox(QString::fromUtf8(control.caption), this);
        } else {
            auto* made =
                new HoverButton(buttonKind(control.kind), QString::fromUtf8(control.caption), this);
            buttons_[control.id] = made;
            widget = made;
        }
        widget->setObjectName(controlName(control.id));
        units.place(widget, control.x, control.y, control.width, control.height);
        if (control.hidden) {
            widget->setEnabled(false);
            widget->hide();
        }
        if (control.kind == Kind::Group) {
            widget->lower();  // group boxes lie behind the controls they frame
        }
    }

    insertionLayer_ = new QComboBox(this);
    insertionLayer_->setObjectName(controlName(IDC_INSERTION_LAYER));
    insertionLayer_->setEditable(true);  // a drop-down: typed text is ignored
    insertionLayer_->addItems({"0_<xrefname>", "0", "Current layer"});
    insertionLayer_->setInsertPolicy(QComboBox::NoInsert);
    units.place(insertionLayer_, 333, 237, 104, 13);

    statusLine_ = new QLineEdit(this);
    statusLine_->setObjectName(controlName(IDC_STATUS_LINE));
    statusLine_->setReadOnly(true);
    units.place(statusLine_, 7, 269, 275, 14);

    const auto on = [this](int id, void (MainDialog::*handler)()) {
        connect(buttons_.at(id), &QAbstractButton::clicked, this,
                [this, handler] { (this->*handler)(); });
    };
    on(IDC_ADD, &MainDialog::onAdd);
    on(IDC_REMOVE, &MainDialog::onRemove);
    on(IDC_SELECT_ALL, &MainDialog::onSelectAll);
    on(IDC_CLEAR_ALL, &MainDialog::onClearAll);
    on(IDC_VISRETAIN, &MainDialog::onVisretain);
    on(IDC_SAVE_LKH, &MainDialog::onSaveSetFile);
    on(IDC_ATTACH, &MainDialog::onAttach);
    on(IDC_OVERLAY, &MainDialog::onOverlay);
    on(IDC_DETACH, &MainDialog::onDetach);
    on(IDC_UNLOAD, &MainDialog::onUnload);
    on(IDC_RELOAD, &MainDialog::onReload);
    on(IDC_REPATH, &MainDialog::onRepath);
    on(IDC_STRIP_PATH, &MainDialog::onStripPath);
    on(IDC_INSERT, &MainDialog::onInsert);
    on(IDC_OPEN_DWG, &MainDialog::onOpenDwg);
    on(IDC_LOAD_LKH, &MainDialog::onLoadSetFile);
    on(IDC_ABOUT, &MainDialog::onAbout);
    on(ID_HELP_BUTTON, &MainDialog::onHelp);
    connect(buttons_.at(IDOK_BUTTON), &QAbstractButton::clicked, this, [this] { accept(); });
    connect(buttons_.at(IDCANCEL_BUTTON), &QAbstractButton::clicked, this, [this] { reject(); });
}

BOOL MainDialog::OnInitDialog() {
    BackgroundDialog::OnInitDialog();
    list_->setColumnWidths(DialogOperations::storedColumnWidths());
    operations_.start();
    // Without a readable version resource the template's caption stays.
    if (const std::string title = versionTitle(moduleInstance()); !title.empty()) {
        setWindowTitle(QString::fromStdString(title));
    }
    const qreal scale = devicePixelRatioF();
    setBackgroundBitmap(platform::loadBitmapResource(resourceInstance(), kBackgroundBitmap, scale));
    setDrawMode(kTiled);
    styleControls();
    char helpPath[261] = {};
    if (FindContextHelpFullPath("lnkhold.hlp", helpPath)) {
        SetContextHelpFullPathName(helpPath);
    }
    return 1;
}

void MainDialog::styleControls() {
    for (const auto& [id, control] : buttons_) {
        if (id != IDC_XS_RETAIN) {
            control->setTransparent();
        }
    }
    for (const Tooltip& tooltip : kTooltips) {
        button(tooltip.id)->setTooltipText(QString::fromUtf8(tooltip.text), true);
    }
    for (int id : {IDC_ACAD_PATH, IDC_AUTO_ATTACH, IDC_VISRETAIN}) {
        button(id)->setIcons(kTickedIcon, kUntickedIcon);
        button(id)->setDrawBorder(false);
    }
    button(ID_HELP_BUTTON)->setIcons(kHelpIcon, 0);
    button(ID_HELP_BUTTON)->setDrawBorder(false);
    button(IDC_ABOUT)->setIcons(kAboutIcon, 0);
    button(IDC_ABOUT)->setDrawBorder(false);
    button(IDC_ADD)->setDrawBorder(true);
}

void MainDialog::OnOK() {
    operations_.accept(list_->columnWidths());
    BackgroundDialog::OnOK();
}

void MainDialog::onAdd() {
    operations_.add();
    list_->viewport()->update();
}

void MainDialog::onRemove() {
    operations_.removeSelected();
}

void MainDialog::onSelectAll() {
    operations_.selectAll();
}

void MainDialog::onClearAll() {
    operations_.clearSelection();
}

void MainDialog::onVisretain() {
    operations_.applyVisretain();
}

void MainDialog::onAttach() {
    operations_.attachSelected();
}

void MainDialog::onOverlay() {
    operations_.overlaySelected();
}

void MainDialog::onRepath() {
    operations_.repathSelected();
}

void MainDialog::onStripPath() {
    operations_.stripPathSelected();
}

void MainDialog::onInsert() {
    operations_.bindSelected();
}

void MainDialog::onOpenDwg() {
    operations_.openSelected();
}

void MainDialog::onDetach() {
    operations_.detachSelected();
}

void MainDialog::onUnload() {
    operations_.unloadSelected();
}

void MainDialog::onReload() {
    operations_.reloadAndRefresh();
}

void MainDialog::onSaveSetFile() {
    operations_.saveSetFile();
}

void MainDialog::onLoadSetFile() {
    operations_.loadSetFile();
    list_->viewport()->update();
}

void MainDialog::onHelp() {
    showHelp(platform::HELP_CONTENTS);
}

void MainDialog::onAbout() {
    AboutDialog about(this);
    about.DoModal();
}

void MainDialog::showHelp(unsigned command) {
    if (const std::optional<std::string> path = helpFilePath(moduleInstance())) {
        platform::WinHelpA(this, path->c_str(), command, 0);
    }
}

// F1 (and any other help request) shows the help file's contents.
void MainDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        showHelp(platform::HELP_CONTENTS);
        return;
    }
    BackgroundDialog::keyPressEvent(event);
}

HoverButton* MainDialog::button(int controlId) const {
    const auto found = buttons_.find(controlId);
    return found == buttons_.end() ? nullptr : found->second;
}

HoverButton* MainDialog::optionBox(DialogOption option) const {
    switch (option) {
        case DialogOption::AcadPath:
            return button(IDC_ACAD_PATH);
        case DialogOption::XsRetain:
            return button(IDC_XS_RETAIN);
        case DialogOption::AutomaticallyAttach:
            return button(IDC_AUTO_ATTACH);
        case DialogOption::Visretain:
            return button(IDC_VISRETAIN);
    }
    return nullptr;
}

bool MainDialog::isChecked(DialogOption option) const {
    return optionBox(option)->getCheck();
}

void MainDialog::setChecked(DialogOption option, bool checked) {
    optionBox(option)->setCheck(checked);
}

int MainDialog::insertionLayer() const {
    return insertionLayer_->currentIndex();
}

void MainDialog::setInsertionLayer(int index) {
    insertionLayer_->setCurrentIndex(index >= 0 && index <= 2 ? index : -1);
}

std::vector<int> MainDialog::selectedPositions() const {
    return list_->selectedPositions();
}

void MainDialog::setItemSelected(int position, bool selected) {
    list_->setItemSelected(position, selected);
}

void MainDialog::setStatusText(const std::string& text) {
    statusLine_->setText(QString::fromStdString(text));
    statusLine_->setCursorPosition(0);
}

void MainDialog::setItemCount(int count) {
    list_->setItemCount(count);
}

void MainDialog::closeWithOk() {
    OnOK();
}

void MainDialog::redrawList() {
    list_->redraw();
}

void MainDialog::setControlEnabled(int controlId, bool enabled) {
    if (HoverButton* control = button(controlId)) {
        control->setEnabled(enabled);
    }
}

void MainDialog::showWaitCursor(bool waiting) {
    if (waiting != waiting_) {
        waiting_ = waiting;
        if (waiting) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    }
}

void MainDialog::setWindowEnabled(bool enabled) {
    setEnabled(enabled);
}

std::vector<std::string> MainDialog::chooseFiles(const platform::FileDialogRequest& request) {
    // The file dialog shows its own cursor, and takes the input while it runs: the dialog is
    // enabled again for it (a disabled owner would disable the file dialog with it).
    const bool wasWaiting = waiting_;
    const bool wasEnabled = isEnabled();
    showWaitCursor(false);
    setEnabled(true);
    std::vector<std::string> chosen = platform::runFileDialog(this, request);
    setEnabled(wasEnabled);
    showWaitCursor(wasWaiting);
    return chosen;
}

}  // namespace lnkhold
