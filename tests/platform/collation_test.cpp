#include "platform/collation.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/case_fold.h"

using platform::_mbsicmp;
using platform::lstrcmpA;
using platform::lstrcmpiA;

namespace {

std::vector<std::string> sortedByLocale(std::vector<std::string> names) {
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return lstrcmpA(a, b) < 0; });
    return names;
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

}  // namespace

TEST(Lstrcmp, AlphabeticalFirstCaseOnlyBreaksTies) {
    EXPECT_EQ(sortedByLocale({"cherry", "Banana", "apple"}),
              (std::vector<std::string>{"apple", "Banana", "cherry"}));
    EXPECT_EQ(sortedByLocale({"b", "A", "a"}), (std::vector<std::string>{"a", "A", "b"}));
    EXPECT_LT(lstrcmpA("plan", "Plan2"), 0);
    EXPECT_LT(lstrcmpA("Plan", "plan2"), 0);
}

TEST(Lstrcmp, DigitsAndPunctuationSortBeforeLetters) {
    EXPECT_LT(lstrcmpA("9", "a"), 0);
    EXPECT_LT(lstrcmpA("_x", "a"), 0);
    EXPECT_LT(lstrcmpA("-", "0"), 0);
    EXPECT_LT(lstrcmpA("base 2", "baseA"), 0);
}

TEST(Lstrcmp, AccentedLettersSortWithTheirBaseLetter) {
    EXPECT_EQ(sortedByLocale({"zebra", "\xc3\xa9t\xc3\xa9", "ete", "f"}),
              (std::vector<std::string>{"ete", "\xc3\xa9t\xc3\xa9", "f", "zebra"}));
}

TEST(Lstrcmp, DifferentStringsNeverCompareEqual) {
    EXPECT_EQ(lstrcmpA("same", "same"), 0);
    // Both read as replacement characters by the collator; the bytes still differ.
    EXPECT_NE(lstrcmpA("a\xff", "a\xfe"), 0);
    EXPECT_NE(lstrcmpA(std::string("a\0b", 3), std::string("a\0c", 3)), 0);
}

TEST(Lstrcmp, InvalidUtf8GivesAConsistentTotalOrder) {
    const std::vector<std::string> names{"\xff", "\xc3",      "a\x80",        "A", "a", "\xe2\x82",
                                         "",     "z\xc0\xaf", "\xed\xa0\x80", "b"};
    for (const auto& a : names) {
        for (const auto& b : names) {
            EXPECT_EQ(sign(lstrcmpA(a, b)), -sign(lstrcmpA(b, a)));
            EXPECT_EQ(lstrcmpA(a, b) == 0, a == b);
            for (const auto& c : names) {
                if (lstrcmpA(a, b) < 0 && lstrcmpA(b, c) < 0) {
                    EXPECT_LT(lstrcmpA(a, c), 0);
                }
            }
        }
    }
}

TEST(Lstrcmp, NullSortsFirst) {
    EXPECT_EQ(lstrcmpA(static_cast<const char*>(nullptr), nullptr), 0);
    EXPECT_LT(lstrcmpA(nullptr, ""), 0);
    EXPECT_GT(lstrcmpA("", nullptr), 0);
}

TEST(Lstrcmpi, IgnoresCaseButNotOtherDifferences) {
    EXPECT_EQ(lstrcmpiA("Banana", "bANANA"), 0);
    EXPECT_EQ(lstrcmpiA("\xc3\x89T\xc3\x89", "\xc3\xa9t\xc3\xa9"), 0);
    EXPECT_LT(lstrcmpiA("apple", "Banana"), 0);
    EXPECT_NE(lstrcmpiA("a\xff", "a\xfe"), 0);
}

TEST(Mbsicmp, FoldsAsciiAndUtf8LettersAndComparesByCodePoint) {
    const auto u = [](const char* s) { return reinterpret_cast<const unsigned char*>(s); };
    EXPECT_EQ(_mbsicmp(u("PLAN.dwg"), u("plan.DWG")), 0);
    EXPECT_EQ(_mbsicmp(u("\xc3\x84rger"), u("\xc3\xa4RGER")), 0);
    // Letters fold to lower case, so '_' (0x5F) sorts before them, as in the C runtime.
    EXPECT_LT(_mbsicmp(u("_"), u("A")), 0);
    EXPECT_GT(_mbsicmp(u("Banana"), u("apple")), 0);
    EXPECT_GT(_mbsicmp(u("b"), u("A")), 0);
    EXPECT_LT(_mbsicmp(u("ab"), u("ABC")), 0);
    EXPECT_NE(_mbsicmp(u("a\xff"), u("A\xfe")), 0);
    EXPECT_EQ(_mbsicmp(u("A\xff"), u("a\xff")), 0);
}

TEST(CaseFold, AsciiFoldsAsUnicodeDoesAndOrdersAmongOtherCharacters) {
    for (char32_t c = 1; c < 0x80; ++c) {
        const std::string text(1, static_cast<char>(c));
        EXPECT_EQ(platform::foldCase(text),
                  std::u32string(1, static_cast<char32_t>(
                                        u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT))))
            << "character " << static_cast<int>(c);
    }
    // Folded to lower case: '[' (0x5B) sorts before 'A' as it does before 'a'.
    EXPECT_LT(platform::compareIgnoreCase("[", "A"), 0);
    EXPECT_LT(platform::compareIgnoreCase("Z", "\xc3\xa4"), 0);  // z before \u00e4
    EXPECT_EQ(platform::compareIgnoreCase("PLAN-\xc3\x84.DWG", "plan-\xc3\xa4.dwg"), 0);
    EXPECT_GT(platform::compareIgnoreCase("a\xff", "A\xc3\xa4"), 0);  // stray bytes last
}

TEST(Mbsicmp, NullArgumentsAreAnError) {
    errno = 0;
    EXPECT_EQ(_mbsicmp(nullptr, reinterpret_cast<const unsigned char*>("a")),
              platform::_NLSCMPERROR);
    EXPECT_EQ(errno, EINVAL);
}
