#include <gtest/gtest.h>

#include "cadhost/sdk/accmd.h"
#include "cadhost/sdk/rxdlinkr.h"

namespace {

void first() {}
void second() {}

TEST(SystemRegistry, HoldsTheCommandStackTheLinkerAndTheClassDictionary) {
    AcRxDictionary* registry = acrxSysRegistry();
    ASSERT_EQ(registry->numEntries(), 3u);
    const AcRxClass* stackClass = acrxClassDictionary()->at("AcEdCommandStack");
    const AcRxClass* linkerClass = acrxClassDictionary()->at("AcRxDynamicLinker");
    ASSERT_NE(stackClass, nullptr);
    ASSERT_NE(linkerClass, nullptr);
    EXPECT_TRUE(registry->at("ACAD_REGISTERED_COMMANDS")->isKindOf(stackClass));
    EXPECT_FALSE(registry->at("ACAD_REGISTERED_COMMANDS")->isKindOf(linkerClass));
    EXPECT_TRUE(registry->at("DynamicLinker")->isKindOf(AcRxDynamicLinker::desc()));
    EXPECT_TRUE(registry->at("DynamicLinker")->isKindOf(acrxClassDictionary()->at("AcRxObject")));
    EXPECT_EQ(acrxClassDictionary()->at("NoSuchClass"), nullptr);
    EXPECT_EQ(registry->at("NoSuchEntry"), nullptr);
}

class CommandStack : public ::testing::Test {
  protected:
    AcEdCommandStack stack;
};

TEST_F(CommandStack, FindsGlobalAndLocalNamesIgnoringCase) {
    AcEdCommand* added = nullptr;
    ASSERT_EQ(stack.addCommand("TWK", "LINKHOLD", "LKH", 3, first, nullptr, -1, nullptr, &added),
              Acad::eOk);
    EXPECT_EQ(stack.lookupCmd("linkhold"), added);
    EXPECT_EQ(stack.lookupCmd("Lkh"), added);
    EXPECT_EQ(stack.lookupGlobalCmd("lkh"), nullptr);
    EXPECT_EQ(stack.lookupLocalCmd("LINKHOLD"), nullptr);
    EXPECT_EQ(added->commandFlags(), 3);
    EXPECT_STREQ(added->groupName(), "TWK");
}

TEST_F(CommandStack, RefusesDuplicatesAndBadNames) {
    ASSERT_EQ(stack.addCommand("TWK", "LINKHOLD", "LKH", 0, first), Acad::eOk);
    EXPECT_EQ(stack.addCommand("twk", "linkhold", "OTHER", 0, second), Acad::eDuplicateRecordName);
    EXPECT_EQ(stack.addCommand("TWK", "OTHER", "lkh", 0, second), Acad::eDuplicateRecordName);
    EXPECT_EQ(stack.addCommand("TWK", "", "X", 0, second), Acad::eInvalidInput);
    EXPECT_EQ(stack.addCommand("TWK", "TWO WORDS", "X", 0, second), Acad::eInvalidInput);
    EXPECT_EQ(stack.addCommand("TWK", "X", "X", 0, nullptr), Acad::eInvalidInput);
    EXPECT_EQ(stack.lookupCmd("LINKHOLD")->functionAddr(), first);
}

TEST_F(CommandStack, NewestGroupWinsAndRemovingItUncoversTheOlder) {
    ASSERT_EQ(stack.addCommand("OLD", "SAME", "SAME", 0, first), Acad::eOk);
    ASSERT_EQ(stack.addCommand("NEW", "SAME", "SAME", 0, second), Acad::eOk);
    EXPECT_EQ(stack.lookupCmd("same")->functionAddr(), second);
    EXPECT_EQ(stack.removeGroup("new"), Acad::eOk);
    EXPECT_EQ(stack.lookupCmd("same")->functionAddr(), first);
    EXPECT_EQ(stack.removeGroup("new"), Acad::eKeyNotFound);
}

TEST_F(CommandStack, RemoveGroupRemovesAllItsCommandsAndRemoveCmdOne) {
    ASSERT_EQ(stack.addCommand("TWK", "LINKHOLD", "LKH", 3, first), Acad::eOk);
    ASSERT_EQ(stack.addCommand("TWK", "LINKHOLDSD", "LINKHOLDSD", ACRX_CMD_SESSION, second),
              Acad::eOk);
    EXPECT_EQ(stack.removeCmd("TWK", "LINKHOLDSD"), Acad::eOk);
    EXPECT_EQ(stack.lookupCmd("LINKHOLDSD"), nullptr);
    EXPECT_EQ(stack.removeCmd("TWK", "LINKHOLDSD"), Acad::eKeyNotFound);
    ASSERT_EQ(stack.addCommand("TWK", "LINKHOLDSD", "LINKHOLDSD", ACRX_CMD_SESSION, second),
              Acad::eOk);
    EXPECT_EQ(stack.removeGroup("TWK"), Acad::eOk);
    EXPECT_EQ(stack.lookupCmd("LKH"), nullptr);
    EXPECT_EQ(stack.lookupCmd("LINKHOLDSD"), nullptr);
}

}  // namespace
