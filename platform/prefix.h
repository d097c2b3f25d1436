#pragma once
// The environment prefix: the one folder that holds all machine-wide state of the
// emulated Windows machine (registry roots, drive letters, the C: drive).

#include <cstdint>
#include <filesystem>
#include <string>

namespace platform {

class Prefix {
  public:
    explicit Prefix(std::filesystem::path root);

    // $CADHOST_PREFIX, else $XDG_DATA_HOME/cadhost, else ~/.local/share/cadhost.
    static std::filesystem::path defaultRoot();

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path systemReg() const { return root_ / "system.reg"; }  // HKEY_LOCAL_MACHINE
    std::filesystem::path userReg() const { return root_ / "user.reg"; }      // HKEY_CURRENT_USER
    std::filesystem::path dosdevices() const { return root_ / "dosdevices"; }
    std::filesystem::path driveC() const { return root_ / "drive_c"; }

    // Creates what is missing: the folder, drive_c with "Program Files", and the drive
    // links c: -> ../drive_c and z: -> /. Existing links and files are left as they are.
    // Returns an empty string on success, else a message naming what failed.
    std::string ensureLayout() const;

  private:
    std::filesystem::path root_;
};

// The prefix this process works in. The first call picks defaultRoot() and creates its layout.
const Prefix& currentPrefix();

// Switches the process to another prefix (the --prefix option, tests) and creates its layout.
// State cached for the previous prefix (registry roots, current folder) is dropped; callers
// that cache per-prefix state compare prefixGeneration() with the value they cached.
// Returns an empty string on success, else the message of ensureLayout().
std::string setCurrentPrefix(const std::filesystem::path& root);

std::uint64_t prefixGeneration();

}  // namespace platform
