#include <gtest/gtest.h>

#include <string>

#include "cadhost/app/name_patterns.h"

using cadhost::app::matchesList;
using cadhost::app::splitList;

TEST(NamePatterns, WildcardsAndLetterCase) {
    EXPECT_TRUE(matchesList("*", ""));
    EXPECT_TRUE(matchesList("roads", "ROADS"));
    EXPECT_TRUE(matchesList("r?ads", "Roads"));
    EXPECT_FALSE(matchesList("r?ads", "rads"));
    EXPECT_TRUE(matchesList("B*", "BUILDING"));
    EXPECT_TRUE(matchesList("*ING", "BUILDING"));
    EXPECT_TRUE(matchesList("*U*D*", "BUILDING"));
    EXPECT_FALSE(matchesList("*U*X*", "BUILDING"));
    EXPECT_FALSE(matchesList("B*G?", "BUILDING"));
    EXPECT_TRUE(matchesList("a*b*c", "abxbc"));
    EXPECT_FALSE(matchesList("", "A"));
    EXPECT_TRUE(matchesList("ÉBAUCHE*", "ébauche-ü"));
    EXPECT_FALSE(matchesList("A.*", "A"));  // the file-name rule for a final ".*" is not used
}

TEST(NamePatterns, ListsSkipEmptyEntries) {
    EXPECT_EQ(splitList(",A,,B*,"), (std::vector<std::string>{"A", "B*"}));
    EXPECT_TRUE(matchesList("X,B*", "BUILDING"));
    EXPECT_FALSE(matchesList(",,", "BUILDING"));
}

TEST(NamePatterns, ManyStarsAgainstALongNameFinishQuickly) {
    // A backtracking matcher takes exponential time here; this one is linear per star.
    const std::string name(5000, 'a');
    EXPECT_FALSE(matchesList("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b", name));
    EXPECT_TRUE(matchesList("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a", name));
}
