#include <gtest/gtest.h>

#include "filing/safe_name.h"

namespace {

TEST(SafeName, RefusesComponentsOfOnlyDotsAndSpaces)
{
    const char* unsafe[] = {
        "..",         "..\\..\\somewhere", "a\\..\\b",  ".\\x",  "a\\.",      "a\\...\\b", "a\\.. \\b",
        "a/../b",     "../x",              " .\\x",     "x\\. .", "x\\..",     "..\\",      "\\..",
        "x\\ ",
    };
    for (const char* name : unsafe)
        EXPECT_FALSE(filing::isSafeRelativeName(name)) << name;

    const char* safe[] = {
        "a\\b.dcm",   "a\\\\b",  "\\U.dcm", "a..b\\c", ".hidden\\x", "x\\b.",
        "1.2.840\\3", "a\\b\\",  "x..",     "..x",     "a\\. a\\b",
    };
    for (const char* name : safe)
        EXPECT_TRUE(filing::isSafeRelativeName(name)) << name;
}

} // namespace
