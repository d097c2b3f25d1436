#include "platform/file_dialog_request.h"

namespace platform {

std::vector<std::pair<std::string, std::string>> splitFileFilter(const std::string& filter) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start < filter.size()) {
        const std::size_t bar = filter.find('|', start);
        const std::size_t end = bar == std::string::npos ? filter.size() : bar;
        if (end == start) {
            break;  // "||": the end of the filter
        }
        entries.push_back(filter.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = 0; i + 1 < entries.size(); i += 2) {
        pairs.emplace_back(entries[i], entries[i + 1]);
    }
    return pairs;
}

}  // namespace platform
