// What a module asks the host for: the profile's registry key and the project's search path
// behind it, system variables of the current drawing, and commands run with acedCommand.

#include <gmock/gmock.h>

#include <cstring>

#include "cadhost/app/registry_key.h"
#include "cadhost/sdk/aced.h"
#include "cadhost/sdk/acprofile.h"
#include "cadhost/sdk/acutads.h"
#include "tests/cadhost/app_test_support.h"

namespace {

using ::testing::HasSubstr;

class HostApi : public apptest::HostSession {
  protected:
    // Opens a new drawing saved with these header values.
    void openDrawing(const char* projectName, bool tilemode) {
        AcDbDatabase database;
        database.setProjectName(projectName);
        database.setTilemode(tilemode);
        const std::filesystem::path native = prefix_.scratch() / "plan.dxf";
        ASSERT_EQ(database.saveAs(native.c_str()), Acad::eOk);
        ASSERT_EQ(acedSyncFileOpen(platform::nativeToHost(native).c_str()), RTNORM);
    }

    static std::string stringVariable(const char* name) {
        resbuf value{};
        EXPECT_EQ(acedGetVar(name, &value), RTNORM);
        EXPECT_EQ(value.restype, RTSTR);
        std::string text = value.resval.rstring ? value.resval.rstring : "";
        acutDelString(value.resval.rstring);
        return text;
    }

    static short shortVariable(const char* name) {
        resbuf value{};
        EXPECT_EQ(acedGetVar(name, &value), RTNORM);
        return value.resval.rint;
    }
};

// The chain a module follows: cprofile, the profile's key, projectname, then the value
// "RefSearchPath" under "<profile key>\Project Settings\<project>".
TEST_F(HostApi, TheProfileKeyLeadsToTheProjectsReferenceSearchPath) {
    openDrawing("Bridge", true);
    const cadhost::app::RegistryKey project(
        platform::HKEY_CURRENT_USER, cadhost::app::profileKey() + "\\Project Settings\\Bridge",
        true);
    ASSERT_EQ(project.writeString("RefSearchPath", "D:\\one\\;E:\\two"), platform::ERROR_SUCCESS);

    char* key = nullptr;
    acProfileManagerPtr()->ProfileRegistryKey(key, stringVariable("cprofile").c_str());
    ASSERT_NE(key, nullptr);
    const std::string text = key;
    acutDelString(key);
    ASSERT_TRUE(text.starts_with("HKEY_CURRENT_USER\\"));
    const std::string subkey = text.substr(std::strlen("HKEY_CURRENT_USER\\")) +
                               "\\Project Settings\\" + stringVariable("projectname");
    const cadhost::app::RegistryKey settings(platform::HKEY_CURRENT_USER, subkey, false);
    EXPECT_EQ(settings.readString("RefSearchPath"), "D:\\one\\;E:\\two");

    acProfileManagerPtr()->ProfileRegistryKey(key, nullptr);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key, text);
    acutDelString(key);
    for (const char* unknown : {"Nobody", "<<Unnamed Profile>>\\General"}) {
        acProfileManagerPtr()->ProfileRegistryKey(key, unknown);
        EXPECT_EQ(key, nullptr) << unknown;
    }
}

TEST_F(HostApi, DrawingVariablesFollowTheCurrentDrawingAndReadOnlyOnesRefuse) {
    openDrawing("", false);
    EXPECT_EQ(stringVariable("projectname"), "");
    EXPECT_EQ(shortVariable("tilemode"), 0);
    EXPECT_EQ(shortVariable("cvport"), 1);
    EXPECT_EQ(stringVariable("dwgname"), "plan.dxf");

    resbuf value{};
    value.restype = RTSTR;
    value.resval.rstring = const_cast<char*>("Tunnel");
    EXPECT_EQ(acedSetVar("projectname", &value), RTNORM);
    EXPECT_EQ(stringVariable("projectname"), "Tunnel");
    EXPECT_EQ(shortVariable("dbmod"), 1);
    for (const char* readOnly : {"dwgname", "dwgprefix", "cprofile"}) {
        EXPECT_EQ(acedSetVar(readOnly, &value), RTERROR) << readOnly;
    }
    value.restype = RTSHORT;
    value.resval.rint = 0;
    EXPECT_EQ(acedSetVar("dbmod", &value), RTERROR);
    value.resval.rint = 2;
    EXPECT_EQ(acedSetVar("visretain", &value), RTERROR);
}

// In a layout without a viewport MSPACE cannot enter model space; in the Model tab neither
// command applies. Each says so and changes nothing.
TEST_F(HostApi, AcedCommandRunsSpaceCommandsByTheHostsRules) {
    openDrawing("", false);
    output();
    EXPECT_EQ(acedCommand(RTSTR, "mspace", RTNONE), RTERROR);
    EXPECT_THAT(output(), HasSubstr("no viewport"));
    EXPECT_EQ(shortVariable("cvport"), 1);
    EXPECT_EQ(acedCommand(RTSTR, "pspace", RTNONE), RTNORM);
    EXPECT_THAT(output(), HasSubstr("Already in paper space."));

    resbuf tilemode{};
    tilemode.restype = RTSHORT;
    tilemode.resval.rint = 1;
    ASSERT_EQ(acedSetVar("tilemode", &tilemode), RTNORM);
    EXPECT_EQ(acedCommand(RTSTR, "pspace", RTNONE), RTERROR);
    EXPECT_THAT(output(), HasSubstr("Command not allowed in Model Tab"));
    EXPECT_EQ(shortVariable("cvport"), 2);

    EXPECT_EQ(acedCommand(RTSTR, "mspace", RTSTR, "extra", RTNONE), RTERROR);
    EXPECT_EQ(acedCommand(RTSHORT, 1, RTNONE), RTERROR);
    EXPECT_EQ(output(), "");
}

}  // namespace
