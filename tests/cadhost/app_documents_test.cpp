#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app_test_support.h"
#include "cadhost/sdk/acadi.h"
#include "cadhost/sdk/aced.h"
#include "cadhost/sdk/dbapserv.h"

namespace {

using ::testing::HasSubstr;

class Documents : public apptest::HostSession {
  protected:
    AcApDocManager& documents = *acDocManagerPtr();

    void loadTestModule() {
        ASSERT_TRUE(acrxDynamicLinker->loadModule(modulePath("TestModule").c_str(), true));
        output();
    }
};

TEST_F(Documents, AutomationOpensDrawingsAndReportsMissingFiles) {
    documents.makeCurrent(documents.newDocument());
    const std::string site = makeDrawing("site.dxf");

    IDispatch* dispatch = acedGetAcadWinApp()->GetIDispatch(true);
    IAcadApplication* application = nullptr;
    ASSERT_EQ(
        dispatch->QueryInterface(IID_IAcadApplication, reinterpret_cast<void**>(&application)),
        S_OK);
    IAcadDocuments* collection = nullptr;
    ASSERT_EQ(application->get_Documents(&collection), S_OK);
    IUnknown* none = nullptr;
    EXPECT_EQ(dispatch->QueryInterface(IID{1, 2, 3, {}}, reinterpret_cast<void**>(&none)),
              E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    IAcadDocument* document = nullptr;
    EXPECT_EQ(collection->Open("C:\\missing.dxf", VARIANT{}, VARIANT{}, &document),
              static_cast<HRESULT>(0x80210073));
    EXPECT_EQ(document, nullptr);
    ASSERT_EQ(collection->Open(site.c_str(), VARIANT{}, VARIANT{}, &document), S_OK);
    const char* name = nullptr;
    ASSERT_EQ(document->get_FullName(&name), S_OK);
    EXPECT_STREQ(name, site.c_str());
    document->Release();
    std::int32_t count = 0;
    EXPECT_EQ(collection->get_Count(&count), S_OK);
    EXPECT_EQ(count, 2);

    // Opening it again finds the open document instead of a second copy.
    ASSERT_EQ(collection->Open(site.c_str(), VARIANT{}, VARIANT{}, nullptr), S_OK);
    EXPECT_EQ(collection->get_Count(&count), S_OK);
    EXPECT_EQ(count, 2);
    collection->Release();
    application->Release();
    dispatch->Release();
}

TEST_F(Documents, AnotherDocumentIsActivatedOnlyByAQueuedSessionCommand) {
    loadTestModule();
    documents.makeCurrent(documents.newDocument());
    const std::string first = makeDrawing("first.dxf");
    const std::string second = makeDrawing("second.dxf");
    EXPECT_EQ(run("TMOPEN\n" + first + " " + second + "\nTMH\n"), 0);
    const std::string text = output();
    EXPECT_THAT(text, HasSubstr("Open " + first + ": 0x00000000"));
    EXPECT_THAT(text, HasSubstr("Current after open: Drawing"));
    EXPECT_THAT(text,
                HasSubstr("Activate in document context: " + std::to_string(Acad::eNotApplicable)));
    // The queued command runs after TMOPEN ends and before the script's next line.
    EXPECT_THAT(text, HasSubstr("Command: TMACTIVATE\nActivate in application context: 0\n"
                                "Current: " +
                                second + "\nCommand: TMH"));
    EXPECT_STREQ(documents.curDocument()->fileName(), second.c_str());
    EXPECT_EQ(acdbHostApplicationServices()->workingDatabase(),
              documents.curDocument()->database());
}

TEST_F(Documents, SdiKeepsOneDrawingAndSyncOpenReplacesIt) {
    loadTestModule();
    documents.makeCurrent(documents.newDocument());
    const std::string site = makeDrawing("site.dxf");
    EXPECT_EQ(run("SDI 1\nTMSYNCOPEN\n" + site + "\n"), 0);
    EXPECT_THAT(output(), HasSubstr("acedSyncFileOpen: " + std::to_string(RTNORM)));
    EXPECT_EQ(documents.documentCount(), 1);
    EXPECT_STREQ(documents.curDocument()->fileName(), site.c_str());

    EXPECT_EQ(run("TMSYNCOPEN\nC:\\missing.dxf\n"), 0);
    EXPECT_THAT(output(), HasSubstr("acedSyncFileOpen: " + std::to_string(RTERROR)));
    EXPECT_STREQ(documents.curDocument()->fileName(), site.c_str());
}

TEST_F(Documents, SdiCannotBeSwitchedOnWithSeveralDrawingsOpen) {
    documents.newDocument();
    documents.newDocument();
    EXPECT_EQ(run("SETVAR SDI 1\n"), 1);
    EXPECT_THAT(output(), HasSubstr("only while one drawing is open"));
    resbuf value{};
    ASSERT_EQ(acedGetVar("sdi", &value), RTNORM);
    EXPECT_EQ(value.restype, RTSHORT);
    EXPECT_EQ(value.resval.rint, 0);
}

TEST_F(Documents, MdiOpenKeepsEveryDrawingAndIteratesThemInOrder) {
    const std::string a = makeDrawing("a.dxf");
    const std::string b = makeDrawing("b.dxf");
    EXPECT_EQ(run("SETVAR FILEDIA 0\nOPEN " + a + "\nOPEN " + b + "\n"), 0);
    std::unique_ptr<AcApDocumentIterator> it(documents.newAcApDocumentIterator());
    std::vector<std::string> names;
    for (; !it->done(); it->step()) {
        names.emplace_back(it->document()->fileName());
    }
    EXPECT_EQ(names, (std::vector{a, b}));
    EXPECT_STREQ(documents.curDocument()->fileName(), b.c_str());
    EXPECT_EQ(documents.curDocument()->transactionManager()->numActiveTransactions(), 0);
}

TEST_F(Documents, ResourceHandleStackFallsBackToTheHost) {
    HINSTANCE host = acedGetAcadResourceInstance();
    EXPECT_EQ(documents.curResourceHandle(), host);
    HINSTANCE other = reinterpret_cast<HINSTANCE>(&documents);
    documents.pushResourceHandle(other);
    EXPECT_EQ(documents.curResourceHandle(), other);
    documents.popResourceHandle();
    documents.popResourceHandle();
    EXPECT_EQ(documents.curResourceHandle(), host);
}

}  // namespace
