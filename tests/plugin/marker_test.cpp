// The list kept in the drawing: written into the marker block, saved, read by ezdxf and by
// the next dialog; long lists spread over several marker polylines; layer locks put back.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cadhost/db_test_support.h"
#include "cadhost/sdk/acutads.h"
#include "cadhost/sdk/dbents.h"
#include "plugin/ops/dialog_operations.h"
#include "plugin/ops/layer_lock_guard.h"
#include "plugin/ops/marker_block.h"
#include "plugin_test_support.h"

namespace {

using lnkhold::DialogOperations;
using lnkhold::DialogOption;
using lnkhold::XrefRow;
using plugintest::RecordingView;
using testing::HasSubstr;

constexpr std::array<int, lnkhold::kColumnCount> kWidths = {100, 90, 200, 120, 60, 50};

std::string json(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    return quoted + "\"";
}

class Marker : public plugintest::HostFixture {
  protected:
    void addPending(DialogOperations& dialog, const std::string& path) {
        auto row = std::make_unique<XrefRow>();
        row->buildFromFile(path);
        row->addedFromFile = 1;
        dialog.rows().append(std::move(row));
    }
    std::string saveAs(const std::string& name) {
        EXPECT_EQ(acDocManagerPtr()->curDocument()->saveAs(hostPath(name).c_str()), Acad::eOk);
        return plugintest::runScript("read_marker.py", {(folder() / name).string()});
    }
    bool isLocked(const char* layerName) {
        AcDbLayerTableRecord* layer = nullptr;
        EXPECT_EQ(acdbOpenObject(layer, dbtest::layerId(*drawing(), layerName), AcDb::kForRead),
                  Acad::eOk);
        const bool locked = layer->isLocked();
        layer->close();
        return locked;
    }
    void setLocked(const char* layerName, bool locked) {
        AcDbLayerTableRecord* layer = nullptr;
        ASSERT_EQ(acdbOpenObject(layer, dbtest::layerId(*drawing(), layerName), AcDb::kForWrite),
                  Acad::eOk);
        layer->setIsLocked(locked);
        layer->close();
    }
};

TEST_F(Marker, OkWritesTheListThatTheNextDialogAndEzdxfReadBack) {
    open("host.dxf");
    RecordingView view;
    DialogOperations dialog(view);
    dialog.start();
    EXPECT_TRUE(view.isChecked(DialogOption::AcadPath));  // no marker yet
    addPending(dialog, "D:\\q\\b.dwg");
    addPending(dialog, "D:\\q\\plan.old.dwg");
    view.setChecked(DialogOption::AcadPath, false);
    setLocked("PLAN|WALLS", true);

    EXPECT_EQ(dialog.accept(kWidths), 14);
    EXPECT_TRUE(isLocked("PLAN|WALLS"));
    EXPECT_FALSE(isLocked("0"));

    std::string expected = "[";
    for (const std::string& path : dialog.rows().collectFullPaths()) {
        expected += "[1000, " + json(path.substr(0, path.size() - 4)) + "], ";
    }
    expected += "[1070, 0], [1070, 1]]";
    const std::string report = saveAs("saved.dxf");
    EXPECT_THAT(report, HasSubstr("\"audit_errors\": []"));
    EXPECT_THAT(report, HasSubstr("\"inserted\": false"));
    EXPECT_THAT(report, HasSubstr("\"block\": [{\"type\": \"LWPOLYLINE\", \"vertices\": 200, "
                                  "\"distinct_vertices\": [[0.0, 0.0, 0.0, 0.0, 0.0]], "
                                  "\"xdata\": " +
                                  expected + "}]"));
    EXPECT_THAT(report, HasSubstr("[1000, \"D:\\\\q\\\\b\"], [1000, \"D:\\\\q\\\\plan.old\"]"));

    open("saved.dxf");
    RecordingView nextView;
    DialogOperations next(nextView);
    next.start();
    EXPECT_EQ(next.rows().count(), 13);  // plan.old comes back named plan, which is there
    const XrefRow* b = next.rows().findByName("b");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->statusText, "Detached");
    EXPECT_EQ(b->fullPath(), "D:\\q\\b.dwg");
    EXPECT_FALSE(nextView.isChecked(DialogOption::AcadPath));
    EXPECT_TRUE(nextView.isChecked(DialogOption::XsRetain));
}

TEST_F(Marker, AListTooLongForOneObjectSpreadsOverSeveralMarkerPolylines) {
    open("host.dxf");
    std::vector<std::string> paths;
    for (int i = 0; i < 2000; ++i) {
        std::string name = "p" + std::to_string(10000 + i);
        paths.push_back("C:\\" + std::string(120 - 3 - 1 - 4 - name.size(), 'f') + "\\" + name +
                        ".dwg");
    }
    ASSERT_EQ(paths.front().size(), 120u);
    EXPECT_EQ(lnkhold::writeMarker(drawing(), paths, {true, false}), 2000);
    const std::string report = saveAs("long.dxf");
    EXPECT_THAT(report, HasSubstr("\"audit_errors\": []"));

    open("long.dxf");
    RecordingView view;
    DialogOperations dialog(view);
    dialog.fullRefresh();
    EXPECT_EQ(dialog.rows().count(), 12 + 2000);
    EXPECT_EQ(dialog.rows().findByName("p11999")->fullPath(), paths.back());

    // Each polyline carries its share with the application name and both options.
    AcDbBlockTableRecord* block = nullptr;
    ASSERT_EQ(lnkhold::openMarkerBlock(drawing(), AcDb::kForRead, block), Acad::eOk);
    AcDbBlockTableRecordIterator* iterator = nullptr;
    block->newIterator(iterator);
    block->close();
    int polylines = 0;
    int texts = 0;
    for (; !iterator->done(); iterator->step()) {
        AcDbEntity* entity = nullptr;
        ASSERT_EQ(iterator->getEntity(entity, AcDb::kForRead), Acad::eOk);
        resbuf* chain = entity->xData("LNKHOLD");
        ++polylines;
        std::vector<int> integers;
        for (resbuf* rb = chain; rb; rb = rb->rbnext) {
            texts += rb->restype == 1000;
            if (rb->restype == 1070) {
                integers.push_back(rb->resval.rint);
            }
        }
        EXPECT_EQ(integers, (std::vector<int>{1, 0}));
        acutRelRb(chain);
        entity->close();
    }
    delete iterator;
    EXPECT_GT(polylines, 1);
    EXPECT_EQ(texts, 2000);

    // A shorter list leaves the extra polylines with no paths.
    EXPECT_EQ(lnkhold::writeMarker(drawing(), {}, {false, false}), 0);
    DialogOperations reopened(view);
    reopened.fullRefresh();
    EXPECT_EQ(reopened.rows().count(), 12);
}

TEST_F(Marker, OnlyTheFirstTwoIntegersOfAChainSetTheOptions) {
    open("host.dxf");
    RecordingView view;
    DialogOperations dialog(view);
    resbuf* chain = dbtest::xdataChain("LNKHOLD", {"C:\\p\\abs", "C:\\p\\new"}, {0, 0, 1});
    dialog.applyMarkerXdata(chain);
    acutRelRb(chain);
    EXPECT_FALSE(view.isChecked(DialogOption::AcadPath));
    EXPECT_FALSE(view.isChecked(DialogOption::XsRetain));
    EXPECT_EQ(dialog.rows().count(), 2);
}

TEST_F(Marker, EntitiesWithoutMarkerDataAreLeftAlone) {
    open("host.dxf");
    ASSERT_EQ(lnkhold::writeMarker(drawing(), {"C:\\p\\a.dwg"}, {true, true}), 1);
    ASSERT_TRUE(acdbRegApp("OTHERAPP", drawing()));
    AcDbBlockTableRecord* block = nullptr;
    ASSERT_EQ(lnkhold::openMarkerBlock(drawing(), AcDb::kForWrite, block), Acad::eOk);
    auto* other = new AcDbPolyline;
    AcDbObjectId otherId;
    ASSERT_EQ(block->appendAcDbEntity(otherId, other), Acad::eOk);
    resbuf* otherData = dbtest::xdataChain("OTHERAPP", {"kept"});
    other->setXData(otherData);
    acutRelRb(otherData);
    other->close();
    block->close();

    EXPECT_EQ(lnkhold::writeMarker(drawing(), {"C:\\p\\b.dwg"}, {true, true}), 1);
    AcDbEntity* entity = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(entity, otherId, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(entity->xData("LNKHOLD"), nullptr);
    resbuf* kept = entity->xData("OTHERAPP");
    EXPECT_NE(kept, nullptr);
    acutRelRb(kept);
    entity->close();
}

TEST_F(Marker, LayerLocksAreLiftedForTheGuardsLifetimeAndPutBack) {
    open("host.dxf");
    setLocked("PLAN|WALLS", true);
    {
        const lnkhold::LayerLockGuard unlocked;
        EXPECT_FALSE(isLocked("PLAN|WALLS"));
        EXPECT_FALSE(isLocked("0"));
    }
    EXPECT_TRUE(isLocked("PLAN|WALLS"));
    EXPECT_FALSE(isLocked("0"));
}

}  // namespace
