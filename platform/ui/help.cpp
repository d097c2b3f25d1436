#include "platform/ui/help.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>
#include <map>
#include <string>

#include "platform/host_path.h"

namespace platform {

namespace {

// Help files larger than this are refused: a help text is a few hundred kilobytes with its
// pictures.
constexpr qint64 kMaxHelpFileSize = 32 << 20;

// The bytes of a data: URI ("data:[<type>][;base64],<data>"); empty when it is malformed.
QByteArray dataUriBytes(const QUrl& url) {
    const QByteArray encoded = url.toEncoded();
    const qsizetype comma = encoded.indexOf(',');
    if (!encoded.startsWith("data:") || comma < 0) {
        return {};
    }
    const QByteArray meta = encoded.mid(5, comma - 5);
    const QByteArray payload = QByteArray::fromPercentEncoding(encoded.mid(comma + 1));
    if (meta.endsWith(";base64")) {
        auto decoded = QByteArray::fromBase64Encoding(payload);
        return decoded ? *decoded : QByteArray();
    }
    return payload;
}

// The browser of one help file: it serves the file's own text and the pictures embedded in it,
// and nothing else.
class HelpBrowser : public QTextBrowser {
  public:
    explicit HelpBrowser(QWidget* parent) : QTextBrowser(parent) {}

    void setDocumentText(const QUrl& url, const QString& html) {
        url_ = url;
        html_ = html;
    }
    const QUrl& documentUrl() const { return url_; }
    const QString& documentText() const { return html_; }

    QVariant loadResource(int type, const QUrl& name) override {
        if (name.scheme() == QLatin1String("data")) {
            const QByteArray bytes = dataUriBytes(name);
            if (type == QTextDocument::ImageResource) {
                QImage image;
                if (image.loadFromData(bytes)) {
                    return image;
                }
                return {};
            }
            return bytes;
        }
        if (type == QTextDocument::HtmlResource &&
            name.adjusted(QUrl::RemoveFragment) == url_.adjusted(QUrl::RemoveFragment)) {
            return html_;
        }
        return {};
    }

  private:
    QUrl url_;
    QString html_;
};

QToolButton* toolButton(const QString& text, const QString& tip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(tip);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setAutoRaise(true);
    return button;
}

class HelpWindow : public QWidget {
  public:
    explicit HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
        setAttribute(Qt::WA_DeleteOnClose);
        setObjectName("helpWindow");
        browser_ = new HelpBrowser(this);
        browser_->setObjectName("helpBrowser");
        browser_->setOpenLinks(false);
        browser_->document()->setDocumentMargin(16);

        auto* contents = toolButton(tr("&Contents"), tr("Show the contents list"), this);
        back_ = toolButton(tr("< &Back"), tr("Back to the previous place"), this);
        forward_ = toolButton(tr("&Forward >"), tr("Forward again"), this);
        search_ = new QLineEdit(this);
        search_->setObjectName("helpSearch");
        search_->setPlaceholderText(tr("Find in help"));
        search_->setClearButtonEnabled(true);
        search_->setMaximumWidth(260);
        auto* findNext =
            toolButton(tr("Find &Next"), tr("Next place with this text (Enter)"), this);
        notFound_ = new QLabel(this);
        back_->setEnabled(false);
        forward_->setEnabled(false);

        auto* bar = new QHBoxLayout;
        bar->setContentsMargins(6, 4, 6, 4);
        bar->addWidget(contents);
        bar->addWidget(back_);
        bar->addWidget(forward_);
        bar->addStretch(1);
        bar->addWidget(notFound_);
        bar->addWidget(search_);
        bar->addWidget(findNext);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addLayout(bar);
        layout->addWidget(browser_, 1);
        resize(780, 620);

        connect(contents, &QToolButton::clicked, this, &HelpWindow::showContents);
        connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
        connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
        connect(browser_, &QTextBrowser::backwardAvailable, back_, &QWidget::setEnabled);
        connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QWidget::setEnabled);
        connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::follow);
        connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::updateTitle);
        connect(search_, &QLineEdit::returnPressed, this, [this] { find(false); });
        connect(search_, &QLineEdit::textEdited, this, [this] { find(true); });
        connect(findNext, &QToolButton::clicked, this, [this] { find(false); });
        auto* findShortcut = new QShortcut(QKeySequence::Find, this);
        connect(findShortcut, &QShortcut::activated, search_, [this] {
            search_->setFocus();
            search_->selectAll();
        });
    }

    // Shows the text of the help file at `url`, keeping the place and history when it is the
    // same file with the same text.
    void load(const QUrl& url, const QString& html) {
        if (url == browser_->documentUrl() && html == browser_->documentText()) {
            return;
        }
        const bool sameFile = url == browser_->documentUrl();
        browser_->setDocumentText(url, html);
        if (sameFile) {
            browser_->reload();
        } else {
            browser_->setSource(url, QTextDocument::HtmlResource);
            browser_->clearHistory();
        }
        updateTitle();
    }

    // The contents page: the top of the document, where its contents list is.
    void showContents() {
        const QUrl top = browser_->documentUrl();
        if (browser_->source() != top) {
            browser_->setSource(top, QTextDocument::HtmlResource);
        }
        browser_->verticalScrollBar()->setValue(0);
        browser_->horizontalScrollBar()->setValue(0);
    }

  private:
    void follow(const QUrl& link) {
        const QUrl target = browser_->source().resolved(link);
        const QString scheme = target.scheme();
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
            scheme == QLatin1String("mailto")) {
            QDesktopServices::openUrl(target);
        } else if (target.adjusted(QUrl::RemoveFragment) == browser_->documentUrl()) {
            browser_->setSource(target, QTextDocument::HtmlResource);
        }
        // Anything else is outside the help file and is not opened.
    }

    void updateTitle() {
        const QString title = browser_->documentTitle().simplified();
        setWindowTitle(title.isEmpty() ? browser_->documentUrl().fileName() : title);
    }

    // Finds the search text after the cursor (or from the top), wrapping round once.
    void find(bool fromTop) {
        const QString text = search_->text();
        notFound_->clear();
        if (text.isEmpty()) {
            return;
        }
        if (fromTop) {
            browser_->moveCursor(QTextCursor::Start);
        }
        if (!browser_->find(text)) {
            browser_->moveCursor(QTextCursor::Start);
            if (!browser_->find(text)) {
                notFound_->setText(tr("Not found"));
            }
        }
    }

    HelpBrowser* browser_ = nullptr;
    QToolButton* back_ = nullptr;
    QToolButton* forward_ = nullptr;
    QLineEdit* search_ = nullptr;
    QLabel* notFound_ = nullptr;
};

std::map<QWidget*, QPointer<HelpWindow>>& helpWindows() {
    static std::map<QWidget*, QPointer<HelpWindow>> windows;
    return windows;
}

BOOL refuse(QWidget* owner, LONG error, const std::string& helpFile, const char* why) {
    const std::string text = "Cannot show the help file\n" + helpFile + "\n\n" + why;
    MessageBoxA(owner, text.c_str(), "Help", MB_OK | MB_ICONEXCLAMATION);
    SetLastError(static_cast<DWORD>(error));
    return FALSE;
}

}  // namespace

BOOL WinHelpA(QWidget* owner, const char* helpFile, UINT command, ULONG_PTR /*data*/) {
    auto& windows = helpWindows();
    if (command == HELP_QUIT) {
        if (auto found = windows.find(owner); found != windows.end()) {
            if (found->second) {
                found->second->close();
            }
            windows.erase(found);
        }
        return TRUE;
    }
    if (!helpFile || !*helpFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const PathResult<std::filesystem::path> native = hostToNative(helpFile);
    if (!native.ok()) {
        return refuse(owner, native.error, helpFile, "The file does not exist.");
    }
    const QString nativePath = QString::fromStdString(native.value.string());
    const QFileInfo facts(nativePath);
    if (!facts.exists()) {
        return refuse(owner, ERROR_FILE_NOT_FOUND, helpFile, "The file does not exist.");
    }
    if (!facts.isFile() || facts.size() > kMaxHelpFileSize) {
        return refuse(owner, ERROR_INVALID_DATA, helpFile, "It is not a help file.");
    }
    QFile file(nativePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return refuse(owner, ERROR_ACCESS_DENIED, helpFile, "The file cannot be read.");
    }
    const QString html = QString::fromUtf8(file.readAll());
    if (!html.contains(QLatin1String("<html"), Qt::CaseInsensitive)) {
        return refuse(owner, ERROR_INVALID_DATA, helpFile,
                      "It is not a help file this viewer can show (an HTML document).");
    }

    QPointer<HelpWindow>& window = windows[owner];
    if (!window) {
        window = new HelpWindow(owner);
    }
    window->load(QUrl::fromLocalFile(nativePath), html);
    window->showContents();
    window->show();
    window->raise();
    window->activateWindow();
    return TRUE;
}

QWidget* helpWindowOf(QWidget* owner) {
    auto& windows = helpWindows();
    const auto found = windows.find(owner);
    return found == windows.end() ? nullptr : found->second.data();
}

}  // namespace platform
