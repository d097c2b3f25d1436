// The host's xrefs through the cadhost program: drawings load their xrefs when opened, -XREF
// runs every operation from a script, and ezdxf reads back what SAVE wrote.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "tests/e2e/cadhost_program.h"

namespace {

using e2etest::CadhostProgram;
using e2etest::ProgramRun;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kExamples = EXAMPLES_DIR;

class XrefScripts : public CadhostProgram {
  protected:
    // The demo drawings, made anew in the scratch folder by the script that made the
    // committed ones.
    void SetUp() override {
        const ProgramRun made = python(kExamples + "/make_demo.py", dir().string());
        ASSERT_EQ(made.exitCode, 0) << made.output;
    }

    std::string summary(const std::string& drawing) const {
        const ProgramRun run = python(XREF_SUMMARY_SCRIPT, drawing);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_THAT(run.output, HasSubstr("audit errors=0"));
        return run.output;
    }
};

// The exact run of the README's run command: the committed demo, listed and left as it was.
TEST_F(CadhostProgram, TheDemoListsEveryKindOfXref) {
    const ProgramRun run = cadhost("-b " + e2etest::quoted(kExamples + "/list-xrefs.scr") + " " +
                                   e2etest::quoted(kExamples + "/site.dxf"));
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("Xref \"ROADS\"  Attach  Loaded\n"
                                      "  Stored path: xrefs\\roads.dxf\n  Found at: Z:"));
    EXPECT_THAT(run.output, HasSubstr("Xref \"BUILDING\"  Attach  Loaded\n"
                                      "  Stored path: xrefs\\building.dwg\n  Found at: Z:"));
    EXPECT_THAT(run.output, HasSubstr("xrefs\\building.dxf\n"));
    EXPECT_THAT(run.output, HasSubstr("Xref \"FURNITURE\"  Attach  Loaded  nested in BUILDING\n"
                                      "  Stored path: furniture.dxf\n  Found at: Z:"));
    EXPECT_THAT(run.output, HasSubstr("Xref \"TREES\"  Overlay  Loaded\n"));
    EXPECT_THAT(run.output, HasSubstr("Xref \"PARKING\"  Attach  Not Found\n"
                                      "  Stored path: xrefs\\parking.dxf\n  Found at: -\n"));
    EXPECT_THAT(run.output, HasSubstr("Xref \"OLDPLAN\"  Attach  Unreferenced\n"));
    EXPECT_THAT(run.output, HasSubstr("Total xref(s): 6"));
    // Loading the nested xref adds a record to the drawing, which is no change of the user's.
    EXPECT_THAT(run.output, Not(HasSubstr("Save changes")));
}

// The prompt sequences of scripts written for the original host: options by their first
// letters, the xref named after its file, the placement asked after the file name, Detach
// without a question.
TEST_F(XrefScripts, UnloadDetachPathAndOverlayAreSavedAndReadBack) {
    std::filesystem::copy_file(dir() / "xrefs" / "furniture.dxf", dir() / "xrefs" / "decor.dxf");
    std::filesystem::copy_file(dir() / "xrefs" / "archive" / "parking.dxf",
                               dir() / "xrefs" / "archive" / "lot.dxf");
    write("ops.scr",
          "-XREF\nU\nROADS\n"
          "-XREF\nD\nTREES\n"
          "-XREF\nP\nPARKING\nxrefs\\oldplan.dxf\n"
          "-XREF\nO\nxrefs\\decor.dxf\n12.5,-4\n2\n\n30\n"
          "-XREF\n?\nROADS,PARKING,DECOR\n"
          "SAVE\nQUIT\n");
    const ProgramRun run = cadhost("-b ops.scr site.dxf");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("Xref \"ROADS\"  Attach  Unloaded\n"));
    EXPECT_THAT(run.output, HasSubstr("Xref \"TREES\" detached."));
    EXPECT_THAT(run.output, HasSubstr("Old path: xrefs\\parking.dxf"));
    EXPECT_THAT(run.output, HasSubstr("Xref \"PARKING\"  Attach  Loaded\n"
                                      "  Stored path: xrefs\\oldplan.dxf\n"));
    EXPECT_THAT(run.output, HasSubstr("Overlay Xref \"decor\": xrefs\\decor.dxf\n"
                                      "Specify insertion point <0,0,0>: 12.5,-4\n"
                                      "Enter X scale factor <1>: 2\n"
                                      "Enter Y scale factor <use X scale factor>: \n"
                                      "Specify rotation angle <0>: 30\n"
                                      "Xref \"decor\" overlaid."));
    EXPECT_THAT(run.output, HasSubstr("Xref \"decor\"  Overlay  Loaded\n"));
    EXPECT_THAT(run.output, HasSubstr("Total xref(s): 3"));

    const std::string saved = summary("site.dxf");
    EXPECT_THAT(saved, HasSubstr("ROADS path=xrefs\\roads.dxf overlay=0 inserted=1 unloaded=1"));
    EXPECT_THAT(saved, Not(HasSubstr("TREES")));
    EXPECT_THAT(saved, HasSubstr("PARKING path=xrefs\\oldplan.dxf overlay=0 inserted=1"));
    EXPECT_THAT(saved, HasSubstr("decor path=xrefs\\decor.dxf overlay=1 inserted=1 unloaded=0 "
                                 "at=12.5,-4,0 scale=2,2,2 rotation=30\n"));
    // The angle is stored as typed, not as its round trip through radians (29.999999999999996).
    EXPECT_THAT(read("site.dxf"), HasSubstr("\n 50\n30.0\n"));

    // Every placement answer left to its default, then given in full.
    write("reload.scr",
          "-XREF\nR\nROADS\n-XREF\nA\nxrefs\\trees.dxf\n\n\n\n\n"
          "-XREF\n\nxrefs\\archive\\lot.dxf\n1,2,3\n-0.5\n+4\n-30\nSAVE\nQUIT\n");
    const ProgramRun reload = cadhost("-b reload.scr site.dxf");
    ASSERT_EQ(reload.exitCode, 0) << reload.output;
    EXPECT_THAT(reload.output, HasSubstr("Attach Xref \"trees\": xrefs\\trees.dxf\n"));
    EXPECT_THAT(reload.output, HasSubstr("Xref \"lot\" attached."));
    const std::string reloaded = summary("site.dxf");
    EXPECT_THAT(reloaded, HasSubstr("ROADS path=xrefs\\roads.dxf overlay=0 inserted=1 unloaded=0"));
    EXPECT_THAT(reloaded,
                HasSubstr("trees path=xrefs\\trees.dxf overlay=0 inserted=1 unloaded=0\n"));
    EXPECT_THAT(reloaded, HasSubstr("lot path=xrefs\\archive\\lot.dxf overlay=0 inserted=1 "
                                    "unloaded=0 at=1,2,3 scale=-0.5,4,-0.5 rotation=-30\n"));
}

TEST_F(XrefScripts, RefusedOperationsSayWhyAndChangeNothing) {
    std::filesystem::copy_file(dir() / "xrefs" / "archive" / "parking.dxf",
                               dir() / "xrefs" / "archive" / "lot.dxf");
    const std::pair<std::string, std::string> cases[] = {
        {"-XREF\nAttach\nxrefs\\nowhere.dxf\n\n\n\n\n", "the file is not found"},
        {"-XREF\nAttach\nxrefs\\roads.dxf\n",
         "Xref \"roads\" is not attached: a block of that name exists."},
        {"-XREF\nO\nxrefs\\archive\\lot.dxf\n1;2\n", "Invalid point: give x,y or x,y,z."},
        {"-XREF\nA\nxrefs\\archive\\lot.dxf\n1,2,3,4\n", "Invalid point"},
        {"-XREF\nA\nxrefs\\archive\\lot.dxf\n\n0\n", "Requires a nonzero number."},
        {"-XREF\nA\nxrefs\\archive\\lot.dxf\n\n\n1e999\n", "Requires a nonzero number."},
        {"-XREF\nA\nxrefs\\archive\\lot.dxf\n\n\n\nright\n", "Requires an angle in degrees."},
        {"-XREF\nUnload\nFURNITURE\n", "nested in BUILDING and changes with it"},
        {"-XREF\nDetach\nNOSUCH*\n", "No xref of the drawing matches NOSUCH*"},
        {"-XREF\nX\n", "Invalid option keyword: X"},
        {"-XREF\nB\nPARKING\n",
         "Xref \"PARKING\" is unchanged: it is nested in another xref, or it or an xref nested "
         "in it is not loaded."},
    };
    for (const auto& [commands, message] : cases) {
        const ProgramRun run = cadhost("site.dxf", commands + "GETVAR DBMOD\n");
        EXPECT_THAT(run.output, HasSubstr(message)) << commands;
        EXPECT_THAT(run.output, HasSubstr("DBMOD = 0")) << run.output;
    }
    write("refused.scr", "-XREF\nReload\nNOSUCH\nSAVE\n");
    const ProgramRun run = cadhost("-b refused.scr site.dxf");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.output, HasSubstr("failed at line 3: NOSUCH"));
    // A placement answer that is refused ends the script at its line, before anything changes.
    write("scale.scr", "-XREF\nA\nxrefs\\archive\\lot.dxf\n\n0\nSAVE\n");
    const ProgramRun scale = cadhost("-b scale.scr site.dxf", "GETVAR DBMOD\n");
    EXPECT_EQ(scale.exitCode, 1);
    EXPECT_THAT(scale.output, HasSubstr("failed at line 5: 0"));
    EXPECT_THAT(scale.output, Not(HasSubstr("Saved")));
}

// BINDTYPE 1 binds as an insert would: the xref's layer joins the drawing's own of that name.
TEST_F(XrefScripts, InsertBindTurnsTheXrefIntoAnOrdinaryBlock) {
    ASSERT_EQ(python(XREF_LAYERS_SCRIPT, "add .").exitCode, 0);
    write("bind.scr", "SETVAR\nBINDTYPE\n1\n-XREF\nB\nROADS\nSAVE\nQUIT\n");
    const ProgramRun run = cadhost("-b bind.scr site.dxf");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("Xref \"ROADS\" bound."));
    EXPECT_THAT(summary("site.dxf"), Not(HasSubstr("ROADS path=")));
    const ProgramRun layers = python(XREF_LAYERS_SCRIPT, "show site.dxf ROADS");
    EXPECT_THAT(layers.output, AllOf(HasSubstr("layer KERB 1\n"), Not(HasSubstr("ROADS$")),
                                     Not(HasSubstr("ROADS|")), HasSubstr("ROADS: LINE KERB\n")));

    write("refused.scr", "SETVAR\nBINDTYPE\n2\n");
    EXPECT_THAT(cadhost("-b refused.scr site.dxf").output, HasSubstr("Requires 0 or 1."));
}

TEST_F(XrefScripts, BindKeepsTheXrefsLayersApartUnderPrefixedNames) {
    ASSERT_EQ(python(XREF_LAYERS_SCRIPT, "add .").exitCode, 0);
    // The drawing takes the first prefixed name itself, so the bind goes on to the next.
    write("bind.scr", "-LAYER\nNew\nROADS$0$KERB\n\n-XREF\nBind\nROADS\nSAVE\nQUIT\n");
    const ProgramRun run = cadhost("-b bind.scr site.dxf");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("Xref \"ROADS\" bound."));
    EXPECT_THAT(summary("site.dxf"), Not(HasSubstr("ROADS path=")));
    const ProgramRun layers = python(XREF_LAYERS_SCRIPT, "show site.dxf ROADS");
    EXPECT_EQ(layers.exitCode, 0) << layers.output;
    EXPECT_THAT(layers.output,
                AllOf(HasSubstr("layer KERB 1\n"), HasSubstr("layer ROADS$0$KERB 7\n"),
                      HasSubstr("layer ROADS$1$KERB 3\n"), Not(HasSubstr("ROADS|")),
                      HasSubstr("ROADS: LINE ROADS$1$KERB\n"), HasSubstr("audit errors=0")));
}

// Relative xref paths start at the drawing's folder: saved elsewhere, the drawing finds its
// xrefs from there at once and says which changed.
TEST_F(XrefScripts, SavingInAnotherFolderFindsTheXrefsFromThere) {
    std::filesystem::create_directories(dir() / "moved" / "xrefs");
    std::filesystem::copy_file(dir() / "xrefs" / "roads.dxf",
                               dir() / "moved" / "xrefs" / "parking.dxf");
    const std::string moved = (dir() / "moved").string();
    write("moved.scr", "SAVEAS " + moved + "/site.dxf\nGETVAR DBMOD\nSAVEAS " + moved +
                           "/copy.dxf\n-XREF\n?\nROADS,PARKING\nSAVEAS " +
                           (dir() / "back.dxf").string() + "\nQUIT\n");
    const ProgramRun run = cadhost("-b moved.scr site.dxf");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto toMoved = run.output.find("Save drawing as");
    const auto toCopy = run.output.find("Save drawing as", toMoved + 1);
    const auto toBack = run.output.find("Save drawing as", toCopy + 1);
    ASSERT_NE(toBack, std::string::npos) << run.output;
    const std::string intoMoved = run.output.substr(toMoved, toCopy - toMoved);
    const std::string withinMoved = run.output.substr(toCopy, toBack - toCopy);
    const std::string backAgain = run.output.substr(toBack);

    EXPECT_THAT(intoMoved, HasSubstr("Xref \"ROADS\" is now Not Found (was Loaded).\n"));
    EXPECT_THAT(intoMoved, HasSubstr("Xref \"PARKING\" is now Loaded (was Not Found).\n"));
    EXPECT_THAT(intoMoved, HasSubstr("Xref \"FURNITURE\" is now Unreferenced (was Loaded).\n"));
    EXPECT_THAT(intoMoved, Not(HasSubstr("OLDPLAN")));  // unreferenced in both folders
    EXPECT_THAT(intoMoved, HasSubstr("DBMOD = 0"));
    EXPECT_THAT(withinMoved, Not(HasSubstr("is now")));
    EXPECT_THAT(withinMoved, HasSubstr("Xref \"PARKING\"  Attach  Loaded\n"
                                       "  Stored path: xrefs\\parking.dxf\n  Found at: Z:"));
    EXPECT_THAT(withinMoved, HasSubstr("moved\\xrefs\\parking.dxf\n"));
    EXPECT_THAT(withinMoved, HasSubstr("Xref \"ROADS\"  Attach  Not Found\n"));
    EXPECT_THAT(backAgain, HasSubstr("Xref \"ROADS\" is now Loaded (was Not Found).\n"));
    EXPECT_THAT(backAgain, HasSubstr("Xref \"PARKING\" is now Not Found (was Loaded).\n"));
    EXPECT_THAT(backAgain, HasSubstr("Xref \"FURNITURE\" is now Loaded (was Unreferenced).\n"));
    // The stored paths are saved as they were.
    EXPECT_THAT(summary((dir() / "moved" / "site.dxf").string()),
                HasSubstr("ROADS path=xrefs\\roads.dxf overlay=0 inserted=1 unloaded=0"));
}

TEST_F(CadhostProgram, ModelAndPaperSpaceFollowTheDrawingsLayout) {
    ASSERT_EQ(python(LAYOUT_SCRIPT, dir().string()).exitCode, 0);
    write("viewport.scr",
          "GETVAR CVPORT\nMSPACE\nGETVAR CVPORT\nMSPACE\nPSPACE\nGETVAR CVPORT\n"
          "SETVAR CVPORT 2\nGETVAR CVPORT\nGETVAR PROJECTNAME\nSETVAR CVPORT 7\n");
    ProgramRun run = cadhost("-b viewport.scr viewport.dxf");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.output, HasSubstr("CVPORT = 1\nCommand: MSPACE\nCommand: GETVAR\n"
                                      "Enter variable name: CVPORT\nCVPORT = 2"));
    EXPECT_THAT(run.output, HasSubstr("Already in model space."));
    EXPECT_THAT(run.output, HasSubstr("Command: PSPACE\nCommand: GETVAR\n"
                                      "Enter variable name: CVPORT\nCVPORT = 1"));
    EXPECT_THAT(run.output, HasSubstr("PROJECTNAME = \"Bridge\""));
    EXPECT_THAT(run.output, HasSubstr("The layout has no viewport 7."));

    write("sheet.scr", "MSPACE\n");
    run = cadhost("-b sheet.scr sheet.dxf");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.output, HasSubstr("The layout has no viewport to enter model space through."));

    write("model.scr", "GETVAR CVPORT\nPSPACE\n");
    run = cadhost("-b model.scr model.dxf");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.output, HasSubstr("CVPORT = 2"));
    EXPECT_THAT(run.output, HasSubstr("** Command not allowed in Model Tab **"));

    // Each drawing keeps its own space; read-only variables refuse a value.
    write("two.scr",
          "MSPACE\nOPEN sheet.dxf\nGETVAR CVPORT\nOPEN viewport.dxf\nGETVAR CVPORT\n"
          "SETVAR DWGNAME x.dxf\n");
    run = cadhost("-b two.scr viewport.dxf");
    const auto sheet = run.output.find("CVPORT = 1");
    EXPECT_NE(run.output.find("CVPORT = 2", sheet), std::string::npos) << run.output;
    EXPECT_THAT(run.output, HasSubstr("** That variable is read only **"));
}

TEST_F(CadhostProgram, SavingClearsTheModifiedFlag) {
    makeDrawing("plan.dxf");
    write("save.scr",
          "GETVAR DBMOD\n-LAYER M WALLS\n\nGETVAR DBMOD\nSAVE\nGETVAR DBMOD\n"
          "SETVAR VISRETAIN 0\nGETVAR DBMOD\nSAVE\nQUIT\n");
    const ProgramRun run = cadhost("-b save.scr plan.dxf");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const auto first = run.output.find("DBMOD = 0");
    const auto changed = run.output.find("DBMOD = 1", first);
    const auto saved = run.output.find("DBMOD = 0", changed);
    ASSERT_NE(saved, std::string::npos) << run.output;
    EXPECT_NE(run.output.find("DBMOD = 1", saved), std::string::npos) << run.output;
    write("reopen.scr", "GETVAR VISRETAIN\nGETVAR CLAYER\n");
    const ProgramRun reopened = cadhost("-b reopen.scr plan.dxf");
    EXPECT_THAT(reopened.output, HasSubstr("VISRETAIN = 0"));
    EXPECT_THAT(reopened.output, HasSubstr("CLAYER = \"WALLS\""));
}

}  // namespace
