#include <gtest/gtest.h>

#include "filing/replace_all.h"

namespace {

TEST(ReplaceAll, ReplacesLeftToRightResumingBehindTheInsertedText)
{
    const struct {
        const char* name;
        std::string text, search, replacement, expected;
    } rows[] = {
        {"replacement holds the search text", "aXa", "a", "aa", "aaXaa"},
        {"empty replacement deletes", "aXa", "a", "", "X"},
        {"no overlap", "aaa", "aa", "b", "ba"},
        {"no occurrence", "abc", "x", "y", "abc"},
        {"case-sensitive", "PatientID patientid", "PatientID", "1", "1 patientid"},
        {"whole text", "abc", "abc", "", ""},
        {"longer replacement", "a.b.c", ".", "\\\\", "a\\\\b\\\\c"},
        {"inserted text not searched again", "k", "k", "kk", "kk"},
        {"empty text", "", "a", "b", ""},
        {"bytes of multi-byte characters", "\xC3\xA9t\xC3\xA9", "\xC3\xA9", "e", "ete"},
    };
    for (const auto& row : rows) {
        std::string text = row.text;
        filing::replaceAll(text, row.search, row.replacement);
        EXPECT_EQ(text, row.expected) << row.name;
    }
}

} // namespace
