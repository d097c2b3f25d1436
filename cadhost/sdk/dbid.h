#pragma once
// Object ids, id arrays and the database's enumerations.

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class AcDbDatabase;
namespace cadhost::db {
struct ObjectStub;
}

namespace AcDb {

enum OpenMode { kForRead = 0, kForWrite = 1, kForNotify = 2 };

enum XrefStatus {
    kXrfNotAnXref = 0,
    kXrfResolved = 1,
    kXrfUnloaded = 2,
    kXrfUnreferenced = 3,
    kXrfFileNotFound = 4,
    kXrfUnresolved = 5,
};

}  // namespace AcDb

// Names one object of a database; stays valid while the database lives, also after the
// object is erased.
class AcDbObjectId {
  public:
    AcDbObjectId() = default;
    explicit AcDbObjectId(cadhost::db::ObjectStub* stub) : stub_(stub) {}

    static const AcDbObjectId kNull;

    bool isNull() const { return stub_ == nullptr; }
    bool isValid() const { return stub_ != nullptr; }
    bool isErased() const;
    AcDbDatabase* database() const;
    std::uint64_t handle() const;  // 0 for the null id and for objects without a handle

    cadhost::db::ObjectStub* stub() const { return stub_; }

    bool operator==(const AcDbObjectId&) const = default;
    std::strong_ordering operator<=>(const AcDbObjectId& other) const {
        return std::compare_three_way{}(stub_, other.stub_);
    }

  private:
    cadhost::db::ObjectStub* stub_ = nullptr;
};

template <>
struct std::hash<AcDbObjectId> {
    std::size_t operator()(const AcDbObjectId& id) const noexcept {
        return std::hash<const void*>{}(id.stub());
    }
};

// The host's growable array, over std::vector.
template <class T>
class AcArray {
  public:
    AcArray& append(const T& value) {
        items_.push_back(value);
        return *this;
    }
    int length() const { return static_cast<int>(items_.size()); }
    int logicalLength() const { return length(); }
    bool isEmpty() const { return items_.empty(); }
    void removeAll() { items_.clear(); }
    bool contains(const T& value) const {
        return std::find(items_.begin(), items_.end(), value) != items_.end();
    }
    T& at(int index) { return items_.at(static_cast<std::size_t>(index)); }
    const T& at(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    T& operator[](int index) { return at(index); }
    const T& operator[](int index) const { return at(index); }
    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

  private:
    std::vector<T> items_;
};

using AcDbObjectIdArray = AcArray<AcDbObjectId>;
