#pragma once
// The folder browser: a tree of drives and folders that opens at an initial path; OK gives
// the selected folder.

#include <QDialog>
#include <string>

class QLabel;

namespace setup {

class CDirectoryTree;

class CDirectoryDlg : public QDialog {
  public:
    explicit CDirectoryDlg(const std::string& initialPath, QWidget* parent = nullptr);

    // The selected folder without a trailing backslash, except for a drive root ("C:\").
    std::string selectedFolder() const;
    CDirectoryTree& tree() const { return *tree_; }

  private:
    CDirectoryTree* tree_;
    QLabel* selectionText_;
    std::string selection_;
};

}  // namespace setup
