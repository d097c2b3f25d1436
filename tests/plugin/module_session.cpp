#include "module_session.h"

#include <gmock/gmock.h>

#include <QApplication>
#include <QItemSelectionModel>
#include <filesystem>
#include <regex>
#include <sstream>

#include "cadhost/dxf_test_support.h"
#include "cadhost/sdk/acedxref.h"
#include "cadhost/sdk/dbxrefgraph.h"
#include "cadhost/sdk/rxdlinkr.h"
#include "cadhost/xref_test_support.h"
#include "plugin/ops/marker_block.h"

namespace plugintest {

void ModuleSession::SetUp() {
    HostFixture::SetUp();
    // Offscreen windows; the Qt application itself is the host's, made when the module loads.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    console_ = std::make_unique<apptest::HostConsole>();
    previous_ = platform::setModalResponder(&driver);
}

void ModuleSession::TearDown() {
    platform::setModalResponder(previous_);
    HostFixture::TearDown();
    apptest::closeHostSession();
    console_.reset();
}

std::string ModuleSession::modulePath() {
    return platform::nativeToHost(std::filesystem::path(LNKHOLD_MODULE_FILE));
}

int ModuleSession::runDialog(const std::function<void(QDialog&)>& work) {
    driver.onDialog = work;
    const int result = run("LKH\n");
    driver.onDialog = nullptr;
    return result;
}

QTableView& xrefList(const QWidget& dialog) {
    return *control<QTableView>(dialog, 221);
}

std::string cell(const QWidget& dialog, int row, int column) {
    const QAbstractItemModel& model = *xrefList(dialog).model();
    return model.data(model.index(row, column)).toString().toStdString();
}

int positionOf(const QWidget& dialog, const std::string& name) {
    for (int row = 0; row < xrefList(dialog).model()->rowCount(); ++row) {
        if (cell(dialog, row, 0) == name) {
            return row;
        }
    }
    return -1;
}

void selectRows(const QWidget& dialog, std::initializer_list<const char*> names) {
    QTableView& list = xrefList(dialog);
    list.selectionModel()->clearSelection();
    for (const char* name : names) {
        const int position = positionOf(dialog, name);
        if (position < 0) {
            throw std::runtime_error(std::string("no row ") + name);
        }
        list.selectionModel()->select(list.model()->index(position, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

bool hasMarker(AcDbDatabase* database) {
    AcDbBlockTableRecord* block = nullptr;
    if (lnkhold::openMarkerBlock(database, AcDb::kForRead, block) != Acad::eOk) {
        return false;
    }
    block->close();
    return true;
}

std::string savedBytes(AcDbDatabase& drawing) {
    const char* name = nullptr;
    drawing.getFilename(name);
    const std::filesystem::path path = name;
    EXPECT_EQ(drawing.save(), Acad::eOk);
    static const std::regex stamp(R"((\$TDU?UPDATE\r?\n *40\r?\n)[^\r\n]*)");
    return std::regex_replace(dxftest::readBytes(path), stamp, "$1");
}

std::string xrefState() {
    AcDbXrefGraph graph;
    EXPECT_EQ(acedGetCurDwgXrefGraph(graph, true), Acad::eOk);
    std::ostringstream out;
    for (int i = 1; i < graph.numNodes(); ++i) {
        const AcDbXrefGraphNode* node = graph.xrefNode(i);
        out << node->name() << ' ' << node->xrefStatus() << ' ' << node->database() << " ->";
        for (int j = 0; j < node->numOut(); ++j) {
            out << ' ' << static_cast<const AcDbXrefGraphNode*>(node->out(j))->name();
        }
        out << '\n';
    }
    return out.str();
}

void expectTheWalkKept(AcDbDatabase& drawing, const std::filesystem::path& folder) {
    using testing::AllOf;
    using testing::HasSubstr;
    using testing::Not;
    const std::string lkh = dxftest::readBytes(folder / "walk.lkh");
    EXPECT_THAT(lkh, AllOf(HasSubstr("\\alpha.dwg\r\n"), HasSubstr("\\beta.dwg\r\n"),
                           Not(HasSubstr("later"))));

    const auto saved = folder / "walked.dxf";
    ASSERT_EQ(drawing.saveAs(saved.c_str()), Acad::eOk);
    const std::string summary = xreftest::ezdxfSummary(saved);
    EXPECT_THAT(summary,
                AllOf(HasSubstr(R"("audit_errors": [])"), HasSubstr(R"("LIB": [{"layer")"),
                      HasSubstr(R"({"layer": "0_beta", "name": "beta", "type": "INSERT"})")));
    const std::string xrefs = summary.substr(summary.find(R"("xrefs")"));
    EXPECT_THAT(xrefs,
                AllOf(HasSubstr(R"("ABS": "abs.dxf")"), HasSubstr(R"("TREES": "trees.dxf")"),
                      HasSubstr(R"("beta": )"), Not(HasSubstr("LIB")), Not(HasSubstr("alpha"))));
    // The marker remembers the detached alpha and the loaded later beside the drawing's xrefs.
    EXPECT_THAT(summary,
                AllOf(HasSubstr(R"(\\pending\\alpha"])"), HasSubstr(R"([1000, "C:\\p\\later"])")));
}

void saveScreenshot(QWidget& widget, const std::string& name) {
    const std::filesystem::path folder = SCREENSHOT_DIR;
    std::filesystem::create_directories(folder);
    widget.show();
    QApplication::processEvents();
    widget.grab().save(QString::fromStdString((folder / (name + ".png")).string()));
}

}  // namespace plugintest
