#include "setup/demand_load.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "registry_support.h"
#include "support/temp_prefix.h"

using namespace setup;
using namespace setuptest;
using platform::HKEY;
using platform::LONG;

namespace {

struct Shown {
    std::string text;
    std::string caption;
    bool operator==(const Shown&) const = default;
};

class DemandLoad : public ::testing::Test {
  protected:
    MessageSink recorder() {
        return [this](const std::string& text, const std::string& caption, platform::UINT type) {
            EXPECT_EQ(type, platform::MB_OK);
            shown.push_back({text, caption});
            return platform::IDOK;
        };
    }
    std::vector<std::string> captions() const {
        std::vector<std::string> result;
        for (const auto& s : shown) {
            result.push_back(s.caption);
        }
        return result;
    }

    testsupport::TempPrefix prefix;
    CRegistryKey registry;
    std::vector<Shown> shown;
};

const std::string kR160 = kProducts + "R16.0\\ACAD-201:409";
const std::string kR161 = kProducts + "R16.1\\ACAD-301:409";

std::string appKey(const std::string& product) {
    return product + "\\Applications\\Linkhold16";
}

TEST_F(DemandLoad, DiscoversProductsOfEachConfiguredRelease) {
    addProduct("R16.0", "ACAD-201:409", "AutoCAD 2004", "16.0s (LMS Tech)");
    addProduct("R16.1", "ACAD-301:409", "AutoCAD 2005", "16.1s (LMS Tech)");
    addProduct("R16.2", "ACAD-4001:409", "AutoCAD 2006", "16.2s (LMS Tech)");
    setString(kProducts + "R16.0\\bare", "Other", "x");  // no ProductName, no Release
    setString(kProducts + "R15.0", "Other", "x");

    const auto products = discoverProducts(registry);
    ASSERT_EQ(products.size(), 3u);
    EXPECT_EQ(products[0].label, "AutoCAD 2004  -  16.0s (LMS Tech) (ACAD-201:409)");
    EXPECT_EQ(products[0].keyPath, kR160);
    EXPECT_EQ(products[1].label, "  -   (bare)");
    EXPECT_EQ(products[1].keyPath, kProducts + "R16.0\\bare");
    EXPECT_EQ(products[2].label, "AutoCAD 2005  -  16.1s (LMS Tech) (ACAD-301:409)");
    EXPECT_EQ(products[2].keyPath, kR161);
}

TEST_F(DemandLoad, ReleaseListEndsAtTheFirstEmptyName) {
    addProduct("R16.0", "A", "P0", "0");
    addProduct("R16.1", "B", "P1", "1");
    const auto releases = [](const std::string& list) {
        return [list](UINT id) { return id == IDS_RELEASES ? list : loadString(id); };
    };
    EXPECT_TRUE(discoverProducts(registry, releases("")).empty());
    ASSERT_EQ(discoverProducts(registry, releases("R16.0\\\\R16.1")).size(), 1u);
    EXPECT_EQ(discoverProducts(registry, releases("R16.1\\R16.0")).front().label, "P1  -  1 (B)");
    EXPECT_EQ(discoverProducts(registry, releases("R9\\R16.0")).size(), 1u);  // R9 is absent
}

TEST_F(DemandLoad, ReadOnlyMachineRootFindsNothing) {
    addProduct("R16.0", "ACAD-201:409", "AutoCAD 2004", "16.0");
    ASSERT_EQ(discoverProducts(registry).size(), 1u);
    ASSERT_EQ(platform::setRegistryRootReadOnly(platform::HKEY_LOCAL_MACHINE, true),
              platform::ERROR_SUCCESS);
    EXPECT_TRUE(discoverProducts(registry).empty());
    platform::setRegistryRootReadOnly(platform::HKEY_LOCAL_MACHINE, false);
}

TEST_F(DemandLoad, InstallWritesExactlyTheEntriesForEverySelectedProduct) {
    addProduct("R16.0", "ACAD-201:409", "AutoCAD 2004", "16.0");
    addProduct("R16.1", "ACAD-301:409", "AutoCAD 2005", "16.1");
    DemandLoadRegistration(registry, recorder()).install({kR160, kR161}, "C:\\Apps\\Linkhold16");

    for (const auto& product : {kR160, kR161}) {
        EXPECT_EQ(regSection(appKey(product)),
                  "[HKEY_LOCAL_MACHINE\\" + appKey(product) +
                      "]\n\"LOADCTRLS\"=dword:0000000c\n"
                      "\"LOADER\"=\"C:\\\\Apps\\\\Linkhold16\\\\Linkhold16.arx\"\n");
        EXPECT_EQ(regSection(appKey(product) + "\\COMMANDS"),
                  "[HKEY_LOCAL_MACHINE\\" + appKey(product) +
                      "\\COMMANDS]\n\"Linkhold\"=\"LKH\"\n\"-Linkhold\"=\"-LKH\"\n");
        EXPECT_EQ(regSection(appKey(product) + "\\GROUPS"),
                  "[HKEY_LOCAL_MACHINE\\" + appKey(product) + "\\GROUPS]\n\"TWK\"=\"TWK\"\n");
    }
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], (Shown{"Installation of Linkhold16 is complete and ready for\r\n"
                               "use inside AutoCAD.  Setup will now exit.",
                               "Installation complete"}));
}

TEST_F(DemandLoad, ReinstallOverwritesOurValuesAndKeepsForeignOnes) {
    setString(appKey(kR160), "LOADER", "D:\\old\\Linkhold16.arx");
    setString(appKey(kR160), "DESCRIPTION", "kept");
    setString(appKey(kR160) + "\\COMMANDS", "Linkhold", "OLD");
    setString(appKey(kR160) + "\\COMMANDS", "Extra", "EXTRA");
    DemandLoadRegistration(registry, recorder()).install({kR160}, "C:\\New");

    EXPECT_EQ(regSection(appKey(kR160)),
              "[HKEY_LOCAL_MACHINE\\" + appKey(kR160) +
                  "]\n\"LOADER\"=\"C:\\\\New\\\\Linkhold16.arx\"\n\"DESCRIPTION\"=\"kept\"\n"
                  "\"LOADCTRLS\"=dword:0000000c\n");
    EXPECT_EQ(
        regSection(appKey(kR160) + "\\COMMANDS"),
        "[HKEY_LOCAL_MACHINE\\" + appKey(kR160) +
            "\\COMMANDS]\n\"Linkhold\"=\"LKH\"\n\"Extra\"=\"EXTRA\"\n\"-Linkhold\"=\"-LKH\"\n");
    EXPECT_EQ(captions(), std::vector<std::string>{"Installation complete"});
}

TEST_F(DemandLoad, CommandEntriesWithoutCommaAndFurtherGroups) {
    const auto strings = [](UINT id) -> std::string {
        switch (id) {
            case IDS_COMMAND_FIRST + 1:
                return "SOLO";
            case IDS_COMMAND_FIRST + 3:
                return "Hidden,H";  // after the first empty entry
            case IDS_GROUP_FIRST + 1:
                return "TWK2";
            default:
                return loadString(id);
        }
    };
    DemandLoadRegistration(registry, recorder(), strings).install({kR160}, "C:\\X");
    EXPECT_EQ(regSection(appKey(kR160) + "\\COMMANDS"),
              "[HKEY_LOCAL_MACHINE\\" + appKey(kR160) +
                  "\\COMMANDS]\n\"Linkhold\"=\"LKH\"\n\"SOLO\"=\"SOLO\"\n");
    EXPECT_EQ(regSection(appKey(kR160) + "\\GROUPS"),
              "[HKEY_LOCAL_MACHINE\\" + appKey(kR160) +
                  "\\GROUPS]\n\"TWK\"=\"TWK\"\n\"TWK2\"=\"TWK2\"\n");
}

// A registry whose chosen steps fail, as a full disk or a locked key would make them.
class FailingRegistry : public CRegistryKey {
  public:
    std::string failValue;     // writes of this value name fail
    std::string failSubKey;    // creating this subkey fails
    std::string failPath;      // opening this path fails
    int failAfterWrites = -1;  // the write of failValue fails from this many earlier ones on

    LONG writeString(HKEY key, const std::string& name, const std::string& text) const override {
        return fails(name) ? platform::ERROR_ACCESS_DENIED
                           : CRegistryKey::writeString(key, name, text);
    }
    LONG writeNumber(HKEY key, const std::string& name, platform::DWORD n) const override {
        return fails(name) ? platform::ERROR_ACCESS_DENIED
                           : CRegistryKey::writeNumber(key, name, n);
    }
    LONG openSubKey(HKEY parent, const std::string& name, HKEY* result,
                    bool create) const override {
        return name == failSubKey ? platform::ERROR_ACCESS_DENIED
                                  : CRegistryKey::openSubKey(parent, name, result, create);
    }
    LONG openPath(const std::string& path, HKEY* result, bool create) const override {
        return path == failPath ? platform::ERROR_ACCESS_DENIED
                                : CRegistryKey::openPath(path, result, create);
    }

  private:
    bool fails(const std::string& name) const {
        return name == failValue && writes_++ >= failAfterWrites;
    }
    mutable int writes_ = 0;
};

TEST_F(DemandLoad, FailedValueWriteRollsBackEverySelectedProduct) {
    setString(appKey(kR161), "LOADER", "existing before this run");
    FailingRegistry failing;
    failing.failValue = "LOADER";
    failing.failAfterWrites = 1;  // the first product succeeds, the second fails
    DemandLoadRegistration(failing, recorder()).install({kR160, kR161}, "C:\\X");

    EXPECT_FALSE(keyExists(appKey(kR160)));
    EXPECT_FALSE(keyExists(appKey(kR161)));
    EXPECT_TRUE(keyExists(kR161 + "\\Applications"));
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], (Shown{"Problem writing registry value LOADER", "setup"}));
    EXPECT_EQ(shown[1].caption, "Notice");
    EXPECT_TRUE(shown[1].text.starts_with(
        "A problem occurred while setting up the registry for demand\r\n"));
    EXPECT_TRUE(shown[1].text.ends_with("the demand loading on it's own."));
    EXPECT_EQ(shown[2].caption, "Installation problem");
    EXPECT_NE(shown[2].text.find("You can still run Linkhold16 by manually loading\r\n"),
              std::string::npos);
}

TEST_F(DemandLoad, FailedLoadCtrlsWriteStopsAtTheFirstProduct) {
    FailingRegistry failing;
    failing.failValue = "LOADCTRLS";
    failing.failAfterWrites = 0;
    DemandLoadRegistration(failing, recorder()).install({kR160, kR161}, "C:\\X");
    EXPECT_FALSE(keyExists(kR161));  // never reached, so never created
    EXPECT_EQ(captions(), (std::vector<std::string>{"setup", "Notice", "Installation problem"}));
    EXPECT_EQ(shown[0].text, "Problem writing registry value LOADCTRLS");
}

TEST_F(DemandLoad, FailedCommandListsRollBackWithoutAValueMessage) {
    for (const char* sub : {"COMMANDS", "GROUPS"}) {
        shown.clear();
        FailingRegistry failing;
        failing.failSubKey = sub;
        DemandLoadRegistration(failing, recorder()).install({kR160}, "C:\\X");
        EXPECT_FALSE(keyExists(appKey(kR160))) << sub;
        EXPECT_EQ(captions(), (std::vector<std::string>{"Notice", "Installation problem"})) << sub;
    }
    shown.clear();
    FailingRegistry failing;
    failing.failValue = "TWK";
    DemandLoadRegistration(failing, recorder()).install({kR160}, "C:\\X");
    EXPECT_FALSE(keyExists(appKey(kR160)));
    EXPECT_EQ(captions(), (std::vector<std::string>{"Notice", "Installation problem"}));
}

TEST_F(DemandLoad, ProductThatCannotBeOpenedIsPassedOverSilently) {
    FailingRegistry failing;
    failing.failPath = appKey(kR160);
    DemandLoadRegistration(failing, recorder()).install({kR160, kR161}, "C:\\X");
    EXPECT_FALSE(keyExists(appKey(kR160)));
    EXPECT_TRUE(keyExists(appKey(kR161) + "\\GROUPS"));
    EXPECT_EQ(captions(), std::vector<std::string>{"Installation complete"});
}

TEST_F(DemandLoad, EmptySelectionFailsTheInstall) {
    DemandLoadRegistration(registry, recorder()).install({}, "C:\\X");
    EXPECT_EQ(shown.front(), (Shown{"No Autocad versions selected", "Error"}));
    EXPECT_EQ(captions(), (std::vector<std::string>{"Error", "Notice", "Installation problem"}));
}

TEST_F(DemandLoad, UninstallRemovesTheWholeApplicationKeyOnly) {
    const DemandLoadRegistration registration(registry, recorder());
    registration.install({kR160, kR161}, "C:\\X");
    setString(appKey(kR160), "Foreign", "also removed");
    setString(kR160 + "\\Applications\\OtherApp", "LOADER", "stays");
    shown.clear();

    registration.uninstall({kR160, kProducts + "R16.0\\missing"});
    EXPECT_FALSE(keyExists(appKey(kR160)));
    EXPECT_TRUE(keyExists(kR160 + "\\Applications\\OtherApp"));
    EXPECT_TRUE(keyExists(appKey(kR161) + "\\COMMANDS"));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0],
              (Shown{"Linkhold16 registry entries are removed.  To finish uninstalling\r\n"
                     "the application, delete the directory where the application\r\n"
                     "is installed.",
                     "Finish uninstalling"}));
}

}  // namespace
