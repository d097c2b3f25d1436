#include <gtest/gtest.h>

#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <functional>

#include "cadhost/app/loaded_module.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/aced.h"
#include "cadhost/sdk/adui.h"
#include "platform/host_path.h"
#include "platform/ui/modal.h"
#include "support/qt_application.h"
#include "support/temp_prefix.h"

namespace {

// Works each dialog with the test's action instead of a user.
class Responder : public platform::ModalResponder {
  public:
    std::function<void(QDialog&)> action;

    int messageBox(const platform::MessageBoxRequest&) override { return platform::IDOK; }
    int dialog(QDialog& dialog) override {
        dialog.setResult(QDialog::Rejected);
        action(dialog);
        return dialog.result();
    }
};

class Recording : public CAdUiDialog {
  public:
    int starts = 0;
    bool allowOk = true;

    BOOL OnInitDialog() override {
        ++starts;
        return CAdUiDialog::OnInitDialog();
    }
    void OnOK() override {
        if (allowOk) {
            CAdUiDialog::OnOK();
        }
    }
};

class DialogBase : public ::testing::Test {
  protected:
    void SetUp() override {
        testsupport::qtApplication();
        previous_ = platform::setModalResponder(&responder);
    }
    void TearDown() override { platform::setModalResponder(previous_); }

    Responder responder;
    testsupport::TempPrefix prefix;

  private:
    platform::ModalResponder* previous_ = nullptr;
};

TEST_F(DialogBase, DoModalGivesOneForOkAndTwoForCancelAfterOneStart) {
    EXPECT_TRUE(InitAcUiDLL());
    Recording dialog;
    responder.action = [](QDialog& d) { d.accept(); };
    EXPECT_EQ(dialog.DoModal(), 1);
    EXPECT_EQ(dialog.starts, 1);
    responder.action = [](QDialog& d) { d.reject(); };
    EXPECT_EQ(dialog.DoModal(), 2);
    responder.action = [](QDialog&) {};  // closed without a choice
    EXPECT_EQ(dialog.DoModal(), 2);
    responder.action = [](QDialog& d) { static_cast<CAdUiDialog&>(d).EndDialog(7); };
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_EQ(dialog.starts, 4);
}

TEST_F(DialogBase, AnOverriddenOkHandlerCanKeepTheDialogOpen) {
    Recording dialog;
    dialog.allowOk = false;
    QPushButton ok("OK", &dialog);
    QObject::connect(&ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    responder.action = [&](QDialog& d) {
        ok.click();
        EXPECT_EQ(d.result(), QDialog::Rejected);  // still running: OnOK refused
        dialog.allowOk = true;
        ok.click();
    };
    EXPECT_EQ(dialog.DoModal(), 1);
}

TEST_F(DialogBase, ResourcesAndHelpComeFromTheInstanceOnTopOfTheStack) {
    const std::filesystem::path folder = prefix.scratch() / "module";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "lnkhold.hlp") << "help";
    std::ofstream(folder / "background.bmp") << "bitmap";
    HINSTANCE__ module{{}, folder};

    acDocManagerPtr()->pushResourceHandle(&module);
    CAdUiDialog withModule;
    acDocManagerPtr()->popResourceHandle();
    CAdUiDialog withHost;

    EXPECT_EQ(withModule.resourceInstance(), &module);
    EXPECT_EQ(withHost.resourceInstance(), acedGetAcadResourceInstance());
    EXPECT_EQ(withModule.findResource("background.bmp"), folder / "background.bmp");
    EXPECT_TRUE(withHost.findResource("background.bmp").empty());

    char path[261] = {};
    ASSERT_TRUE(withModule.FindContextHelpFullPath("lnkhold.hlp", path));
    EXPECT_EQ(std::string(path), platform::nativeToHost(folder / "lnkhold.hlp"));
    EXPECT_FALSE(withHost.FindContextHelpFullPath("lnkhold.hlp", path));
    EXPECT_FALSE(withModule.FindContextHelpFullPath("", path));
    withModule.SetContextHelpFullPathName(path);
    EXPECT_STREQ(withModule.GetContextHelpFullPathName(), path);
}

}  // namespace
