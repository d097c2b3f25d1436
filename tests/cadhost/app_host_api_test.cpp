// What a module asks the host for: the profile's registry key and the project's search path
// behind it, system variables of the current drawing, commands run with acedCommand, and its
// own prompts: keywords, long answers, refusals and name patterns.

#include <gmock/gmock.h>

#include <cstring>
#include <list>
#include <sstream>

#include "cadhost/app/command_line.h"
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

// The answers a module's prompts read next: from a script, a pipe or a person at a terminal.
class ModulePrompts : public apptest::HostSession {
  protected:
    void answers(const std::string& text, bool terminal) {
        std::istringstream& input = inputs_.emplace_back(text);
        cadhost::app::commandLine().pushSource(
            cadhost::app::streamSource(input, "answers", !terminal, terminal));
    }

  private:
    std::list<std::istringstream> inputs_;
};

TEST_F(ModulePrompts, KeywordsMatchByTheirCapitalsAndAreUsedUpByOneQuestion) {
    answers("sel SAVE st reMOVE rel ? s\n", false);
    char result[133] = {};
    const char* keywords = "SElect SAve STrip REMove RELoad ?";
    for (const char* expected : {"SElect", "SAve", "STrip", "REMove", "RELoad", "?"}) {
        ASSERT_EQ(acedInitGet(0, keywords), RTNORM);
        ASSERT_EQ(acedGetKword("\nOption: ", result), RTNORM);
        EXPECT_STREQ(result, expected);
    }
    // "s" is too short for any of them; from a script that ends the question.
    ASSERT_EQ(acedInitGet(0, keywords), RTNORM);
    EXPECT_EQ(acedGetKword("\nOption: ", result), RTCAN);
    EXPECT_THAT(output(), HasSubstr("Invalid option keyword."));

    // Enter is RTNONE unless refused; without acedInitGet nothing matches.
    answers("\n\nyes\n", false);
    ASSERT_EQ(acedInitGet(0, "Yes No"), RTNORM);
    EXPECT_EQ(acedGetKword("\nGo on? ", result), RTNONE);
    ASSERT_EQ(acedInitGet(RSG_NONULL, "Yes No"), RTNORM);
    EXPECT_EQ(acedGetKword("\nGo on? ", result), RTCAN);
    EXPECT_EQ(acedGetKword("\nGo on? ", result), RTCAN);  // "yes": the keywords were used up
}

TEST_F(ModulePrompts, APersonAtATerminalIsAskedAgainWhereAScriptFails) {
    answers("frob\nDetach\n", true);
    char result[133] = {};
    ASSERT_EQ(acedInitGet(0, "Attach Detach"), RTNORM);
    EXPECT_EQ(acedGetKword("\nOption: ", result), RTNORM);
    EXPECT_STREQ(result, "Detach");
    EXPECT_THAT(output(), HasSubstr("Invalid option keyword."));

    EXPECT_EQ(acedRefuseAnswer("File not found: x"), RTNORM);
    answers("", false);
    EXPECT_EQ(acedRefuseAnswer("File not found: x"), RTCAN);
    EXPECT_THAT(output(), HasSubstr("File not found: x\n"));
}

TEST_F(ModulePrompts, AnAnswerLongerThanTheBufferIsRefusedNotCut) {
    const std::string longPath(300, 'p');
    answers(longPath + "\n" + longPath + "\n", false);
    std::vector<char> wide(301);
    EXPECT_EQ(acedGetString(1, "\nFile: ", wide.data(), wide.size()), RTNORM);
    EXPECT_EQ(std::string(wide.data()), longPath);
    char narrow[100] = {};
    EXPECT_EQ(acedGetString(1, "\nFile: ", narrow, sizeof narrow), RTERROR);
    EXPECT_STREQ(narrow, "");
    EXPECT_THAT(output(), HasSubstr("The answer is too long (300 characters)."));
}

TEST(WildcardMatch, TakesListsOfPatternsIgnoringCase) {
    EXPECT_EQ(acutWcMatch("Roads", "r*"), RTNORM);
    EXPECT_EQ(acutWcMatch("Roads", "TREES,RO?DS"), RTNORM);
    EXPECT_EQ(acutWcMatch("Straße", "STRASSE,*ße"), RTNORM);
    EXPECT_EQ(acutWcMatch("Roads", "Road"), RTERROR);
    EXPECT_EQ(acutWcMatch("Roads", ""), RTERROR);
    EXPECT_EQ(acutWcMatch(nullptr, "*"), RTERROR);
}

}  // namespace
