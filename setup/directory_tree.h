#pragma once
// The folder tree of the browser: one item per drive, folders below, read lazily. A folder
// with subfolders not read yet holds one placeholder child (empty text) so that it shows an
// expand button; expanding reads the folder, collapsing forgets its children so that the
// next expansion reads it afresh.

#include <QTreeWidget>
#include <functional>
#include <string>

namespace setup {

class CDirectoryTree : public QTreeWidget {
  public:
    explicit CDirectoryTree(QWidget* parent = nullptr);

    // Called with the full path of each newly selected item.
    void setSelectionHandler(std::function<void(const std::string&)> handler);

    // Adds an item per usable drive; the first fixed drive of a run is opened once.
    void addDrives();
    // Selects and expands the drive of path, then each folder of it in turn.
    void openPath(const std::string& path);

    std::string fullPath(const QTreeWidgetItem* item) const;

    // Marks that the first fixed drive has not been opened yet (once per program run).
    static void armFirstFixedDriveOpening();

  private:
    void expanded(QTreeWidgetItem* item);
    void collapsed(QTreeWidgetItem* item);
    void refuseExpansion(QTreeWidgetItem* item);
    void addPlaceholder(QTreeWidgetItem* item);
    // Adds a placeholder when the folder at path has a subfolder.
    void addPlaceholderIfSubfolders(QTreeWidgetItem* item, const std::string& path);

    std::function<void(const std::string&)> onSelection_;
    bool refusing_ = false;
};

}  // namespace setup
