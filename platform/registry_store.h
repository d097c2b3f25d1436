#pragma once
// One registry root persisted in its .reg file. Reads use a cached tree that is reloaded when
// the file changed; every change is made under an exclusive lock on "<file>.lock" against the
// file's current content and saved atomically, so concurrent processes lose nothing and no
// reader sees half a file. A malformed file makes the root fail with ERROR_BADDB and is never
// written over.

#include <sys/types.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/registry_tree.h"
#include "platform/win32_types.h"

namespace platform {

class RegistryStore {
  public:
    // seed fills a root whose file does not exist (or is empty); the filled root is saved.
    RegistryStore(std::filesystem::path file, std::string rootName,
                  std::function<void(RegistryNode&)> seed = {});

    const std::string& rootName() const { return rootName_; }

    // The current tree, valid until the next call on this store. ERROR_BADDB when the file is
    // malformed, ERROR_ACCESS_DENIED when it cannot be read.
    LONG read(const RegistryNode*& tree);

    // Applies change to the file's current tree and saves it when change set `changed`.
    // A change that returns an error must leave the tree as it was; nothing is saved then.
    using Change = std::function<LONG(RegistryNode& root, bool& changed)>;
    LONG modify(const Change& change);

    // The read-only switch: a marker file beside the .reg file, so it holds for every process
    // and for every user, root included.
    bool readOnly() const;
    LONG setReadOnly(bool on);

    // "file:line: what" while the file is malformed, or what failed reading it; else empty.
    const std::string& errorText() const { return errorText_; }

  private:
    struct Stamp {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        mode_t mode = 0;  // kept for the next save; not part of the comparison
        bool operator==(const Stamp& other) const;
    };

    LONG loadFromDisk();
    LONG readFailed(int error);
    void adopt(std::string text, const Stamp& stamp);
    LONG commit(const Change& change, bool honourReadOnly);
    LONG save(const std::string& text);

    std::filesystem::path file_;
    std::string rootName_;
    std::function<void(RegistryNode&)> seed_;
    bool seedTried_ = false;

    bool loaded_ = false;
    Stamp stamp_;
    std::string text_;  // the bytes tree_ was parsed from
    RegistryNode tree_;
    LONG status_ = ERROR_SUCCESS;
    std::string errorText_;
    std::string reportedError_;  // printed to stderr once per distinct error
};

}  // namespace platform
