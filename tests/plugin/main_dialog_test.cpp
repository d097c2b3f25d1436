// The xref dialog as a user meets it: LKH through the host's demand loading, the rows with
// their texts and colours, the buttons for each selection, Add and Remove, the options and
// settings that OK stores and Cancel does not, the owner of a nested xref, the column sort,
// help and About. Screenshots of the dialog and the About box go to the build folder.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "cadhost/dxf_test_support.h"
#include "cadhost/sdk/acedxref.h"
#include "cadhost/sdk/dbsymtb.h"
#include "cadhost/sdk/dbxrefgraph.h"
#include "cadhost/xref_test_support.h"
#include "module_session.h"
#include "platform/registry.h"
#include "platform/ui/help.h"
#include "plugin/model/local_time.h"
#include "plugin/model/settings.h"
#include "plugin/ops/control_ids.h"
#include "plugin/ops/marker_block.h"

namespace {

using namespace lnkhold;
using namespace plugintest;
using testing::AllOf;
using testing::HasSubstr;
using testing::Not;

bool enabled(const QDialog& dialog, int id) {
    return control(dialog, id)->isEnabled();
}

std::string statusLine(const QDialog& dialog) {
    return control<QLineEdit>(dialog, IDC_STATUS_LINE)->text().toStdString();
}

QColor textColour(const QDialog& dialog, int row) {
    const QAbstractItemModel& model = *xrefList(dialog).model();
    return model.data(model.index(row, 0), Qt::ForegroundRole).value<QColor>();
}

QColor background(const QDialog& dialog, int row) {
    const QAbstractItemModel& model = *xrefList(dialog).model();
    return model.data(model.index(row, 0), Qt::BackgroundRole).value<QColor>();
}

class MainDialogTest : public ModuleSession {
  protected:
    void SetUp() override {
        ModuleSession::SetUp();
        writeSetting("AutoAttach", 0);  // Add leaves its rows pending unless a test says so
        ASSERT_TRUE(loadModule());
    }
};

TEST_F(MainDialogTest, TypingLkhLoadsTheModuleOnDemandAndOkEndsTheTransaction) {
    ASSERT_TRUE(acrxDynamicLinker->unloadModule(modulePath().c_str(), true));
    // The module wrote its demand-load entries when it was loaded: typing LKH loads it again.
    open("host.dxf");
    std::string caption;
    int transactionsWhileOpen = -1;
    EXPECT_EQ(runDialog([&](QDialog& dialog) {
                  caption = dialog.windowTitle().toStdString();
                  transactionsWhileOpen = drawing()->transactionManager()->numActiveTransactions();
                  control(dialog, IDOK_BUTTON)->click();
              }),
              0);
    EXPECT_EQ(caption, "Linkhold, Version 1.4");
    EXPECT_EQ(transactionsWhileOpen, 1);
    EXPECT_EQ(drawing()->transactionManager()->numActiveTransactions(), 0);
    EXPECT_TRUE(hasMarker(drawing()));  // OK kept the list in the drawing
}

TEST_F(MainDialogTest, CancelAbortsTheTransactionAndStoresNothing) {
    open("host.dxf");
    writeSetting("AutoAttach", 1);
    EXPECT_EQ(runDialog([&](QDialog& dialog) {
                  EXPECT_TRUE(control(dialog, IDC_AUTO_ATTACH)->isEnabled());
                  control(dialog, IDC_AUTO_ATTACH)->click();  // untick
                  control(dialog, IDCANCEL_BUTTON)->click();
              }),
              0);
    EXPECT_EQ(drawing()->transactionManager()->numActiveTransactions(), 0);
    EXPECT_FALSE(hasMarker(drawing()));
    EXPECT_EQ(readSetting("AutoAttach", -5), 1);

    runDialog([&](QDialog& dialog) {
        control(dialog, IDC_AUTO_ATTACH)->click();
        control(dialog, IDOK_BUTTON)->click();
    });
    EXPECT_EQ(readSetting("AutoAttach", -5), 0);
}

TEST_F(MainDialogTest, RowsShowTheirTextsAndColours) {
    // abs.dxf last written long before the drawing was loaded: the loaded xref is newer.
    setFileTime(folder() / "abs" / "abs.dxf", localSeconds(2001, 5, 4, 10, 0, 0));
    std::ofstream(folder() / "extra.dxf") << "0\nEOF\n";
    open("host.dxf");
    driver.fileAnswers = {{hostPath("extra.dxf")}};
    runDialog([&](QDialog& dialog) {
        control(dialog, IDC_ADD)->click();
        const int abs = positionOf(dialog, "abs");
        EXPECT_EQ(cell(dialog, abs, 1), "Attached");
        EXPECT_EQ(cell(dialog, abs, 2), hostPath("abs\\"));
        EXPECT_EQ(cell(dialog, abs, 5), "No");
        EXPECT_EQ(background(dialog, abs), QColor(0, 255, 0));

        const int missing = positionOf(dialog, "missing");
        EXPECT_EQ(cell(dialog, missing, 1), "File not found");
        EXPECT_EQ(cell(dialog, missing, 4), "");
        EXPECT_EQ(cell(dialog, missing, 5), "");

        EXPECT_EQ(cell(dialog, positionOf(dialog, "trees"), 1), "Overlay");
        EXPECT_EQ(cell(dialog, positionOf(dialog, "trees"), 5), "Yes");
        EXPECT_FALSE(textColour(dialog, positionOf(dialog, "trees")).isValid());
        EXPECT_EQ(cell(dialog, positionOf(dialog, "floor"), 1), "Nested");
        EXPECT_EQ(textColour(dialog, positionOf(dialog, "floor")), QColor(255, 0, 0));
        EXPECT_EQ(cell(dialog, positionOf(dialog, "loose"), 1), "Unreferenced");
        const int extra = positionOf(dialog, "extra");
        EXPECT_EQ(cell(dialog, extra, 1), "Detached");
        EXPECT_EQ(cell(dialog, extra, 4), "0 KB");
        EXPECT_EQ(textColour(dialog, extra), QColor(0, 0, 255));

        const QAbstractItemModel& model = *xrefList(dialog).model();
        std::vector<std::string> titles;
        for (int column = 0; column < model.columnCount(); ++column) {
            titles.push_back(model.headerData(column, Qt::Horizontal).toString().toStdString());
        }
        EXPECT_THAT(titles, testing::ElementsAre("Xref Name", "Status", "Path", "Date modified",
                                                 "Size", "Current"));
        xrefList(dialog).setFocus();
        selectRows(dialog, {"floor"});
        saveScreenshot(dialog, "main_dialog");
        control(dialog, IDCANCEL_BUTTON)->click();
    });
}

TEST_F(MainDialogTest, ButtonsFollowTheSelection) {
    open("host.dxf");
    std::ofstream(folder() / "extra.dxf") << "0\nEOF\n";
    driver.fileAnswers = {{hostPath("extra.dxf")}};
    runDialog([&](QDialog& dialog) {
        const std::vector<int> operations = {IDC_REMOVE,   IDC_UNLOAD, IDC_RELOAD,  IDC_DETACH,
                                             IDC_REPATH,   IDC_ATTACH, IDC_OVERLAY, IDC_STRIP_PATH,
                                             IDC_OPEN_DWG, IDC_INSERT};
        for (int id : operations) {
            EXPECT_FALSE(enabled(dialog, id)) << id;
        }
        EXPECT_TRUE(enabled(dialog, IDC_SAVE_LKH));
        EXPECT_TRUE(enabled(dialog, IDC_SELECT_ALL));

        selectRows(dialog, {"abs"});
        for (int id : {IDC_UNLOAD, IDC_RELOAD, IDC_DETACH, IDC_REPATH, IDC_STRIP_PATH, IDC_OPEN_DWG,
                       IDC_INSERT, IDC_SAVE_LKH}) {
            EXPECT_TRUE(enabled(dialog, id)) << id;
        }
        for (int id : {IDC_REMOVE, IDC_ATTACH, IDC_OVERLAY}) {
            EXPECT_FALSE(enabled(dialog, id)) << id;
        }
        EXPECT_EQ(statusLine(dialog), hostPath("abs\\abs.dxf"));

        control(dialog, IDC_ADD)->click();
        selectRows(dialog, {"extra"});
        for (int id :
             {IDC_REMOVE, IDC_REPATH, IDC_ATTACH, IDC_OVERLAY, IDC_STRIP_PATH, IDC_OPEN_DWG}) {
            EXPECT_TRUE(enabled(dialog, id)) << id;
        }
        for (int id : {IDC_DETACH, IDC_UNLOAD, IDC_RELOAD, IDC_INSERT}) {
            EXPECT_FALSE(enabled(dialog, id)) << id;
        }

        selectRows(dialog, {"abs", "extra"});
        for (int id : operations) {
            EXPECT_TRUE(enabled(dialog, id)) << id;
        }
        EXPECT_FALSE(enabled(dialog, IDC_SAVE_LKH));
        EXPECT_EQ(statusLine(dialog), "...");
        control(dialog, IDCANCEL_BUTTON)->click();
    });

    // With the host showing one drawing at a time, several rows cannot be opened.
    ASSERT_EQ(run("SETVAR\nSDI\n1\n"), 0);
    runDialog([&](QDialog& dialog) {
        selectRows(dialog, {"abs", "trees"});
        EXPECT_FALSE(enabled(dialog, IDC_OPEN_DWG));
        EXPECT_TRUE(enabled(dialog, IDC_DETACH));
        control(dialog, IDCANCEL_BUTTON)->click();
    });
}

TEST_F(MainDialogTest, AnEmptyDrawingEnablesOnlyAddSaveAndLoad) {
    const std::filesystem::path empty = folder() / "empty.dxf";
    {
        AcDbDatabase database;
        ASSERT_EQ(database.saveAs(empty.c_str()), Acad::eOk);
    }
    open("empty.dxf");
    runDialog([&](QDialog& dialog) {
        EXPECT_EQ(xrefList(dialog).model()->rowCount(), 0);
        for (int id : {IDC_ADD, IDC_SAVE_LKH, IDC_LOAD_LKH}) {
            EXPECT_TRUE(enabled(dialog, id)) << id;
        }
        for (int id : {IDC_SELECT_ALL, IDC_CLEAR_ALL, IDC_REMOVE, IDC_DETACH, IDC_ATTACH,
                       IDC_OPEN_DWG, IDC_INSERT}) {
            EXPECT_FALSE(enabled(dialog, id)) << id;
        }
        control(dialog, IDCANCEL_BUTTON)->click();
    });
}

TEST_F(MainDialogTest, AddDropsDuplicatesAndRemoveTakesOnlyAddedRows) {
    open("host.dxf");
    std::filesystem::create_directories(folder() / "other");
    for (const char* file : {"new.dxf", "other/new.dxf", "other/trees.dxf"}) {
        std::ofstream(folder() / file) << "0\nEOF\n";
    }
    driver.fileAnswers = {{hostPath("new.dxf"), hostPath("other\\trees.dxf")},
                          {hostPath("other\\new.dxf")}};
    runDialog([&](QDialog& dialog) {
        const int before = xrefList(dialog).model()->rowCount();
        control(dialog, IDC_ADD)->click();
        control(dialog, IDC_ADD)->click();
        EXPECT_EQ(xrefList(dialog).model()->rowCount(), before + 1);
        EXPECT_TRUE(dialog.isEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);

        selectRows(dialog, {"new", "abs"});
        control(dialog, IDC_REMOVE)->click();
        EXPECT_EQ(xrefList(dialog).model()->rowCount(), before);
        EXPECT_NE(positionOf(dialog, "abs"), -1);
        EXPECT_TRUE(xrefList(dialog).selectionModel()->selectedRows().isEmpty());
        control(dialog, IDCANCEL_BUTTON)->click();
    });
    ASSERT_EQ(driver.fileRequests.size(), 2u);
    EXPECT_THAT(driver.fileRequests[0].filter, HasSubstr("Autocad DWG Files (*.dwg)|*.dwg"));
}

TEST_F(MainDialogTest, SettingsOpenTheDialogAndOkStoresThem) {
    open("host.dxf");
    writeSetting("InsertionLayer", 7);
    writeSetting("Header3", 240);
    runDialog([&](QDialog& dialog) {
        EXPECT_EQ(control<QComboBox>(dialog, IDC_INSERTION_LAYER)->currentIndex(), -1);
        EXPECT_EQ(xrefList(dialog).columnWidth(0), 100);
        EXPECT_EQ(xrefList(dialog).columnWidth(2), 240);
        xrefList(dialog).setColumnWidth(1, 131);
        control(dialog, IDOK_BUTTON)->click();
    });
    EXPECT_EQ(readSetting("InsertionLayer", 0), -1);
    EXPECT_EQ(readSetting("Header2", 0), 131);
    EXPECT_EQ(readSetting("Header3", 0), 240);

    writeSetting("InsertionLayer", 2);
    runDialog([&](QDialog& dialog) {
        EXPECT_EQ(control<QComboBox>(dialog, IDC_INSERTION_LAYER)->currentText(), "Current layer");
        control(dialog, IDOK_BUTTON)->click();
    });
    EXPECT_EQ(readSetting("InsertionLayer", 0), 2);
}

TEST_F(MainDialogTest, VisretainIsAppliedToTheDrawingAtOnce) {
    open("host.dxf");
    const bool before = drawing()->visretain();
    runDialog([&](QDialog& dialog) {
        control(dialog, IDC_VISRETAIN)->click();
        EXPECT_EQ(drawing()->visretain(), !before);
        control(dialog, IDOK_BUTTON)->click();
    });
    EXPECT_EQ(drawing()->visretain(), !before);
}

TEST_F(MainDialogTest, ANestedXrefShowsWhichXrefOwnsIt) {
    open("host.dxf");
    runDialog([&](QDialog& dialog) {
        selectRows(dialog, {"abs"});
        selectRows(dialog, {"floor"});
        EXPECT_EQ(statusLine(dialog), "floor owned by - plan.dwg");
        selectRows(dialog, {"room"});  // its owner, floor, has a row too
        EXPECT_EQ(statusLine(dialog), "room owned by - floor.dwg");
        control(dialog, IDCANCEL_BUTTON)->click();
    });
}

TEST_F(MainDialogTest, HeaderClicksSortWithOneDirectionForAllColumns) {
    open("host.dxf");
    runDialog([&](QDialog& dialog) {
        QTableView& list = xrefList(dialog);
        const int rows = list.model()->rowCount();
        const auto column = [&](int c) {
            std::vector<std::string> texts;
            for (int row = 0; row < rows; ++row) {
                texts.push_back(cell(dialog, row, c));
            }
            return texts;
        };
        const auto sortedIgnoringCase = [](std::vector<std::string> texts, bool ascending) {
            std::stable_sort(texts.begin(), texts.end(), [&](const auto& a, const auto& b) {
                const int order = QString::fromStdString(a).compare(QString::fromStdString(b),
                                                                    Qt::CaseInsensitive);
                return ascending ? order < 0 : order > 0;
            });
            return texts;
        };
        list.horizontalHeader()->sectionClicked(1);
        EXPECT_EQ(column(1), sortedIgnoringCase(column(1), true));
        list.horizontalHeader()->sectionClicked(1);
        EXPECT_EQ(column(1), sortedIgnoringCase(column(1), false));
        list.horizontalHeader()->sectionClicked(0);  // another header: ascending again
        EXPECT_EQ(column(0), sortedIgnoringCase(column(0), true));

        control(dialog, IDC_SELECT_ALL)->click();
        EXPECT_EQ(list.selectionModel()->selectedRows().size(), rows);
        EXPECT_EQ(statusLine(dialog), "...");
        control(dialog, IDC_CLEAR_ALL)->click();
        EXPECT_TRUE(list.selectionModel()->selectedRows().isEmpty());
        EXPECT_EQ(statusLine(dialog), "");
        control(dialog, IDCANCEL_BUTTON)->click();
    });
}

TEST_F(MainDialogTest, AboutShowsTheVersionOfTheModuleFile) {
    open("host.dxf");
    std::string aboutText;
    std::string notice;
    runDialog([&](QDialog& dialog) {
        driver.onDialog = [&](QDialog& about) {
            aboutText = control<QLabel>(about, 212)->text().toStdString();
            notice = about.findChild<QLabel*>("notice")->text().toStdString();
            saveScreenshot(about, "about_box");
            control(about, 1)->click();
        };
        control(dialog, IDC_ABOUT)->click();
        control(dialog, IDCANCEL_BUTTON)->click();
    });
    EXPECT_EQ(aboutText, "Linkhold, Version 1.4");
    // The maker's notice is the module's too, not text of the dialog's own.
    EXPECT_THAT(notice, HasSubstr("Copyright (C) 2026 Linkhold development team"));
}

TEST_F(MainDialogTest, HelpOpensTheFileBesideTheModuleAndClosesWithTheDialog) {
    open("host.dxf");
    QPointer<QWidget> help;
    runDialog([&](QDialog& dialog) {
        EXPECT_EQ(platform::helpWindowOf(&dialog), nullptr);
        control(dialog, ID_HELP_BUTTON)->click();
        help = platform::helpWindowOf(&dialog);
        ASSERT_FALSE(help.isNull());
        EXPECT_TRUE(help->isVisible());
        EXPECT_THAT(help->windowTitle().toStdString(), HasSubstr("Linkhold"));
        help->close();
        // F1, like every other help request of the dialog, shows the contents again.
        QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &f1);
        EXPECT_EQ(platform::helpWindowOf(&dialog), help.data());
        EXPECT_TRUE(help->isVisible());
        control(dialog, IDOK_BUTTON)->click();
    });
    QApplication::processEvents();
    EXPECT_TRUE(help.isNull() || !help->isVisible());
    EXPECT_TRUE(driver.messages.empty());  // the help file was found
}

TEST_F(MainDialogTest, SaveAndLoadLkhGoThroughSetFiles) {
    open("host.dxf");
    const std::string setFile = hostPath("site.lkh");
    driver.fileAnswers = {{setFile}};
    std::vector<std::string> saved;
    runDialog([&](QDialog& dialog) {
        for (int row = 0; row < xrefList(dialog).model()->rowCount(); ++row) {
            saved.push_back(cell(dialog, row, 0));
        }
        control(dialog, IDC_SAVE_LKH)->click();
        control(dialog, IDCANCEL_BUTTON)->click();
    });
    const std::string text = dxftest::readBytes(folder() / "site.lkh");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(saved.size()));
    EXPECT_THAT(text, HasSubstr("plan.dwg\r\n"));

    std::ofstream(folder() / "more.lkh", std::ios::binary) << "C:\\p\\later.dwg\r\n";
    driver.fileAnswers = {{hostPath("more.lkh")}};
    runDialog([&](QDialog& dialog) {
        control(dialog, IDC_LOAD_LKH)->click();
        const int later = positionOf(dialog, "later");
        ASSERT_NE(later, -1);
        EXPECT_EQ(cell(dialog, later, 1), "Detached");
        EXPECT_EQ(textColour(dialog, later), QColor(0, 0, 255));
        control(dialog, IDCANCEL_BUTTON)->click();
    });
    ASSERT_EQ(driver.fileRequests.size(), 2u);
    EXPECT_EQ(driver.fileRequests[1].initialName, "host.lkh");
}

// One session through every operation button, as a user clicks them, then OK: the saved
// drawing and its marker as ezdxf reads them.
TEST_F(MainDialogTest, EveryOperationButtonWorksOnOneDrawingAndOkKeepsTheResult) {
    std::filesystem::create_directories(folder() / "pending");
    for (const char* name : {"alpha", "beta"}) {
        std::filesystem::copy_file(folder() / "trees.dxf",
                                   folder() / "pending" / (std::string(name) + ".dxf"));
    }
    std::ofstream(folder() / "more.lkh", std::ios::binary) << "C:\\p\\later.dwg\r\n";
    open("host.dxf");
    driver.fileAnswers = {{hostPath("pending\\alpha.dxf"), hostPath("pending\\beta.dxf")},
                          {hostPath("walk.lkh")},
                          {hostPath("more.lkh")}};
    const auto click = [](QDialog& dialog, int id) {
        ASSERT_TRUE(enabled(dialog, id)) << id;
        control(dialog, id)->click();
    };
    const auto status = [](QDialog& dialog, const char* name) {
        const int position = positionOf(dialog, name);
        return position < 0 ? std::string("(no row)") : cell(dialog, position, 1);
    };
    EXPECT_EQ(runDialog([&](QDialog& dialog) {
                  click(dialog, IDC_ADD);
                  EXPECT_EQ(status(dialog, "alpha"), "Detached");
                  selectRows(dialog, {"alpha", "beta"});
                  click(dialog, IDC_ATTACH);
                  EXPECT_EQ(status(dialog, "alpha"), "Attached");
                  EXPECT_EQ(status(dialog, "beta"), "Attached");

                  selectRows(dialog, {"alpha"});
                  click(dialog, IDC_DETACH);
                  EXPECT_EQ(status(dialog, "alpha"), "Detached");

                  selectRows(dialog, {"trees"});
                  click(dialog, IDC_UNLOAD);
                  EXPECT_EQ(status(dialog, "trees"), "Unloaded");
                  selectRows(dialog, {"trees"});
                  click(dialog, IDC_RELOAD);
                  EXPECT_EQ(status(dialog, "trees"), "Overlay");

                  selectRows(dialog, {"abs"});
                  click(dialog, IDC_STRIP_PATH);
                  EXPECT_EQ(cell(dialog, positionOf(dialog, "abs"), 2), "<<acad path>>");

                  selectRows(dialog, {"lib"});
                  click(dialog, IDC_INSERT);
                  EXPECT_EQ(positionOf(dialog, "lib"), -1);

                  click(dialog, IDC_CLEAR_ALL);
                  click(dialog, IDC_SAVE_LKH);
                  click(dialog, IDC_LOAD_LKH);
                  EXPECT_EQ(status(dialog, "later"), "Detached");
                  click(dialog, IDOK_BUTTON);
              }),
              0);
    EXPECT_TRUE(driver.fileAnswers.empty());
    expectTheWalkKept(*drawing(), folder());
}

// Cancel after one of each operation: the drawing saves the bytes it saved before the command
// (with the application the command registers first) and its xrefs are as they were.
TEST_F(MainDialogTest, CancelTakesBackEveryOperationTheDialogCarriedOut) {
    std::filesystem::create_directories(folder() / "pending");
    std::filesystem::copy_file(folder() / "trees.dxf", folder() / "pending" / "alpha.dxf");
    open("host.dxf");
    acdbRegApp("LNKHOLD");
    const std::string before = savedBytes(*drawing());
    const std::string xrefsBefore = xrefState();
    const bool visretain = drawing()->visretain();
    driver.fileAnswers = {{hostPath("pending\\alpha.dxf")}, {hostPath("pending\\alpha.dxf")}};
    const auto click = [](QDialog& dialog, int id) {
        ASSERT_TRUE(enabled(dialog, id)) << id;
        control(dialog, id)->click();
    };
    EXPECT_EQ(runDialog([&](QDialog& dialog) {
                  click(dialog, IDC_ADD);
                  selectRows(dialog, {"alpha"});
                  click(dialog, IDC_ATTACH);
                  EXPECT_EQ(cell(dialog, positionOf(dialog, "alpha"), 1), "Attached");
                  selectRows(dialog, {"trees"});
                  click(dialog, IDC_DETACH);
                  selectRows(dialog, {"abs"});
                  click(dialog, IDC_STRIP_PATH);
                  selectRows(dialog, {"alpha"});
                  click(dialog, IDC_REPATH);
                  selectRows(dialog, {"lib"});
                  click(dialog, IDC_INSERT);
                  EXPECT_EQ(positionOf(dialog, "lib"), -1);
                  click(dialog, IDC_VISRETAIN);
                  EXPECT_NE(drawing()->visretain(), visretain);
                  EXPECT_NE(xrefState(), xrefsBefore);
                  click(dialog, IDCANCEL_BUTTON);
              }),
              0);
    EXPECT_TRUE(driver.fileAnswers.empty());
    EXPECT_EQ(drawing()->visretain(), visretain);
    EXPECT_EQ(xrefState(), xrefsBefore);
    EXPECT_EQ(savedBytes(*drawing()), before);
}

TEST_F(MainDialogTest, OpenDwgEndsAsOkThenOpensTheDrawingsAndActivatesTheLast) {
    open("host.dxf");
    AcDbDatabase* host = drawing();
    EXPECT_EQ(runDialog([&](QDialog& dialog) {
                  selectRows(dialog, {"abs", "trees"});
                  control(dialog, IDC_OPEN_DWG)->click();
              }),
              0);
    EXPECT_TRUE(hasMarker(host));  // closed as OK closes it
    EXPECT_EQ(host->transactionManager()->numActiveTransactions(), 0);
    EXPECT_EQ(acDocManagerPtr()->documentCount(), 3);
    ASSERT_NE(acDocManagerPtr()->curDocument(), nullptr);
    EXPECT_EQ(std::string(acDocManagerPtr()->curDocument()->fileName()), hostPath("trees.dxf"));
    EXPECT_THAT(output(), Not(HasSubstr("internal use")));
}

TEST_F(MainDialogTest, TheDialogIsDraggedFromAnyPlaceOfItsSurface) {
    open("host.dxf");
    runDialog([&](QDialog& dialog) {
        dialog.show();
        QApplication::processEvents();
        const QPoint start = dialog.pos();
        const QPoint surface(3, 3);  // above and left of the list: no control there
        ASSERT_EQ(dialog.childAt(surface), nullptr);
        const QPointF global = dialog.mapToGlobal(QPointF(surface));
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(surface), global, Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &press);
        QMouseEvent move(QEvent::MouseMove, QPointF(surface), global + QPointF(40, 25),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(surface), global + QPointF(40, 25),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &release);
        EXPECT_EQ(dialog.pos(), start + QPoint(40, 25));
        control(dialog, IDCANCEL_BUTTON)->click();
    });
}

}  // namespace
