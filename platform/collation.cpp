#include "platform/collation.h"

#include <unicode/ucol.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/case_fold.h"

namespace platform {

namespace {

struct CollatorCloser {
    void operator()(UCollator* collator) const { ucol_close(collator); }
};
using Collator = std::unique_ptr<UCollator, CollatorCloser>;

// The root locale's order is the common ground of every language's alphabetical order;
// strength picks whether letter case (tertiary) takes part.
Collator openCollator(UColAttributeValue strength) {
    UErrorCode status = U_ZERO_ERROR;
    Collator collator(ucol_open("", &status));
    if (U_SUCCESS(status)) {
        ucol_setStrength(collator.get(), strength);
    } else {
        collator.reset();
    }
    return collator;
}

// Compares with the collator when ICU could give one, else reports equality so the caller's
// tie-break decides. ICU reads ill-formed UTF-8 as U+FFFD and reads at most int32 lengths.
int collate(const Collator& collator, std::string_view a, std::string_view b) {
    constexpr std::size_t kMax = INT32_MAX;
    if (!collator || a.size() > kMax || b.size() > kMax) {
        return 0;
    }
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result =
        ucol_strcollUTF8(collator.get(), a.data(), static_cast<std::int32_t>(a.size()), b.data(),
                         static_cast<std::int32_t>(b.size()), &status);
    if (U_FAILURE(status)) {
        return 0;
    }
    return result == UCOL_LESS ? -1 : (result == UCOL_GREATER ? 1 : 0);
}

int compareBytes(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// A null string sorts before every other string.
template <class Compare>
int compareNullable(const char* a, const char* b, Compare compare) {
    if (a == nullptr || b == nullptr) {
        return a == b ? 0 : (a == nullptr ? -1 : 1);
    }
    return compare(std::string_view(a), std::string_view(b));
}

}  // namespace

int lstrcmpA(std::string_view a, std::string_view b) {
    static const Collator collator = openCollator(UCOL_TERTIARY);
    const int c = collate(collator, a, b);
    return c != 0 ? c : compareBytes(a, b);
}

int lstrcmpA(const char* a, const char* b) {
    return compareNullable(a, b,
                           [](std::string_view x, std::string_view y) { return lstrcmpA(x, y); });
}

int lstrcmpiA(std::string_view a, std::string_view b) {
    static const Collator collator = openCollator(UCOL_SECONDARY);
    const int c = collate(collator, a, b);
    return c != 0 ? c : compareIgnoreCase(a, b);
}

int lstrcmpiA(const char* a, const char* b) {
    return compareNullable(a, b,
                           [](std::string_view x, std::string_view y) { return lstrcmpiA(x, y); });
}

int _mbsicmp(std::string_view a, std::string_view b) {
    return compareIgnoreCase(a, b);
}

int _mbsicmp(const unsigned char* a, const unsigned char* b) {
    if (a == nullptr || b == nullptr) {
        errno = EINVAL;
        return _NLSCMPERROR;
    }
    return compareIgnoreCase(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
}

}  // namespace platform
