#include "setup/directory_tree.h"

#include <QApplication>
#include <QStyle>

#include "platform/collation.h"
#include "platform/files.h"

namespace setup {

using namespace platform;

namespace {

bool firstFixedDrivePending = false;

constexpr int kDriveRole = Qt::UserRole;

enum Image { kDriveImage, kRemovableImage, kCdromImage, kFolderImage };

QIcon image(Image which) {
    QStyle* style = QApplication::style();
    switch (which) {
        case kDriveImage:
            return style->standardIcon(QStyle::SP_DriveHDIcon);
        case kRemovableImage:
            return style->standardIcon(QStyle::SP_DriveFDIcon);
        case kCdromImage:
            return style->standardIcon(QStyle::SP_DriveCDIcon);
        case kFolderImage:
            break;
    }
    // A folder shows open while it is selected.
    QIcon folder = style->standardIcon(QStyle::SP_DirClosedIcon);
    folder.addPixmap(style->standardIcon(QStyle::SP_DirOpenIcon).pixmap(16, 15), QIcon::Selected);
    return folder;
}

std::string withSeparator(const std::string& path) {
    return path.ends_with('\\') ? path : path + "\\";
}

// Calls visit with the name of each subfolder of path (not "." or "..") until it returns
// false; false when the folder cannot be listed.
bool forEachSubfolder(const std::string& path, const std::function<bool(const char*)>& visit) {
    WIN32_FIND_DATAA data;
    const HANDLE find = FindFirstFileA((withSeparator(path) + "*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return false;
    }
    do {
        const std::string_view name = data.cFileName;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != ".." &&
            !visit(data.cFileName)) {
            break;
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return true;
}

bool sameName(const QTreeWidgetItem* item, const std::string& name) {
    return _mbsicmp(item->text(0).toLocal8Bit().toStdString(), name) == 0;
}

}  // namespace

CDirectoryTree::CDirectoryTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setIconSize(QSize(16, 15));
    connect(this, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { expanded(item); });
    connect(this, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { collapsed(item); });
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item && onSelection_) {
            onSelection_(fullPath(item));
        }
    });
}

void CDirectoryTree::setSelectionHandler(std::function<void(const std::string&)> handler) {
    onSelection_ = std::move(handler);
}

void CDirectoryTree::armFirstFixedDriveOpening() {
    firstFixedDrivePending = true;
}

std::string CDirectoryTree::fullPath(const QTreeWidgetItem* item) const {
    std::string path;
    for (; item; item = item->parent()) {
        const std::string text = item->text(0).toLocal8Bit().toStdString();
        path = path.empty() ? text : withSeparator(text) + path;
    }
    return path;
}

void CDirectoryTree::addPlaceholder(QTreeWidgetItem* item) {
    auto* placeholder = new QTreeWidgetItem(item);
    placeholder->setIcon(0, image(kFolderImage));
}

void CDirectoryTree::addPlaceholderIfSubfolders(QTreeWidgetItem* item, const std::string& path) {
    forEachSubfolder(path, [&](const char*) {
        addPlaceholder(item);
        return false;
    });
}

void CDirectoryTree::addDrives() {
    const DWORD drives = GetLogicalDrives();
    for (int bit = 0; bit < 26; ++bit) {
        if (!(drives & (1u << bit))) {
            continue;
        }
        const std::string root = std::string(1, static_cast<char>('A' + bit)) + ":\\";
        const UINT type = GetDriveTypeA(root.c_str());
        if (type < DRIVE_REMOVABLE || type > DRIVE_RAMDISK) {
            continue;
        }
        auto* drive = new QTreeWidgetItem(this, QStringList(QString::fromLatin1(root)));
        drive->setData(0, kDriveRole, true);
        drive->setIcon(0, image(type == DRIVE_REMOVABLE ? kRemovableImage
                                : type == DRIVE_CDROM   ? kCdromImage
                                                        : kDriveImage));
        if (type == DRIVE_REMOVABLE || type == DRIVE_CDROM) {
            addPlaceholder(drive);  // not touched: it may have no medium
            continue;
        }
        addPlaceholderIfSubfolders(drive, root);
        if (type == DRIVE_FIXED && firstFixedDrivePending) {
            setCurrentItem(drive);
            drive->setExpanded(true);
            firstFixedDrivePending = false;
        }
    }
}

void CDirectoryTree::openPath(const std::string& path) {
    QTreeWidgetItem* found = nullptr;
    std::size_t start = 0;
    while (start < path.size()) {
        auto end = path.find('\\', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty()) {
            continue;
        }
        const bool drivePart = found == nullptr;
        const int count = drivePart ? topLevelItemCount() : found->childCount();
        QTreeWidgetItem* match = nullptr;
        for (int i = 0; i < count && !match; ++i) {
            QTreeWidgetItem* item = drivePart ? topLevelItem(i) : found->child(i);
            if (sameName(item, drivePart ? part + "\\" : part)) {
                match = item;
            }
        }
        if (!match) {
            return;  // a part that matches nothing ends the walk
        }
        setCurrentItem(match);
        match->setExpanded(true);
        found = match;
    }
}

void CDirectoryTree::refuseExpansion(QTreeWidgetItem* item) {
    refusing_ = true;
    item->setExpanded(false);
    refusing_ = false;
}

void CDirectoryTree::expanded(QTreeWidgetItem* item) {
    if (refusing_) {
        return;
    }
    const std::string path = fullPath(item);
    setCurrentItem(item);
    delete item->takeChild(0);  // the placeholder
    int added = 0;
    const bool listed = forEachSubfolder(path, [&](const char* name) {
        auto* folder = new QTreeWidgetItem(item, QStringList(QString::fromLocal8Bit(name)));
        folder->setIcon(0, image(kFolderImage));
        addPlaceholderIfSubfolders(folder, withSeparator(path) + name);
        ++added;
        return true;
    });
    if (!listed && item->childCount() == 0) {
        addPlaceholder(item);  // so that an unreadable drive can be tried again
    }
    if (!listed || added == 0) {
        refuseExpansion(item);
    }
}

void CDirectoryTree::collapsed(QTreeWidgetItem* item) {
    if (refusing_) {
        return;
    }
    setCurrentItem(item);
    qDeleteAll(item->takeChildren());
    if (item->data(0, kDriveRole).toBool()) {
        addPlaceholder(item);
    } else {
        addPlaceholderIfSubfolders(item, fullPath(item));
    }
}

}  // namespace setup
