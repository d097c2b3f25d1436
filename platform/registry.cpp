#include "platform/registry.h"

#include <array>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/prefix.h"
#include "platform/registry_file.h"
#include "platform/registry_store.h"

namespace platform {

namespace {

constexpr REGSAM kDelete = 0x00010000;
constexpr REGSAM kWriteDac = 0x00040000;
constexpr REGSAM kWriteOwner = 0x00080000;
constexpr REGSAM kGenericAll = 0x10000000;
constexpr REGSAM kGenericExecute = 0x20000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericRead = 0x80000000;
constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | kDelete | kWriteDac | kWriteOwner;
constexpr REGSAM kRootRights = ~REGSAM{0};

REGSAM specificRights(REGSAM desired) {
    if (desired & (kGenericRead | kGenericExecute)) {
        desired |= KEY_READ;
    }
    if (desired & kGenericWrite) {
        desired |= KEY_WRITE;
    }
    if (desired & kGenericAll) {
        desired |= KEY_ALL_ACCESS;
    }
    return desired;
}

using KeyPath = std::vector<std::string>;

KeyPath splitSubKey(const char* subKey) {
    KeyPath parts;
    std::string_view rest = subKey ? subKey : "";
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\\'), rest.size());
        if (end > 0) {
            parts.emplace_back(rest.substr(0, end));
        }
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return parts;
}

KeyPath joined(const KeyPath& base, const KeyPath& more) {
    KeyPath path = base;
    path.insert(path.end(), more.begin(), more.end());
    return path;
}

// The key `count` parts down the path (all parts by default), or null.
template <class Node>
Node* findKey(Node& start, const KeyPath& path, std::size_t count = ~std::size_t{0}) {
    Node* node = &start;
    for (std::size_t i = 0; node && i < std::min(count, path.size()); ++i) {
        node = node->findSubkey(path[i]);
    }
    return node;
}

void seedMachineRoot(RegistryNode& root) {
    RegistryNode& key = root.createSubkey("Software")
                            .createSubkey("Microsoft")
                            .createSubkey("Windows")
                            .createSubkey("CurrentVersion");
    key.setValue("ProgramFilesDir", REG_SZ, std::string("C:\\Program Files", 17));
}

// A key as one call sees it.
struct KeyRef {
    std::size_t root = 0;
    RegistryStore* store = nullptr;
    KeyPath path;
    REGSAM access = 0;
};

struct OpenKey {
    std::size_t root;
    KeyPath path;
    REGSAM access;
    std::uint64_t generation;
};

// The process-wide registry state: the two stores of the current prefix and the open handles.
class Registry {
  public:
    std::mutex mutex;

    // The root index of a predefined key that exists here, or npos.
    static std::size_t rootIndex(HKEY key) {
        if (key == HKEY_LOCAL_MACHINE) {
            return 0;
        }
        return key == HKEY_CURRENT_USER ? 1 : kNoRoot;
    }
    static constexpr std::size_t kNoRoot = ~std::size_t{0};

    RegistryStore& store(std::size_t root) {
        if (generation_ != prefixGeneration()) {
            const Prefix& prefix = currentPrefix();
            stores_[0] = std::make_unique<RegistryStore>(prefix.systemReg(), "HKEY_LOCAL_MACHINE",
                                                         seedMachineRoot);
            stores_[1] = std::make_unique<RegistryStore>(prefix.userReg(), "HKEY_CURRENT_USER");
            generation_ = prefixGeneration();
        }
        return *stores_[root];
    }

    LONG resolve(HKEY key, KeyRef& ref) {
        if (const std::size_t root = rootIndex(key); root != kNoRoot) {
            ref = KeyRef{root, &store(root), {}, kRootRights};
            return ERROR_SUCCESS;
        }
        if (isPredefined(key)) {
            return ERROR_FILE_NOT_FOUND;
        }
        auto it = handles_.find(reinterpret_cast<std::uintptr_t>(key));
        if (it == handles_.end() || it->second.generation != prefixGeneration()) {
            return ERROR_INVALID_HANDLE;
        }
        ref = KeyRef{it->second.root, &store(it->second.root), it->second.path, it->second.access};
        return ERROR_SUCCESS;
    }

    HKEY open(std::size_t root, KeyPath path, REGSAM access) {
        const std::uintptr_t id = nextHandle_;
        nextHandle_ += 4;
        handles_.emplace(id, OpenKey{root, std::move(path), access, prefixGeneration()});
        return reinterpret_cast<HKEY>(id);
    }

    LONG close(HKEY key) {
        if (isPredefined(key)) {
            return ERROR_SUCCESS;
        }
        return handles_.erase(reinterpret_cast<std::uintptr_t>(key)) ? ERROR_SUCCESS
                                                                     : ERROR_INVALID_HANDLE;
    }

    std::string errorText() {
        std::string text;
        for (std::size_t root = 0; root < stores_.size(); ++root) {
            if (const auto& error = store(root).errorText(); !error.empty()) {
                text += text.empty() ? error : "\n" + error;
            }
        }
        return text;
    }

  private:
    static bool isPredefined(HKEY key) {
        const auto value = reinterpret_cast<std::uintptr_t>(key);
        return value >= reinterpret_cast<std::uintptr_t>(HKEY_CLASSES_ROOT) &&
               value <= reinterpret_cast<std::uintptr_t>(HKEY_DYN_DATA);
    }

    std::uint64_t generation_ = 0;
    std::array<std::unique_ptr<RegistryStore>, 2> stores_;
    std::unordered_map<std::uintptr_t, OpenKey> handles_;
    std::uintptr_t nextHandle_ = 0x1000;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

// One call on a key: holds the registry lock and the resolved handle for its duration.
class KeyCall {
  public:
    KeyCall(HKEY key, REGSAM needed) : guard_(registry().mutex) {
        status_ = registry().resolve(key, ref_);
        if (status_ == ERROR_SUCCESS && (ref_.access & needed) != needed) {
            status_ = ERROR_ACCESS_DENIED;
        }
    }

    const KeyRef& ref() const { return ref_; }

    // The key the handle names in the root's current tree; tree receives the root.
    LONG find(const RegistryNode*& node, const RegistryNode** tree = nullptr) {
        node = nullptr;
        const RegistryNode* root = nullptr;
        if (status_ != ERROR_SUCCESS) {
            return status_;
        }
        if (LONG status = ref_.store->read(root); status != ERROR_SUCCESS) {
            return status;
        }
        if (tree) {
            *tree = root;
        }
        node = findKey(*root, ref_.path);
        return node ? ERROR_SUCCESS : ERROR_KEY_DELETED;
    }

    // Runs change(node, changed) on the key as one saved change of its root.
    template <class Change>
    LONG change(Change&& change) {
        if (status_ != ERROR_SUCCESS) {
            return status_;
        }
        return ref_.store->modify([&](RegistryNode& root, bool& changed) {
            RegistryNode* node = findKey(root, ref_.path);
            return node ? change(*node, changed) : ERROR_KEY_DELETED;
        });
    }

    // A new handle for a key below this one.
    HKEY open(const KeyPath& below, REGSAM access) {
        return registry().open(ref_.root, joined(ref_.path, below), access);
    }

  private:
    std::lock_guard<std::mutex> guard_;
    KeyRef ref_;
    LONG status_ = ERROR_SUCCESS;
};

LONG copyName(std::string_view name, char* buffer, DWORD* length) {
    if (!buffer || !length) {
        return ERROR_INVALID_PARAMETER;
    }
    if (name.size() >= *length) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = '\0';
    *length = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// Without a buffer only the size is reported; a buffer too small receives nothing.
LONG copyData(const RegistryValue& value, DWORD* type, BYTE* data, DWORD* dataSize) {
    if (data && !dataSize) {
        return ERROR_INVALID_PARAMETER;
    }
    if (type) {
        *type = value.type;
    }
    const auto size = static_cast<DWORD>(value.data.size());
    if (data) {
        if (*dataSize < size) {
            *dataSize = size;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, value.data.data(), size);
    }
    if (dataSize) {
        *dataSize = size;
    }
    return ERROR_SUCCESS;
}

LONG deleteKey(HKEY key, const char* subKey, bool withSubtree) {
    const KeyPath parts = splitSubKey(subKey);
    if (parts.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    return KeyCall(key, 0).change([&](RegistryNode& node, bool& changed) {
        RegistryNode* parent = findKey(node, parts, parts.size() - 1);
        const RegistryNode* target = parent ? parent->findSubkey(parts.back()) : nullptr;
        if (!target) {
            return ERROR_FILE_NOT_FOUND;
        }
        if (!withSubtree && !target->subkeys().empty()) {
            return ERROR_ACCESS_DENIED;
        }
        parent->removeSubkey(parts.back());
        changed = true;
        return ERROR_SUCCESS;
    });
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD /*options*/, REGSAM desired, HKEY* result) {
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    const KeyPath parts = splitSubKey(subKey);
    const REGSAM access = specificRights(desired);
    KeyCall call(key, 0);
    const RegistryNode* node = nullptr;
    if (LONG status = call.find(node); status != ERROR_SUCCESS) {
        return status;
    }
    if (!findKey(*node, parts)) {
        return ERROR_FILE_NOT_FOUND;
    }
    if ((access & kWriteRights) && call.ref().store->readOnly()) {
        return ERROR_ACCESS_DENIED;
    }
    *result = call.open(parts, access);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD /*reserved*/, char* /*keyClass*/,
                     DWORD /*options*/, REGSAM desired, void* /*securityAttributes*/, HKEY* result,
                     DWORD* disposition) {
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    const KeyPath parts = splitSubKey(subKey);
    for (const auto& part : parts) {
        if (!validKeyName(part)) {
            return ERROR_INVALID_PARAMETER;
        }
    }
    const REGSAM access = specificRights(desired);
    KeyCall call(key, 0);
    const RegistryNode* node = nullptr;
    if (LONG status = call.find(node); status != ERROR_SUCCESS) {
        return status;
    }
    if (call.ref().path.size() + parts.size() > kMaxKeyDepth) {
        return ERROR_INVALID_PARAMETER;
    }
    const bool exists = findKey(*node, parts) != nullptr;
    if ((!exists || (access & kWriteRights)) && call.ref().store->readOnly()) {
        return ERROR_ACCESS_DENIED;
    }
    bool created = false;
    if (!exists) {
        if (!(call.ref().access & KEY_CREATE_SUB_KEY)) {
            return ERROR_ACCESS_DENIED;
        }
        // Made under the root's file lock: a key another process made meanwhile is opened.
        LONG status = call.change([&](RegistryNode& parent, bool& changed) {
            RegistryNode* current = &parent;
            for (const auto& part : parts) {
                bool isNew = false;
                current = &current->createSubkey(part, &isNew);
                created = created || isNew;
            }
            changed = created;
            return ERROR_SUCCESS;
        });
        if (status != ERROR_SUCCESS) {
            return status;
        }
    }
    *result = call.open(parts, access);
    if (disposition) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* /*reserved*/, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
    KeyCall call(key, KEY_QUERY_VALUE);
    const RegistryNode* node = nullptr;
    if (LONG status = call.find(node); status != ERROR_SUCCESS) {
        return status;
    }
    const RegistryValue* value = node->findValue(valueName ? valueName : "");
    return value ? copyData(*value, type, data, dataSize) : ERROR_FILE_NOT_FOUND;
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD /*reserved*/, DWORD type,
                    const BYTE* data, DWORD dataSize) {
    const std::string_view name = valueName ? valueName : "";
    if (!validValueName(name) || (!data && dataSize > 0)) {
        return ERROR_INVALID_PARAMETER;
    }
    std::string bytes(reinterpret_cast<const char*>(data), data ? dataSize : 0);
    return KeyCall(key, KEY_SET_VALUE).change([&](RegistryNode& node, bool& changed) {
        const RegistryValue* old = node.findValue(name);
        changed = !old || old->type != type || old->data != bytes;
        node.setValue(name, type, std::move(bytes));
        return ERROR_SUCCESS;
    });
}

LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameLength, DWORD* /*reserved*/,
                   char* keyClass, DWORD* classLength, FILETIME* lastWriteTime) {
    KeyCall call(key, KEY_ENUMERATE_SUB_KEYS);
    const RegistryNode* node = nullptr;
    if (LONG status = call.find(node); status != ERROR_SUCCESS) {
        return status;
    }
    if (index >= node->subkeys().size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const auto entry = std::next(node->subkeys().begin(), static_cast<std::ptrdiff_t>(index));
    if (LONG status = copyName(entry->first, name, nameLength); status != ERROR_SUCCESS) {
        return status;
    }
    if (keyClass && classLength && *classLength > 0) {
        keyClass[0] = '\0';
    }
    if (classLength) {
        *classLength = 0;
    }
    if (lastWriteTime) {
        *lastWriteTime = FILETIME{};
    }
    return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* valueNameLength,
                   DWORD* /*reserved*/, DWORD* type, BYTE* data, DWORD* dataSize) {
    KeyCall call(key, KEY_QUERY_VALUE);
    const RegistryNode* node = nullptr;
    if (LONG status = call.find(node); status != ERROR_SUCCESS) {
        return status;
    }
    if (index >= node->values().size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const RegistryValue& value = node->values()[index];
    if (LONG status = copyName(value.name, valueName, valueNameLength); status != ERROR_SUCCESS) {
        return status;
    }
    return copyData(value, type, data, dataSize);
}

LONG RegDeleteValueA(HKEY key, const char* valueName) {
    return KeyCall(key, KEY_SET_VALUE).change([&](RegistryNode& node, bool& changed) {
        changed = node.removeValue(valueName ? valueName : "");
        return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

LONG RegDeleteKeyA(HKEY key, const char* subKey) {
    return deleteKey(key, subKey, false);
}

LONG SHDeleteKeyA(HKEY key, const char* subKey) {
    return deleteKey(key, subKey, true);
}

LONG RegCloseKey(HKEY key) {
    Registry& r = registry();
    std::lock_guard guard(r.mutex);
    return r.close(key);
}

LONG exportRegistryKey(HKEY key, std::string& text) {
    KeyCall call(key, KEY_QUERY_VALUE);
    const RegistryNode* node = nullptr;
    const RegistryNode* tree = nullptr;
    if (LONG status = call.find(node, &tree); status != ERROR_SUCCESS) {
        return status;
    }
    // The path as stored, whatever spelling the handle was opened with.
    std::string path = call.ref().store->rootName();
    for (const auto& part : call.ref().path) {
        const auto entry = tree->subkeys().find(part);
        path += '\\';
        path += entry->first;
        tree = entry->second.get();
    }
    appendRegistryText(text, *node, path);
    return ERROR_SUCCESS;
}

LONG setRegistryRootReadOnly(HKEY root, bool readOnly) {
    Registry& r = registry();
    std::lock_guard guard(r.mutex);
    const std::size_t index = Registry::rootIndex(root);
    return index == Registry::kNoRoot ? ERROR_INVALID_PARAMETER
                                      : r.store(index).setReadOnly(readOnly);
}

bool registryRootReadOnly(HKEY root) {
    Registry& r = registry();
    std::lock_guard guard(r.mutex);
    const std::size_t index = Registry::rootIndex(root);
    return index != Registry::kNoRoot && r.store(index).readOnly();
}

std::string registryErrorText() {
    Registry& r = registry();
    std::lock_guard guard(r.mutex);
    return r.errorText();
}

}  // namespace platform
