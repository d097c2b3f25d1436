#include "platform/ui/help.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBrowser>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/host_path.h"
#include "support/qt_application.h"
#include "support/temp_prefix.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

class Recorder : public ModalResponder {
  public:
    int messageBox(const MessageBoxRequest& request) override {
        boxes.push_back(request);
        return IDOK;
    }
    int dialog(QDialog&) override { return QDialog::Rejected; }
    std::vector<MessageBoxRequest> boxes;
};

QTextBrowser* browserOf(QWidget* owner) {
    QWidget* window = helpWindowOf(owner);
    return window ? window->findChild<QTextBrowser*>("helpBrowser") : nullptr;
}

// A small red picture as a data: URI.
QString redPictureUri() {
    QImage image(48, 24, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 0));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return "data:image/png;base64," + QString::fromLatin1(png.toBase64());
}

class HelpTest : public ::testing::Test {
  protected:
    HelpTest() {
        testsupport::qtApplication();
        previous_ = setModalResponder(&recorder);
    }
    ~HelpTest() override {
        setModalResponder(previous_);
        for (QWidget* window : QApplication::topLevelWidgets()) {
            window->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Writes a help file and returns its host path.
    std::string writeHelp(const std::string& name, const QString& html) {
        const fs::path path = prefix.scratch() / name;
        std::ofstream(path, std::ios::binary) << html.toStdString();
        return nativeToHost(path);
    }

    std::string sampleHelp() {
        QString html =
            "<html><head><title>Sample Help</title></head><body>"
            "<h1 id=\"contents\">Contents</h1><p><a href=\"#far\">Far topic</a></p>";
        for (int i = 0; i < 200; ++i) {
            html += QString("<p>Filler paragraph %1.</p>").arg(i);
        }
        html += "<h2 id=\"far\">Far topic</h2><p>Needle text.</p><p><img src=\"" + redPictureUri() +
                "\"></p></body></html>";
        return writeHelp("sample.hlp", html);
    }

    testsupport::TempPrefix prefix;
    Recorder recorder;

  private:
    ModalResponder* previous_ = nullptr;
};

TEST_F(HelpTest, ContentsAreShownForContentsAndForAContextNumber) {
    const std::string help = sampleHelp();
    QWidget owner;
    ASSERT_TRUE(WinHelpA(&owner, help.c_str(), HELP_CONTENTS, 0));
    QWidget* window = helpWindowOf(&owner);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Sample Help");
    EXPECT_GE(window->width(), 600);
    QTextBrowser* browser = browserOf(&owner);
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->toPlainText().contains("Needle text."));

    // Following a link goes to its topic; Back comes back to the contents.
    emit browser->anchorClicked(QUrl("#far"));
    EXPECT_EQ(browser->source().fragment(), "far");
    EXPECT_GT(browser->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(browser->isBackwardAvailable());

    // A context number is not a topic of ours: the contents are shown, in the same window.
    ASSERT_TRUE(WinHelpA(&owner, help.c_str(), HELP_CONTEXT, 4711));
    EXPECT_EQ(helpWindowOf(&owner), window);
    EXPECT_TRUE(browser->source().fragment().isEmpty());
    EXPECT_EQ(browser->verticalScrollBar()->value(), 0);

    emit browser->anchorClicked(QUrl("#far"));
    ASSERT_TRUE(WinHelpA(&owner, help.c_str(), HELP_FINDER, 0));
    EXPECT_EQ(browser->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(HelpTest, BackForwardAndSearchInTheWindow) {
    const std::string help = sampleHelp();
    QWidget owner;
    ASSERT_TRUE(WinHelpA(&owner, help.c_str(), HELP_CONTENTS, 0));
    QTextBrowser* browser = browserOf(&owner);
    ASSERT_NE(browser, nullptr);
    emit browser->anchorClicked(QUrl("#far"));
    browser->backward();
    EXPECT_TRUE(browser->source().fragment().isEmpty());
    EXPECT_TRUE(browser->isForwardAvailable());
    browser->forward();
    EXPECT_EQ(browser->source().fragment(), "far");

    // Links outside the help file lead nowhere.
    emit browser->anchorClicked(QUrl("other.html#x"));
    EXPECT_EQ(browser->source().fragment(), "far");

    auto* search = helpWindowOf(&owner)->findChild<QLineEdit*>("helpSearch");
    ASSERT_NE(search, nullptr);
    browser->moveCursor(QTextCursor::Start);
    search->setText("needle");
    emit search->returnPressed();
    EXPECT_EQ(browser->textCursor().selectedText(), "Needle");
    search->setText("no such words anywhere");
    emit search->returnPressed();
    EXPECT_FALSE(browser->textCursor().hasSelection());
}

TEST_F(HelpTest, QuitClosesOnlyTheOwnersWindow) {
    const std::string help = sampleHelp();
    QWidget first;
    QWidget second;
    ASSERT_TRUE(WinHelpA(&first, help.c_str(), HELP_CONTENTS, 0));
    ASSERT_TRUE(WinHelpA(&second, help.c_str(), HELP_CONTENTS, 0));
    QPointer<QWidget> firstWindow = helpWindowOf(&first);
    QPointer<QWidget> secondWindow = helpWindowOf(&second);
    ASSERT_TRUE(firstWindow && secondWindow);
    EXPECT_NE(firstWindow, secondWindow);

    EXPECT_TRUE(WinHelpA(&first, nullptr, HELP_QUIT, 0));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(firstWindow.isNull());
    EXPECT_EQ(helpWindowOf(&first), nullptr);
    ASSERT_FALSE(secondWindow.isNull());
    EXPECT_TRUE(secondWindow->isVisible());
    // Quitting again, or for an owner that has none, is harmless.
    EXPECT_TRUE(WinHelpA(&first, help.c_str(), HELP_QUIT, 0));
}

TEST_F(HelpTest, DestroyingTheOwnerClosesItsHelp) {
    const std::string help = sampleHelp();
    auto owner = std::make_unique<QDialog>();
    ASSERT_TRUE(WinHelpA(owner.get(), help.c_str(), HELP_CONTENTS, 0));
    QPointer<QWidget> window = helpWindowOf(owner.get());
    ASSERT_FALSE(window.isNull());
    owner.reset();
    EXPECT_TRUE(window.isNull());
}

TEST_F(HelpTest, MissingOrForeignFilesAreReported) {
    QWidget owner;
    const std::string missing = nativeToHost(prefix.scratch() / "lnkhold.hlp");
    EXPECT_FALSE(WinHelpA(&owner, missing.c_str(), HELP_CONTENTS, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_NE(recorder.boxes[0].text.find(missing), std::string::npos);
    EXPECT_EQ(recorder.boxes[0].caption, "Help");
    EXPECT_EQ(helpWindowOf(&owner), nullptr);

    // An old binary help file is not one this viewer shows; nor is a folder.
    const std::string binary = writeHelp("old.hlp", QString::fromLatin1("?_\x03\x00 binary"));
    EXPECT_FALSE(WinHelpA(&owner, binary.c_str(), HELP_CONTENTS, 0));
    fs::create_directory(prefix.scratch() / "folder.hlp");
    const std::string folder = nativeToHost(prefix.scratch() / "folder.hlp");
    EXPECT_FALSE(WinHelpA(&owner, folder.c_str(), HELP_CONTENTS, 0));
    EXPECT_FALSE(WinHelpA(&owner, "Q:\\nodrive\\lnkhold.hlp", HELP_CONTENTS, 0));
    EXPECT_EQ(recorder.boxes.size(), 4u);
    EXPECT_EQ(helpWindowOf(&owner), nullptr);
}

TEST_F(HelpTest, PicturesEmbeddedAsDataUrisAreShown) {
    const std::string help = sampleHelp();
    QWidget owner;
    ASSERT_TRUE(WinHelpA(&owner, help.c_str(), HELP_CONTENTS, 0));
    QTextBrowser* browser = browserOf(&owner);
    ASSERT_NE(browser, nullptr);
    emit browser->anchorClicked(QUrl("#far"));
    QCoreApplication::processEvents();
    const QImage shown = browser->viewport()->grab().toImage();
    int red = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            red += shown.pixelColor(x, y) == QColor(255, 0, 0);
        }
    }
    EXPECT_GE(red, 48 * 24);
}

TEST_F(HelpTest, TheProductsHelpFile) {
    const std::string help = nativeToHost(LNKHOLD_HELP_FILE);
    QWidget owner;
    ASSERT_TRUE(WinHelpA(&owner, help.c_str(), HELP_CONTENTS, 0));
    QWidget* window = helpWindowOf(&owner);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Linkhold Help");
    const QString text = browserOf(&owner)->toPlainText();
    for (const char* expected : {"Xref Name",
                                 "Status",
                                 "Path",
                                 "Date modified",
                                 "Size",
                                 "Current",
                                 "Attached",
                                 "Overlay",
                                 "Unloaded",
                                 "Detached",
                                 "File not found",
                                 "Needs Reloading",
                                 "Repathed",
                                 "Unresolved",
                                 "Nested",
                                 "Unreferenced",
                                 "Not an Xref",
                                 "Unknown status",
                                 "Add...",
                                 "Remove",
                                 "Unload",
                                 "Reload",
                                 "Detach",
                                 "RePath...",
                                 "Attach",
                                 "Strip Path",
                                 "Select All",
                                 "Clear All",
                                 "Open Dwg...",
                                 "Insert",
                                 "Save LKH...",
                                 "Load LKH...",
                                 "Visretain",
                                 "Acad Path",
                                 "Automatically Attach",
                                 "0_<xrefname>",
                                 "Current layer",
                                 "Header1",
                                 "Header6",
                                 "AutoAttach",
                                 "InsertionLayer",
                                 "\\Applications\\Linkhold16\\Settings",
                                 "LINKHOLD",
                                 "LKH"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    }
    // Every link of the help leads to a topic in it.
    QFile file(LNKHOLD_HELP_FILE);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    const QRegularExpression link("href=\"#([^\"]+)\"");
    int links = 0;
    for (auto it = link.globalMatch(html); it.hasNext(); ++links) {
        const QString target = it.next().captured(1);
        EXPECT_TRUE(html.contains("id=\"" + target + "\"")) << target.toStdString();
    }
    EXPECT_GE(links, 10);
    window->resize(860, 680);
    window->show();
    QCoreApplication::processEvents();
    fs::create_directories(SCREENSHOT_DIR);
    EXPECT_TRUE(window->grab().save(QString(SCREENSHOT_DIR) + "/help_window.png"));
}

}  // namespace
