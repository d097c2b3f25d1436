#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/current_folder.h"
#include "platform/host_path.h"
#include "qt_support.h"
#include "registry_support.h"
#include "setup/agreement_dlg.h"
#include "setup/directory_dlg.h"
#include "setup/directory_tree.h"
#include "setup/main_sheet.h"
#include "support/temp_prefix.h"

namespace fs = std::filesystem;
using namespace setup;
using namespace setuptest;

namespace {

const std::string kR160 = kProducts + "R16.0\\ACAD-201:409";
const std::string kR161 = kProducts + "R16.1\\ACAD-301:409";

void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

class Wizard : public ::testing::Test {
  protected:
    Wizard() {
        qtApplication();
        writeText(setupDir / "Linkhold16.arx", "module");
        writeText(setupDir / "setup16.ini", "Linkhold16.arx\n");
        platform::setCurrentHostFolder(platform::nativeToHost(setupDir));
        addProduct("R16.1", "ACAD-301:409", "AutoCAD 2005", "16.1s (LMS Tech)");
        addProduct("R16.0", "ACAD-201:409", "AutoCAD 2004", "16.0s (LMS Tech)");
    }

    // Shows the wizard and records each page it shows.
    void start(CMainSheet& sheet) {
        QObject::connect(&sheet, &QWizard::currentIdChanged,
                         [this](int id) { visited.push_back(id); });
        sheet.show();
    }
    static void press(CMainSheet& sheet, QWizard::WizardButton which) {
        click(sheet.button(which));
    }
    static bool finishEnabled(CMainSheet& sheet) {
        return sheet.button(QWizard::FinishButton)->isVisible() &&
               sheet.button(QWizard::FinishButton)->isEnabled();
    }
    static QListWidget* productList(CMainSheet& sheet) {
        return control<QListWidget>(*sheet.currentPage(), IDC_PRODUCTS);
    }
    static void clickRow(QListWidget* list, int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }

    fs::path driveC() const { return prefix.root() / "drive_c"; }

    testsupport::TempPrefix prefix;
    fs::path setupDir = prefix.scratch() / "setup";
    ScriptedResponder responder;
    std::vector<int> visited;
};

TEST_F(Wizard, AgreementMustBeGivenBeforeContinuing) {
    writeText(setupDir / "license.txt", "Terms of use\r\nSecond line\r\n");
    CAgreementDlg agreement(platform::nativeToHost(setupDir));
    agreement.show();
    EXPECT_EQ(agreement.windowTitle(), "Setup Fernview for AutoCAD 2004 - 2005");
    EXPECT_EQ(control<QPlainTextEdit>(agreement, IDC_LICENSE)->toPlainText(),
              "Terms of use\nSecond line\n");
    auto* proceed = control<QPushButton>(agreement, platform::IDOK);
    EXPECT_TRUE(control<QRadioButton>(agreement, IDC_DISAGREE)->isChecked());
    EXPECT_FALSE(proceed->isEnabled());
    click(control<QRadioButton>(agreement, IDC_AGREE));
    EXPECT_TRUE(proceed->isEnabled());
    screenshot(agreement, "agreement");
    click(control<QRadioButton>(agreement, IDC_DISAGREE));
    EXPECT_FALSE(proceed->isEnabled());
    click(control<QPushButton>(agreement, platform::IDCANCEL));
    EXPECT_EQ(agreement.result(), QDialog::Rejected);
    EXPECT_TRUE(responder.shown.empty());
}

TEST_F(Wizard, InstallGoesThroughTheFolderPageBothWays) {
    CMainSheet sheet;
    start(sheet);
    EXPECT_EQ(sheet.windowTitle(), "Linkhold16");
    EXPECT_FALSE(sheet.button(QWizard::BackButton)->isEnabled());
    EXPECT_FALSE(sheet.button(QWizard::FinishButton)->isVisible());
    EXPECT_FALSE(control<QLabel>(*sheet.currentPage(), IDC_UNINSTALL_NOTE)->isEnabled());
    EXPECT_EQ(control<QRadioButton>(*sheet.currentPage(), IDC_INSTALL)->text(),
              "Install Linkhold16");
    screenshot(sheet, "page0-install-choice");
    press(sheet, QWizard::NextButton);

    ASSERT_EQ(sheet.currentId(), CMainSheet::kDirectoryPage);
    auto* directory = control<QLineEdit>(*sheet.currentPage(), IDC_DIRECTORY);
    EXPECT_EQ(directory->text(), "C:\\Program Files\\Tarnwick\\Linkhold16");
    EXPECT_TRUE(sheet.button(QWizard::BackButton)->isEnabled());
    screenshot(sheet, "page1-directory");
    directory->setText("C:\\Inst");
    press(sheet, QWizard::NextButton);  // the responder answers No
    EXPECT_EQ(sheet.currentId(), CMainSheet::kDirectoryPage);
    EXPECT_EQ(responder.captions(), std::vector<std::string>{"Unknown Directory"});
    responder.answers = {platform::IDYES};
    press(sheet, QWizard::NextButton);
    ASSERT_EQ(sheet.currentId(), CMainSheet::kVersionsPage);
    EXPECT_TRUE(fs::exists(driveC() / "Inst" / "Linkhold16.arx"));

    auto* list = productList(sheet);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "AutoCAD 2004  -  16.0s (LMS Tech) (ACAD-201:409)");
    EXPECT_EQ(list->item(1)->text(), "AutoCAD 2005  -  16.1s (LMS Tech) (ACAD-301:409)");
    EXPECT_EQ(control<QLabel>(*sheet.currentPage(), IDC_SELECTION)->text(), "Install Linkhold16");
    EXPECT_FALSE(finishEnabled(sheet));
    EXPECT_FALSE(sheet.button(QWizard::NextButton)->isVisible());
    clickRow(list, 1);
    EXPECT_TRUE(finishEnabled(sheet));
    click(control<QPushButton>(*sheet.currentPage(), IDC_UNSELECT_ALL));
    EXPECT_FALSE(finishEnabled(sheet));
    click(control<QPushButton>(*sheet.currentPage(), IDC_SELECT_ALL));
    EXPECT_TRUE(finishEnabled(sheet));
    screenshot(sheet, "page2-products");

    press(sheet, QWizard::BackButton);
    EXPECT_EQ(sheet.currentId(), CMainSheet::kDirectoryPage);
    press(sheet, QWizard::NextButton);  // the folder exists now: no question
    ASSERT_EQ(sheet.currentId(), CMainSheet::kVersionsPage);
    EXPECT_EQ(productList(sheet)->selectedItems().size(), 2);
    EXPECT_FALSE(finishEnabled(sheet));  // until the selection changes on this visit
    click(control<QPushButton>(*sheet.currentPage(), IDC_SELECT_ALL));
    responder.shown.clear();
    press(sheet, QWizard::FinishButton);

    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(responder.captions(), std::vector<std::string>{"Installation complete"});
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 1, 2}));
    for (const auto& product : {kR160, kR161}) {
        EXPECT_NE(regSection(product + "\\Applications\\Linkhold16")
                      .find("\"LOADER\"=\"C:\\\\Inst\\\\Linkhold16.arx\""),
                  std::string::npos);
    }
}

// A package without its module: the copy says which files are missing, No keeps the folder
// page with nothing registered, Yes goes on as the user chose.
TEST_F(Wizard, FilesThatCannotBeCopiedAreReportedBeforeAnythingIsRegistered) {
    std::filesystem::remove(setupDir / "Linkhold16.arx");
    writeText(setupDir / "lnkhold.hlp", "help");
    writeText(setupDir / "setup16.ini", "Linkhold16.arx\r\nlnkhold.hlp\r\n");
    fs::create_directories(driveC() / "Inst");
    CMainSheet sheet;
    start(sheet);
    press(sheet, QWizard::NextButton);
    control<QLineEdit>(*sheet.currentPage(), IDC_DIRECTORY)->setText("C:\\Inst");
    press(sheet, QWizard::NextButton);  // the responder answers No

    EXPECT_EQ(sheet.currentId(), CMainSheet::kDirectoryPage);
    ASSERT_EQ(responder.shown.size(), 1u);
    EXPECT_EQ(responder.shown[0].caption, "Installation Error");
    EXPECT_EQ(responder.shown[0].type, platform::MB_YESNO | platform::MB_ICONQUESTION);
    EXPECT_NE(responder.shown[0].text.find("Linkhold16.arx: not found in the setup folder\n"),
              std::string::npos)
        << responder.shown[0].text;
    EXPECT_EQ(responder.shown[0].text.find("lnkhold.hlp"), std::string::npos);
    EXPECT_TRUE(fs::exists(driveC() / "Inst" / "lnkhold.hlp"));  // what was copied stays

    // The module is put beside setup: the next try copies it without a question.
    writeText(setupDir / "Linkhold16.arx", "module");
    press(sheet, QWizard::NextButton);
    ASSERT_EQ(sheet.currentId(), CMainSheet::kVersionsPage);
    EXPECT_EQ(responder.shown.size(), 1u);
    EXPECT_TRUE(fs::exists(driveC() / "Inst" / "Linkhold16.arx"));
    press(sheet, QWizard::BackButton);

    // Without it again, Yes goes on: the user chose to register anyway.
    fs::remove(driveC() / "Inst" / "Linkhold16.arx");
    fs::remove(setupDir / "Linkhold16.arx");
    responder.answers = {platform::IDYES};
    press(sheet, QWizard::NextButton);
    ASSERT_EQ(sheet.currentId(), CMainSheet::kVersionsPage);
    EXPECT_EQ(responder.captions(),
              (std::vector<std::string>{"Installation Error", "Installation Error"}));
    EXPECT_FALSE(keyExists(kR160 + "\\Applications"));
    click(control<QPushButton>(*sheet.currentPage(), IDC_SELECT_ALL));
    press(sheet, QWizard::FinishButton);
    EXPECT_EQ(responder.captions().back(), "Installation complete");
    EXPECT_TRUE(keyExists(kR160 + "\\Applications\\Linkhold16"));
}

TEST_F(Wizard, NoListIsReportedAsAFileThatCannotBeCopied) {
    fs::remove(setupDir / "setup16.ini");
    fs::create_directories(driveC() / "Inst");
    CMainSheet sheet;
    start(sheet);
    press(sheet, QWizard::NextButton);
    control<QLineEdit>(*sheet.currentPage(), IDC_DIRECTORY)->setText("C:\\Inst");
    press(sheet, QWizard::NextButton);
    EXPECT_EQ(sheet.currentId(), CMainSheet::kDirectoryPage);
    ASSERT_EQ(responder.shown.size(), 1u);
    EXPECT_NE(responder.shown[0].text.find("setup16.ini: the list of files to copy could not be "
                                           "read: not found in the setup folder"),
              std::string::npos)
        << responder.shown[0].text;
    EXPECT_TRUE(fs::is_empty(driveC() / "Inst"));
}

TEST_F(Wizard, UninstallNeverShowsTheFolderPage) {
    setString(kR160 + "\\Applications\\Linkhold16\\COMMANDS", "Linkhold", "LKH");
    CMainSheet sheet;
    start(sheet);
    click(control<QRadioButton>(*sheet.currentPage(), IDC_UNINSTALL));
    EXPECT_TRUE(control<QLabel>(*sheet.currentPage(), IDC_UNINSTALL_NOTE)->isEnabled());
    press(sheet, QWizard::NextButton);
    ASSERT_EQ(sheet.currentId(), CMainSheet::kVersionsPage);
    EXPECT_EQ(control<QLabel>(*sheet.currentPage(), IDC_SELECTION)->text(), "Uninstall Linkhold16");
    press(sheet, QWizard::BackButton);
    ASSERT_EQ(sheet.currentId(), CMainSheet::kInstallPage);
    press(sheet, QWizard::NextButton);
    ASSERT_EQ(sheet.currentId(), CMainSheet::kVersionsPage);
    clickRow(productList(sheet), 0);
    ASSERT_TRUE(finishEnabled(sheet));
    press(sheet, QWizard::FinishButton);

    EXPECT_EQ(visited, (std::vector<int>{0, 2, 0, 2}));
    EXPECT_FALSE(keyExists(kR160 + "\\Applications\\Linkhold16"));
    EXPECT_TRUE(keyExists(kR160 + "\\Applications"));
    EXPECT_EQ(responder.captions(), std::vector<std::string>{"Finish uninstalling"});
    EXPECT_FALSE(fs::exists(driveC() / "Program Files" / "Tarnwick"));
}

TEST_F(Wizard, SwitchingBackToInstallShowsTheFolderPage) {
    CMainSheet sheet;
    start(sheet);
    click(control<QRadioButton>(*sheet.currentPage(), IDC_UNINSTALL));
    press(sheet, QWizard::NextButton);
    press(sheet, QWizard::BackButton);
    click(control<QRadioButton>(*sheet.currentPage(), IDC_INSTALL));
    press(sheet, QWizard::NextButton);
    EXPECT_EQ(sheet.currentId(), CMainSheet::kDirectoryPage);
    EXPECT_EQ(sheet.mode(), CMainSheet::kInstall);
}

TEST_F(Wizard, CancelOnAnyPageEndsWithoutAQuestion) {
    for (int page = 0; page < 3; ++page) {
        fs::create_directories(driveC() / "Program Files" / "Tarnwick" / "Linkhold16");
        CMainSheet sheet;
        start(sheet);
        for (int step = 0; step < page; ++step) {
            press(sheet, QWizard::NextButton);
        }
        ASSERT_EQ(sheet.currentId(), page);
        press(sheet, QWizard::CancelButton);
        EXPECT_EQ(sheet.result(), QDialog::Rejected);
        EXPECT_FALSE(sheet.isVisible());
    }
    EXPECT_TRUE(responder.shown.empty());
    EXPECT_FALSE(keyExists(kR160 + "\\Applications"));
}

TEST_F(Wizard, BrowseButtonOpensAtProgramFilesAndTakesTheChoice) {
    fs::create_directories(driveC() / "Program Files" / "Tools");
    CDirectoryTree::armFirstFixedDriveOpening();
    CMainSheet sheet;
    start(sheet);
    press(sheet, QWizard::NextButton);
    auto* directory = control<QLineEdit>(*sheet.currentPage(), IDC_DIRECTORY);
    directory->setText("D:\\elsewhere");
    responder.dialogs.push_back([](QDialog& dialog) {
        auto& browser = dynamic_cast<CDirectoryDlg&>(dialog);
        browser.show();
        EXPECT_EQ(browser.selectedFolder(), "C:\\Program Files");
        screenshot(browser, "directory-browser");
        auto* current = browser.tree().currentItem();
        browser.tree().setCurrentItem(current->child(0));  // Tools
        click(control<QPushButton>(browser, platform::IDOK));
        return browser.result();
    });
    responder.dialogs.push_back([](QDialog& dialog) {
        dialog.show();
        click(control<QPushButton>(dialog, platform::IDCANCEL));
        return dialog.result();
    });
    click(control<QPushButton>(*sheet.currentPage(), IDC_BROWSE));
    EXPECT_EQ(directory->text(), "C:\\Program Files\\Tools");
    click(control<QPushButton>(*sheet.currentPage(), IDC_BROWSE));
    EXPECT_EQ(directory->text(), "C:\\Program Files\\Tools");
    EXPECT_TRUE(responder.dialogs.empty());
}

// The whole program as a user meets it: agreement, wizard, files and registry.
TEST_F(Wizard, AgreementThenInstallCopiesAndRegisters) {
    writeText(setupDir / "lnkhold.hlp", "help");
    writeText(setupDir / "setup16.ini", "Linkhold16.arx\nlnkhold.hlp\n");
    CAgreementDlg agreement(platform::nativeToHost(setupDir));
    agreement.show();
    EXPECT_EQ(control<QPlainTextEdit>(agreement, IDC_LICENSE)->toPlainText().toStdString(),
              std::string("License.txt could not be found or read.  Please download\nand read "
                          "license.txt from\nhttps://www.tarnwick.example/linkhold16/license.txt"));
    responder.answers = {platform::IDYES};
    responder.dialogs.push_back([this](QDialog& dialog) {
        auto& sheet = dynamic_cast<CMainSheet&>(dialog);
        start(sheet);
        press(sheet, QWizard::NextButton);
        press(sheet, QWizard::NextButton);
        click(control<QPushButton>(*sheet.currentPage(), IDC_SELECT_ALL));
        press(sheet, QWizard::FinishButton);
        return sheet.result();
    });
    click(control<QRadioButton>(agreement, IDC_AGREE));
    click(control<QPushButton>(agreement, platform::IDOK));

    EXPECT_EQ(agreement.result(), QDialog::Accepted);
    EXPECT_EQ(responder.captions(),
              (std::vector<std::string>{"Unknown Directory", "Installation complete"}));
    const fs::path installed = driveC() / "Program Files" / "Tarnwick" / "Linkhold16";
    EXPECT_TRUE(fs::exists(installed / "Linkhold16.arx"));
    EXPECT_TRUE(fs::exists(installed / "lnkhold.hlp"));
    const std::string key = kR161 + "\\Applications\\Linkhold16";
    EXPECT_EQ(regSection(key), "[HKEY_LOCAL_MACHINE\\" + key +
                                   "]\n\"LOADCTRLS\"=dword:0000000c\n\"LOADER\"=\"C:\\\\Program "
                                   "Files\\\\Tarnwick\\\\Linkhold16\\\\Linkhold16.arx\"\n");
}

}  // namespace
