#include "platform/registry_tree.h"

#include <algorithm>

namespace platform {

namespace {

unsigned char foldChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

bool hasLineBreakOrNul(std::string_view name) {
    return name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

std::string foldRegistryName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        c = static_cast<char>(foldChar(c));
    }
    return folded;
}

bool registryNamesEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return foldChar(x) == foldChar(y);
           });
}

bool RegistryNameLess::operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return foldChar(x) < foldChar(y); });
}

bool validKeyName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxKeyNameLength &&
           name.find('\\') == std::string_view::npos && !hasLineBreakOrNul(name);
}

bool validValueName(std::string_view name) {
    return name.size() <= kMaxValueNameLength && !hasLineBreakOrNul(name);
}

const RegistryNode* RegistryNode::findSubkey(std::string_view name) const {
    auto it = subkeys_.find(name);
    return it == subkeys_.end() ? nullptr : it->second.get();
}

RegistryNode* RegistryNode::findSubkey(std::string_view name) {
    auto it = subkeys_.find(name);
    return it == subkeys_.end() ? nullptr : it->second.get();
}

RegistryNode& RegistryNode::createSubkey(std::string_view name, bool* created) {
    auto it = subkeys_.find(name);
    const bool isNew = it == subkeys_.end();
    if (isNew) {
        it = subkeys_.emplace(std::string(name), std::make_unique<RegistryNode>()).first;
    }
    if (created) {
        *created = isNew;
    }
    return *it->second;
}

bool RegistryNode::removeSubkey(std::string_view name) {
    auto it = subkeys_.find(name);
    if (it == subkeys_.end()) {
        return false;
    }
    subkeys_.erase(it);
    return true;
}

const RegistryValue* RegistryNode::findValue(std::string_view name) const {
    auto it = valueIndex_.find(foldRegistryName(name));
    return it == valueIndex_.end() ? nullptr : &values_[it->second];
}

void RegistryNode::setValue(std::string_view name, DWORD type, std::string data) {
    auto [it, isNew] = valueIndex_.emplace(foldRegistryName(name), values_.size());
    if (isNew) {
        values_.push_back(RegistryValue{std::string(name), type, std::move(data)});
        return;
    }
    RegistryValue& value = values_[it->second];
    value.type = type;
    value.data = std::move(data);
}

bool RegistryNode::removeValue(std::string_view name) {
    auto it = valueIndex_.find(foldRegistryName(name));
    if (it == valueIndex_.end()) {
        return false;
    }
    const std::size_t position = it->second;
    valueIndex_.erase(it);
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(position));
    for (auto& entry : valueIndex_) {
        if (entry.second > position) {
            --entry.second;
        }
    }
    return true;
}

bool RegistryNode::operator==(const RegistryNode& other) const {
    return values_ == other.values_ &&
           std::equal(subkeys_.begin(), subkeys_.end(), other.subkeys_.begin(),
                      other.subkeys_.end(), [](const auto& a, const auto& b) {
                          return a.first == b.first && *a.second == *b.second;
                      });
}

}  // namespace platform
