// Look-ups of symbol table entries by name keep up with every edit of the table, in R12
// drawings (whose block table is the BLOCK records of the BLOCKS section) and later ones, and
// find the first entry of a name where a file has two.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "cadhost/sdk/dbents.h"
#include "cadhost/sdk/dbtrans.h"
#include "db_test_support.h"

namespace {

using dbtest::Drawing;

enum class Table { Blocks, Layers };

const char* tableName(Table table) {
    return table == Table::Blocks ? "blocks" : "layers";
}

AcDbObjectId tableId(AcDbDatabase& db, Table table) {
    return table == Table::Blocks ? db.blockTableId() : db.layerTableId();
}

bool sameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

// Opens through the top transaction when there is one (which then keeps it open until it ends),
// else directly.
template <class T>
Acad::ErrorStatus openFor(AcDbDatabase& db, T*& object, AcDbObjectId id, AcDb::OpenMode mode) {
    AcDbTransactionManager& tm = *db.transactionManager();
    if (tm.numActiveTransactions() == 0) {
        return acdbOpenObject(object, id, mode, true);
    }
    AcDbObject* any = nullptr;
    Acad::ErrorStatus es = tm.getObject(any, id, mode, true);
    object = T::cast(any);
    return es;
}

AcDbObjectId lookUp(AcDbDatabase& db, Table table, const std::string& name,
                    bool erasedToo = false) {
    AcDbSymbolTable* symbols = nullptr;
    AcDbObjectId id;
    EXPECT_EQ(acdbOpenObject(symbols, tableId(db, table), AcDb::kForRead), Acad::eOk);
    if (symbols) {
        symbols->getAt(name.c_str(), id, erasedToo);
        symbols->close();
    }
    return id;
}

bool has(AcDbDatabase& db, Table table, AcDbObjectId id) {
    AcDbSymbolTable* symbols = nullptr;
    EXPECT_EQ(acdbOpenObject(symbols, tableId(db, table), AcDb::kForRead), Acad::eOk);
    const bool found = symbols && symbols->has(id);
    if (symbols) {
        symbols->close();
    }
    return found;
}

Acad::ErrorStatus add(AcDbDatabase& db, Table table, const std::string& name, AcDbObjectId& id) {
    id = AcDbObjectId::kNull;
    AcDbSymbolTable* symbols = nullptr;
    Acad::ErrorStatus es = openFor(db, symbols, tableId(db, table), AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    AcDbSymbolTableRecord* record = nullptr;
    if (table == Table::Blocks) {
        record = new AcDbBlockTableRecord;
    } else {
        record = new AcDbLayerTableRecord;
    }
    es = record->setName(name.c_str());
    if (es == Acad::eOk) {
        es = symbols->add(id, record);
    }
    if (es == Acad::eOk) {
        record->close();
    } else {
        delete record;
    }
    symbols->close();
    return es;
}

Acad::ErrorStatus rename(AcDbDatabase& db, AcDbObjectId id, const std::string& name) {
    AcDbSymbolTableRecord* record = nullptr;
    Acad::ErrorStatus es = openFor(db, record, id, AcDb::kForWrite);
    if (es == Acad::eOk) {
        es = record->setName(name.c_str());
        record->close();
    }
    return es;
}

Acad::ErrorStatus setErased(AcDbDatabase& db, AcDbObjectId id, bool erasing) {
    AcDbObject* object = nullptr;
    Acad::ErrorStatus es = openFor(db, object, id, AcDb::kForWrite);
    if (es == Acad::eOk) {
        es = object->erase(erasing);
        object->close();
    }
    return es;
}

// What the table's listing shows, record by record, for each name: the entries of that name in
// drawing order, erased ones where they stood.
std::map<std::string, std::vector<AcDbObjectId>> listing(AcDbDatabase& db, Table table,
                                                         const std::vector<std::string>& names) {
    std::map<std::string, std::vector<AcDbObjectId>> found;
    AcDbSymbolTable* symbols = nullptr;
    EXPECT_EQ(acdbOpenObject(symbols, tableId(db, table), AcDb::kForRead), Acad::eOk);
    AcDbSymbolTableIterator* it = nullptr;
    symbols->newIterator(it, true, false);
    for (; !it->done(); it->step(true, false)) {
        AcDbSymbolTableRecord* record = nullptr;
        if (it->getRecord(record, AcDb::kForRead, true) != Acad::eOk) {
            ADD_FAILURE() << "a listed record does not open";
            continue;
        }
        const char* text = nullptr;
        record->getName(text);
        for (const std::string& name : names) {
            if (sameLetters(text, name)) {
                found[name].push_back(record->objectId());
            }
        }
        record->close();
    }
    delete it;
    symbols->close();
    return found;
}

// The entry a look-up must find according to the listing: the first not erased; with
// `erasedToo`, when there is none, the last erased one.
AcDbObjectId expected(const std::vector<AcDbObjectId>& entries, bool erasedToo) {
    auto live = std::find_if(entries.begin(), entries.end(),
                             [](AcDbObjectId id) { return !id.isErased(); });
    if (live != entries.end()) {
        return *live;
    }
    return erasedToo && !entries.empty() ? entries.back() : AcDbObjectId::kNull;
}

struct Case {
    const char* fixture;
    Table table;
    const char* existing;  // an entry of the fixture that something uses
};

std::string caseName(const testing::TestParamInfo<Case>& info) {
    const std::string fixture = info.param.fixture;  // "ezdxf_R12.dxf"
    return fixture.substr(6, fixture.find('.') - 6) + "_" + tableName(info.param.table);
}

class DbSymbolLookUp : public testing::TestWithParam<Case> {
  protected:
    Table otherTable() const {
        return GetParam().table == Table::Blocks ? Table::Layers : Table::Blocks;
    }
    const char* otherExisting() const {
        return GetParam().table == Table::Blocks ? "WALLS" : "DOOR";
    }
};

TEST_P(DbSymbolLookUp, AddRenameEraseAndUneraseAreSeenAtOnce) {
    Drawing drawing(GetParam().fixture);
    AcDbDatabase& db = *drawing.db;
    const Table table = GetParam().table;
    const AcDbObjectId other = lookUp(db, otherTable(), otherExisting());
    ASSERT_FALSE(other.isNull());
    EXPECT_TRUE(lookUp(db, table, "Plan").isNull());  // looked up once before the edits

    AcDbObjectId plan;
    ASSERT_EQ(add(db, table, "Plan", plan), Acad::eOk);
    EXPECT_EQ(lookUp(db, table, "PLAN"), plan);
    AcDbObjectId twin;
    EXPECT_EQ(add(db, table, "pLAN", twin), Acad::eDuplicateRecordName);

    ASSERT_EQ(rename(db, plan, "Section"), Acad::eOk);
    EXPECT_TRUE(lookUp(db, table, "plan").isNull());
    EXPECT_EQ(lookUp(db, table, "SECTION"), plan);
    AcDbObjectId again;
    ASSERT_EQ(add(db, table, "Plan", again), Acad::eOk);  // the old name is free
    EXPECT_EQ(lookUp(db, table, "plan"), again);
    EXPECT_EQ(rename(db, again, "section"), Acad::eDuplicateRecordName);

    ASSERT_EQ(setErased(db, plan, true), Acad::eOk);
    EXPECT_TRUE(lookUp(db, table, "Section").isNull());
    EXPECT_EQ(lookUp(db, table, "Section", true), plan);
    EXPECT_FALSE(has(db, table, plan));
    ASSERT_EQ(rename(db, again, "Section"), Acad::eOk);  // the erased one's name is free
    EXPECT_EQ(setErased(db, plan, false), Acad::eDuplicateRecordName);
    ASSERT_EQ(rename(db, again, "Elevation"), Acad::eOk);
    ASSERT_EQ(setErased(db, plan, false), Acad::eOk);
    EXPECT_EQ(lookUp(db, table, "section"), plan);
    EXPECT_TRUE(has(db, table, plan));

    EXPECT_FALSE(has(db, otherTable(), plan));
    EXPECT_EQ(lookUp(db, otherTable(), otherExisting()), other);
}

TEST_P(DbSymbolLookUp, AnAbortGivesBackTheNamesItsTransactionChanged) {
    Drawing drawing(GetParam().fixture);
    AcDbDatabase& db = *drawing.db;
    const Table table = GetParam().table;
    const std::string existing = GetParam().existing;
    const AcDbObjectId kept = lookUp(db, table, existing);
    ASSERT_FALSE(kept.isNull());
    AcDbObjectId spare;
    ASSERT_EQ(add(db, table, "Spare", spare), Acad::eOk);

    AcDbTransactionManager& tm = *db.transactionManager();
    tm.startTransaction();
    tm.startTransaction();  // its end writes the changes to the drawing
    ASSERT_EQ(rename(db, kept, "Renamed"), Acad::eOk);
    AcDbObjectId temp;
    ASSERT_EQ(add(db, table, "Temp", temp), Acad::eOk);
    ASSERT_EQ(setErased(db, spare, true), Acad::eOk);
    ASSERT_EQ(tm.endTransaction(), Acad::eOk);
    EXPECT_EQ(lookUp(db, table, "renamed"), kept);
    EXPECT_TRUE(lookUp(db, table, existing).isNull());
    EXPECT_EQ(lookUp(db, table, "TEMP"), temp);
    EXPECT_TRUE(lookUp(db, table, "Spare").isNull());

    ASSERT_EQ(tm.abortTransaction(), Acad::eOk);
    EXPECT_EQ(lookUp(db, table, existing), kept);
    EXPECT_TRUE(lookUp(db, table, "Renamed").isNull());
    EXPECT_TRUE(lookUp(db, table, "Temp").isNull());
    EXPECT_EQ(lookUp(db, table, "spare"), spare);
}

INSTANTIATE_TEST_SUITE_P(Tables, DbSymbolLookUp,
                         testing::Values(Case{"ezdxf_R12.dxf", Table::Blocks, "DOOR"},
                                         Case{"ezdxf_R12.dxf", Table::Layers, "WALLS"},
                                         Case{"ezdxf_R2000.dxf", Table::Blocks, "DOOR"},
                                         Case{"ezdxf_R2000.dxf", Table::Layers, "WALLS"}),
                         caseName);

// The fixtures hold "Pair" (with a line) before "PAIR" (with a circle), and "Twin" before
// "TWIN". An abort that brings one of them back puts it where it stood.
TEST(DbLookUpByName, OfTwoEntriesOfANameInAFileTheFirstIsFound) {
    for (const char* fixture : {"ezdxf_R12_twins.dxf", "ezdxf_R2000_twins.dxf"}) {
        Drawing drawing(fixture);
        AcDbDatabase& db = *drawing.db;
        AcDbTransactionManager& tm = *db.transactionManager();
        EXPECT_FALSE(dbtest::entityOfType(db, "pair", "LINE").isNull());
        EXPECT_TRUE(dbtest::entityOfType(db, "pair", "CIRCLE").isNull());
        for (auto [table, name] : {std::pair{Table::Blocks, "pair"}, {Table::Layers, "twin"}}) {
            SCOPED_TRACE(std::string(fixture) + " " + tableName(table));
            const std::vector<AcDbObjectId> twins = listing(db, table, {name})[name];
            ASSERT_EQ(twins.size(), 2u);
            EXPECT_EQ(lookUp(db, table, name), twins[0]);

            tm.startTransaction();
            tm.startTransaction();
            ASSERT_EQ(setErased(db, twins[0], true), Acad::eOk);
            ASSERT_EQ(tm.endTransaction(), Acad::eOk);
            EXPECT_EQ(lookUp(db, table, name), twins[1]);
            ASSERT_EQ(tm.abortTransaction(), Acad::eOk);
            EXPECT_EQ(lookUp(db, table, name), twins[0]);

            for (AcDbObjectId renamed : twins) {
                tm.startTransaction();
                tm.startTransaction();
                ASSERT_EQ(rename(db, renamed, "Single"), Acad::eOk);
                ASSERT_EQ(tm.endTransaction(), Acad::eOk);
                EXPECT_EQ(lookUp(db, table, name), renamed == twins[0] ? twins[1] : twins[0]);
                EXPECT_EQ(lookUp(db, table, "single"), renamed);
                ASSERT_EQ(tm.abortTransaction(), Acad::eOk);
                EXPECT_EQ(lookUp(db, table, name), twins[0]);
                EXPECT_TRUE(lookUp(db, table, "single").isNull());
            }
        }
    }
}

// Random adds, renames, erases and unerases of blocks and layers, some in transactions that
// end or abort; after each step every look-up agrees with the tables' listings.
TEST(DbLookUpByName, LookUpsAgreeWithTheListingThroughAMixOfEdits) {
    const std::vector<std::string> names{"Alpha", "ALPHA", "beta", "Gamma", "gamma", "Delta"};
    for (const char* fixture : {"ezdxf_R12.dxf", "ezdxf_R2000.dxf"}) {
        SCOPED_TRACE(fixture);
        Drawing drawing(fixture);
        AcDbDatabase& db = *drawing.db;
        AcDbTransactionManager& tm = *db.transactionManager();
        std::mt19937 random(17);
        auto pick = [&random](std::size_t count) {
            return static_cast<std::size_t>(random() % count);
        };
        std::vector<std::pair<Table, AcDbObjectId>> made;
        for (int step = 0; step < 120; ++step) {
            SCOPED_TRACE("step " + std::to_string(step));
            const bool inTransaction = pick(4) == 0;
            const std::size_t madeBefore = made.size();
            if (inTransaction) {
                tm.startTransaction();
            }
            for (std::size_t edit = inTransaction ? 1 + pick(3) : 1; edit > 0; --edit) {
                const Table table = pick(2) ? Table::Blocks : Table::Layers;
                const std::string& name = names[pick(names.size())];
                std::vector<AcDbObjectId> own;
                for (const auto& [where, id] : made) {
                    if (where == table) {
                        own.push_back(id);
                    }
                }
                const std::size_t action = own.empty() ? 0 : pick(4);
                AcDbObjectId id;
                if (action == 0 && add(db, table, name, id) == Acad::eOk) {
                    made.emplace_back(table, id);
                } else if (action > 0) {
                    id = own[pick(own.size())];
                    if (action == 1) {
                        rename(db, id, name);
                    } else {
                        setErased(db, id, action == 2);
                    }
                }
            }
            if (inTransaction && pick(2) == 0) {
                ASSERT_EQ(tm.endTransaction(), Acad::eOk);
            } else if (inTransaction) {
                ASSERT_EQ(tm.abortTransaction(), Acad::eOk);
                made.resize(madeBefore);  // its additions never were
            }
            for (Table table : {Table::Blocks, Table::Layers}) {
                auto listed = listing(db, table, names);
                for (const std::string& name : names) {
                    EXPECT_EQ(lookUp(db, table, name), expected(listed[name], false))
                        << tableName(table) << " " << name;
                    EXPECT_EQ(lookUp(db, table, name, true), expected(listed[name], true))
                        << tableName(table) << " " << name;
                }
            }
        }
    }
}

}  // namespace
