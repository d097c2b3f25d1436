#include <gtest/gtest.h>

#include <QLabel>
#include <filesystem>
#include <string>
#include <vector>

#include "qt_support.h"
#include "setup/directory_dlg.h"
#include "setup/directory_tree.h"
#include "support/temp_prefix.h"

namespace fs = std::filesystem;
using namespace setup;
using namespace setuptest;

namespace {

std::vector<std::string> texts(const QTreeWidgetItem* parent) {
    std::vector<std::string> result;
    for (int i = 0; i < parent->childCount(); ++i) {
        result.push_back(parent->child(i)->text(0).toStdString());
    }
    return result;
}

QTreeWidgetItem* childNamed(QTreeWidgetItem* parent, const std::string& name) {
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0).toStdString() == name) {
            return parent->child(i);
        }
    }
    ADD_FAILURE() << "no child " << name;
    return nullptr;
}

class Browser : public ::testing::Test {
  protected:
    Browser() {
        qtApplication();
        fs::create_directories(driveC() / "Program Files" / "Tools");
        fs::create_directories(driveC() / "WithSub" / "Inner");
        fs::create_directories(driveD / "a" / "b");
        fs::create_symlink(driveD, prefix.root() / "dosdevices" / "d:");
        fs::create_symlink(prefix.scratch() / "nowhere", prefix.root() / "dosdevices" / "e:");
    }
    fs::path driveC() const { return prefix.root() / "drive_c"; }
    static QTreeWidgetItem* drive(CDirectoryDlg& browser, const char* root) {
        auto items = browser.tree().findItems(root, Qt::MatchExactly);
        return items.size() == 1 ? items.front() : nullptr;
    }

    testsupport::TempPrefix prefix;
    fs::path driveD = prefix.scratch() / "d";
};

TEST_F(Browser, ListsUsableDrivesAndOpensTheFirstFixedOneOncePerRun) {
    CDirectoryTree::armFirstFixedDriveOpening();
    CDirectoryDlg first("");
    std::vector<std::string> drives;
    for (int i = 0; i < first.tree().topLevelItemCount(); ++i) {
        drives.push_back(first.tree().topLevelItem(i)->text(0).toStdString());
    }
    EXPECT_EQ(drives, (std::vector<std::string>{"C:\\", "D:\\", "Z:\\"}));  // E: has no target
    QTreeWidgetItem* c = drive(first, "C:\\");
    EXPECT_TRUE(c->isExpanded());
    EXPECT_EQ(texts(c), (std::vector<std::string>{"Program Files", "WithSub"}));
    EXPECT_EQ(first.selectedFolder(), "C:\\");  // a drive root keeps its backslash
    EXPECT_EQ(control<QLabel>(first, IDC_SELECTION)->text(), "C:\\\\");

    CDirectoryDlg second("");
    EXPECT_FALSE(drive(second, "C:\\")->isExpanded());
    EXPECT_EQ(second.tree().currentItem(), nullptr);
    EXPECT_EQ(second.selectedFolder(), "");
    // Not yet read: one placeholder stands for the subfolders.
    EXPECT_EQ(texts(drive(second, "D:\\")), std::vector<std::string>{""});
}

TEST_F(Browser, OpensAlongTheInitialPathIgnoringCase) {
    CDirectoryDlg browser("d:\\A\\B");
    EXPECT_EQ(browser.selectedFolder(), "D:\\a\\b");
    EXPECT_EQ(control<QLabel>(browser, IDC_SELECTION)->text(), "D:\\a\\b\\");
    EXPECT_EQ(browser.tree().currentItem()->childCount(), 0);  // no subfolders, no button

    CDirectoryDlg partly("C:\\Program Files\\Missing\\Deeper");
    EXPECT_EQ(partly.selectedFolder(), "C:\\Program Files");
    CDirectoryDlg unknownDrive("Q:\\Program Files");
    EXPECT_EQ(unknownDrive.tree().currentItem(), nullptr);
}

TEST_F(Browser, CollapseForgetsAndReexpandReadsAfresh) {
    CDirectoryDlg browser("C:\\WithSub");
    QTreeWidgetItem* withSub = browser.tree().currentItem();
    ASSERT_EQ(texts(withSub), std::vector<std::string>{"Inner"});
    fs::create_directories(driveC() / "WithSub" / "Later");
    withSub->setExpanded(false);
    EXPECT_EQ(texts(withSub), std::vector<std::string>{""});
    withSub->setExpanded(true);
    EXPECT_EQ(texts(withSub), (std::vector<std::string>{"Inner", "Later"}));

    withSub->setExpanded(false);
    fs::remove_all(driveC() / "WithSub" / "Inner");
    fs::remove_all(driveC() / "WithSub" / "Later");
    withSub->setExpanded(true);  // refused: nothing left below it
    EXPECT_FALSE(withSub->isExpanded());
    EXPECT_EQ(withSub->childCount(), 0);

    QTreeWidgetItem* c = drive(browser, "C:\\");
    c->setExpanded(false);
    EXPECT_EQ(texts(c), std::vector<std::string>{""});
    EXPECT_EQ(browser.selectedFolder(), "C:\\");
}

TEST_F(Browser, UnreadableDriveKeepsItsExpandButton) {
    CDirectoryDlg browser("");
    QTreeWidgetItem* d = drive(browser, "D:\\");
    fs::remove_all(driveD);
    d->setExpanded(true);
    EXPECT_FALSE(d->isExpanded());
    EXPECT_EQ(texts(d), std::vector<std::string>{""});
    fs::create_directories(driveD / "back");
    d->setExpanded(true);
    EXPECT_TRUE(d->isExpanded());
    EXPECT_EQ(texts(d), std::vector<std::string>{"back"});
    EXPECT_EQ(childNamed(d, "back")->childCount(), 0);
}

}  // namespace
