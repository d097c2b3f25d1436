// What Tab offers at the host's prompts: the names each kind of prompt asks for, matched with
// letter case ignored, and file names from host and native paths.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app_test_support.h"
#include "cadhost/app/completion.h"

namespace {

using cadhost::app::commonBeginning;
using cadhost::app::completeAnswer;
using cadhost::app::Completion;
using cadhost::app::promptKeywords;
using Names = std::vector<std::string>;
using testing::Contains;
using testing::IsSupersetOf;
using testing::Not;

using Completions = apptest::HostSession;

TEST_F(Completions, KeywordsComeFromThePromptsListOrFromTheCaller) {
    const std::string prompt = "Enter an option [?/Make/Set/New/LOck/Unlock] <Make>: ";
    EXPECT_EQ(promptKeywords(prompt), (Names{"?", "Make", "Set", "New", "LOck", "Unlock"}));
    EXPECT_TRUE(promptKeywords("Your name: ").empty());
    EXPECT_EQ(completeAnswer(prompt, {}, "lo"), (Names{"LOck"}));
    EXPECT_EQ(completeAnswer(prompt, {}, ""), (Names{"?", "LOck", "Make", "New", "Set", "Unlock"}));
    // acedInitGet's keywords, whatever the prompt shows.
    EXPECT_EQ(completeAnswer(prompt, {Completion::Kind::Keywords, {"Lime", "Lemon"}}, "L"),
              (Names{"Lemon", "Lime"}));
    EXPECT_TRUE(completeAnswer(prompt, {}, "x").empty());
}

TEST_F(Completions, CommandsAreBuiltInRegisteredByModulesAndLoadedOnDemand) {
    const Completion commands{Completion::Kind::Commands, {}};
    EXPECT_EQ(completeAnswer("Command: ", commands, "sav"), (Names{"SAVE", "SAVEAS"}));
    EXPECT_THAT(completeAnswer("Command: ", commands, "-x"), Contains("-XREF"));
    EXPECT_THAT(completeAnswer("Command: ", commands, "TM"), Not(Contains("TMASK")));
    // Loading the test module registers its commands and its demand-load entry (TMHELLO, TMH).
    ASSERT_EQ(run("ARX\nLoad\n" + modulePath("TestModule") + "\n"), 0) << output();
    EXPECT_THAT(completeAnswer("Command: ", commands, "tm"),
                IsSupersetOf(Names{"TMASK", "TMOPEN", "TMHELLO", "TMH"}));
    ASSERT_EQ(run("ARX\nUnload\nTestModule\n"), 0) << output();
    EXPECT_THAT(completeAnswer("Command: ", commands, "tm"), Not(Contains("TMASK")));
    EXPECT_THAT(completeAnswer("Command: ", commands, "tm"), Contains("TMHELLO"));
}

TEST_F(Completions, VariablesAndTheCurrentDrawingsLayers) {
    EXPECT_EQ(completeAnswer("Enter variable name: ", {Completion::Kind::Variables, {}}, "filed"),
              (Names{"FILEDIA"}));
    const Completion layers{Completion::Kind::Layers, {}};
    EXPECT_TRUE(completeAnswer("", layers, "").empty());  // no drawing is open
    ASSERT_EQ(run("NEW\n-LAYER\nNew\nWalls,Windows,doors\n\n"), 0) << output();
    EXPECT_EQ(completeAnswer("", layers, "w"), (Names{"Walls", "Windows"}));
    EXPECT_EQ(completeAnswer("", layers, ""), (Names{"0", "Walls", "Windows", "doors"}));
}

TEST_F(Completions, FileNamesFromHostPathsIgnoreCaseAndNativePathsDoNot) {
    const std::filesystem::path folder = prefix_.scratch() / "Project";
    std::filesystem::create_directories(folder / "plans");
    std::ofstream(folder / "Plan A.dxf") << "";
    std::ofstream(folder / ".hidden") << "";
    const Completion files{Completion::Kind::Files, {}};
    const std::string host = platform::nativeToHost(folder);
    EXPECT_EQ(completeAnswer("", files, host + "\\PL"),
              (Names{host + "\\Plan A.dxf", host + "\\plans\\"}));
    EXPECT_EQ(completeAnswer("", files, host + "/pla"),
              (Names{host + "/Plan A.dxf", host + "/plans/"}));
    EXPECT_EQ(completeAnswer("", files, host + "\\"),
              (Names{host + "\\Plan A.dxf", host + "\\plans\\"}));
    EXPECT_EQ(completeAnswer("", files, folder.string() + "/pl"),
              (Names{folder.string() + "/plans/"}));
    EXPECT_EQ(completeAnswer("", files, folder.string() + "/."),
              (Names{folder.string() + "/.hidden"}));
    EXPECT_TRUE(completeAnswer("", files, host + "\\nothing\\p").empty());
}

TEST(CommonBeginning, IsSharedByAllIgnoringCaseAndSpelledAsTheFirst) {
    EXPECT_EQ(commonBeginning({"SAVE", "SAVEAS"}), "SAVE");
    EXPECT_EQ(commonBeginning({"Walls", "WINDOWS"}), "W");
    EXPECT_EQ(commonBeginning({"abc", "ABD"}), "ab");
    EXPECT_EQ(commonBeginning({"x", "y"}), "");
    EXPECT_EQ(commonBeginning({}), "");
}

}  // namespace
