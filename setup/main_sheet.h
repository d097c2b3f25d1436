#pragma once
// The installation wizard: the Install/Uninstall choice (page 0), the installation folder
// (page 1, Install only) and the host products to register or unregister (page 2).

#include <QWizard>
#include <cstdint>
#include <string>

namespace setup {

class CInstallPage;
class CInstallDirectory;
class CAcadVersions;

class CMainSheet : public QWizard {
  public:
    enum Page : int { kInstallPage = 0, kDirectoryPage = 1, kVersionsPage = 2 };
    enum Mode : std::int32_t { kUninstall = 0, kInstall = 1 };

    explicit CMainSheet(QWidget* parent = nullptr);

    std::int32_t mode() const { return mode_; }
    void setMode(std::int32_t mode) { mode_ = mode; }
    // The folder the directory page accepted; empty before that.
    const std::string& installFolder() const;

  private:
    std::int32_t mode_ = kInstall;
    CInstallPage* installPage_;
    CInstallDirectory* directoryPage_;
    CAcadVersions* versionsPage_;
};

}  // namespace setup
