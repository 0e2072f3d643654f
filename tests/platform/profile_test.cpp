// Profile files on disk: GetPrivateProfileStringA's parsing rules, buffer
// cuts and enumerations, GetPrivateProfileIntA's number reading, and reading
// afresh at every call.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char folderTemplate[] = "/tmp/profile-test-XXXXXX";
        ASSERT_NE(mkdtemp(folderTemplate), nullptr);
        folder = folderTemplate;
        windowsFileName = folder + "\\settings.ini";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    void write(const std::string& text)
    {
        std::ofstream(folder + "/settings.ini", std::ios::binary | std::ios::trunc) << text;
    }

    std::string readString(const char* section, const char* key, const char* fallback, DWORD size = 256)
    {
        std::string buffer(size, '#');
        DWORD count =
            GetPrivateProfileStringA(section, key, fallback, buffer.data(), size, windowsFileName.c_str());
        return buffer.substr(0, count);
    }

    std::string folder;
    std::string windowsFileName; // in Windows form, as the module passes it
};

} // namespace

TEST_F(ProfileTest, StringReadsFollowWindowsRules)
{
    struct Row {
        const char* name;
        std::string text;
        const char* section;
        const char* key;
        const char* fallback;
        const char* expected;
    };
    const Row rows[] = {
        {"plain", "[Storage]\nFolder=D:\\images\n", "Storage", "Folder", "none", "D:\\images"},
        {"names ignore case", "[sToRaGe]\nfOlDeR=x\n", "STORAGE", "folder", "none", "x"},
        {"blanks trimmed", "  [ Storage\t]  \n \tFolder \t=  a b \t\n", "Storage", "Folder", "none", "a b"},
        {"requested names trimmed", "[Storage]\nFolder=x\n", " Storage ", "\tFolder ", "none", "x"},
        {"double quotes stripped", "[S]\nk=\" padded \"\n", "S", "k", "none", " padded "},
        {"single quotes stripped", "[S]\nk='v'\n", "S", "k", "none", "v"},
        {"one pair only", "[S]\nk=\"\"v\"\"\n", "S", "k", "none", "\"v\""},
        {"unmatched quotes kept", "[S]\nk=\"v'\n", "S", "k", "none", "\"v'"},
        {"lone quote kept", "[S]\nk=\"\n", "S", "k", "none", "\""},
        {"equals in value", "[S]\nk=a=b\n", "S", "k", "none", "a=b"},
        {"comment line", "[S]\n;k=commented\n  ; k=too\nk=live\n", "S", "k", "none", "live"},
        {"no inline comments", "[S]\nk=v ; tail\n", "S", "k", "none", "v ; tail"},
        {"line without equals has no value", "[S]\n k \n", "S", "k", "none", "none"},
        {"line without equals hides later lines of its key", "[S]\nk\nk=v\n", "S", "k", "none", "none"},
        {"line without equals is no key of another name", "[S]\nkey\nk=v\n", "S", "k", "none", "v"},
        {"keys before any section ignored", "k=outside\n[S]\n", "S", "k", "none", "none"},
        {"first key wins", "[S]\nk=first\nK=second\n", "S", "k", "none", "first"},
        {"first section wins", "[S]\nk=first\n[T]\n[s]\nk=second\n", "S", "k", "none", "first"},
        {"repeated section not merged", "[S]\na=1\n[s]\nk=late\n", "S", "k", "none", "none"},
        {"CRLF", "[S]\r\nk=v\r\nm=w\r\n", "S", "k", "none", "v"},
        {"CR alone ends a line", "[S]\rk=v\rm=w\r", "S", "m", "none", "w"},
        {"a NUL ends the line's text", std::string("[S]\nk=a\0b\nm=w\n", 14), "S", "k", "none", "a"},
        {"lines after a NUL are read", std::string("[S]\nk=a\0b\nm=w\n", 14), "S", "m", "none", "w"},
        {"UTF-16 little-endian with its mark, answered in UTF-8",
         std::string("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xE9\0\x3D\xD8\x00\xDE\n\0", 24), "S", "k", "none",
         "\xC3\xA9\xF0\x9F\x98\x80"},
        {"UTF-16 big-endian with its mark", std::string("\xFE\xFF\0[\0S\0]\0\n\0k\0=\0v\0\n", 18), "S", "k",
         "none", "v"},
        {"BOM", "\xEF\xBB\xBF[S]\nk=v\n", "S", "k", "none", "v"},
        {"bytes kept", "[S]\nk=caf\xC3\xA9\xFF\n", "S", "k", "none", "caf\xC3\xA9\xFF"},
        {"no final line end", "[S]\nk=v", "S", "k", "none", "v"},
        {"empty value", "[S]\nk=\n", "S", "k", "none", ""},
        {"empty quoted value", "[S]\nk=\"\"\n", "S", "k", "none", ""},
        {"absent key", "[S]\nother=v\n", "S", "k", "fallback", "fallback"},
        {"absent section", "[T]\nk=v\n", "S", "k", "fallback", "fallback"},
        {"null default", "[T]\n", "S", "k", nullptr, ""},
        {"default loses trailing spaces", "[T]\n", "S", "k", " pad  ", " pad"},
        {"key in the next section", "[S]\n[T]\nk=v\n", "S", "k", "none", "none"},
    };
    for (const Row& row : rows) {
        write(row.text);
        EXPECT_EQ(readString(row.section, row.key, row.fallback), row.expected) << row.name;
    }
}

TEST_F(ProfileTest, AbsentFileGivesTheDefault)
{
    EXPECT_EQ(readString("S", "k", "fallback"), "fallback");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 7, windowsFileName.c_str()), 7u);

    char buffer[16];
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", buffer, sizeof buffer, nullptr), 1u);
    EXPECT_STREQ(buffer, "d");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(ProfileTest, LongValuesAreCutToTheBuffer)
{
    write("[S]\nk=abcdef\n");
    char buffer[8];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", buffer, 4, windowsFileName.c_str()), 3u);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", buffer, 7, windowsFileName.c_str()), 6u);
    EXPECT_STREQ(buffer, "abcdef");
    buffer[0] = '#';
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", buffer, 0, windowsFileName.c_str()), 0u);
    EXPECT_EQ(buffer[0], '#') << "size 0 writes nothing";
}

TEST_F(ProfileTest, EnumeratesKeysAndSections)
{
    // "bare" has no '=': it is listed nowhere.
    write("[Alpha]\none=1\nbare\nTwo=2\nONE=dup\n[Beta]\n[alpha]\nthree=3\n");
    using namespace std::string_literals;
    struct Row {
        const char* name;
        const char* section; // null: section names
        DWORD size;
        std::string expected; // including the final NUL; the answer is its size - 1
    };
    const Row rows[] = {
        {"keys", "ALPHA", 64, "one\0Two\0\0"s},
        {"sections", nullptr, 64, "Alpha\0Beta\0\0"s},
        {"keys of an empty section", "Beta", 64, "\0"s},
        {"keys of an absent section", "Gamma", 64, "\0"s},
        {"keys exact fit", "Alpha", 9, "one\0Two\0\0"s},
    };
    for (const Row& row : rows) {
        std::string buffer(row.size, '#');
        DWORD count =
            GetPrivateProfileStringA(row.section, nullptr, "dflt", buffer.data(), row.size, windowsFileName.c_str());
        EXPECT_EQ(count, row.expected.size() - 1) << row.name;
        EXPECT_EQ(buffer.substr(0, row.expected.size()), row.expected) << row.name;
    }

    struct Cut {
        const char* name;
        const char* section;
        DWORD size;
        std::string expected; // size characters, ending in two NULs; the answer is size - 2
    };
    const Cut cuts[] = {
        {"keys cut inside a name", "Alpha", 7, "one\0T\0\0"s},
        {"keys one short", "Alpha", 8, "one\0Tw\0\0"s},
        {"sections cut", nullptr, 5, "Alp\0\0"s},
    };
    for (const Cut& cut : cuts) {
        std::string buffer(cut.size, '#');
        DWORD count =
            GetPrivateProfileStringA(cut.section, nullptr, "", buffer.data(), cut.size, windowsFileName.c_str());
        EXPECT_EQ(count, cut.size - 2) << cut.name;
        EXPECT_EQ(buffer, cut.expected.substr(0, cut.size)) << cut.name;
    }
}

TEST_F(ProfileTest, IntegerReadsFollowWindowsRules)
{
    struct Row {
        const char* name;
        const char* line; // null: no key
        INT fallback;
        INT expected;
    };
    const Row rows[] = {
        {"decimal", "n=42", 7, 42},
        {"blanks before", "n=  \t42", 7, 42},
        {"plus sign", "n=+42", 7, 42},
        {"minus sign", "n=-5", 7, -5},
        {"hex", "n=0x1F", 7, 31},
        {"upper-case prefix is no prefix", "n=0XfF", 7, 0},
        {"octal", "n=0o17", 7, 15},
        {"binary", "n=0b101", 7, 5},
        {"negative binary", "n=-0b1", 7, -1},
        {"digits beyond the base stop", "n=0o78", 7, 7},
        {"upper-case hex digits", "n=0xfF", 7, 255},
        {"negative hex", "n=-0x10", 7, -16},
        {"stops at other characters", "n=12abc", 7, 12},
        {"decimal stops at hex digits", "n=12ab", 7, 12},
        {"no digits", "n=abc", 7, 0},
        {"sign only", "n=-", 7, 0},
        {"quoted", "n=\"15\"", 7, 15},
        {"empty value", "n=", 7, 7},
        {"absent key", nullptr, 7, 7},
        {"negative default", nullptr, -3, -3},
        {"wraps past 32 bits", "n=4294967297", 7, 1},
        {"large unsigned", "n=4294967295", 7, -1},
    };
    for (const Row& row : rows) {
        write(std::string("[S]\n") + (row.line ? row.line : "other=1") + "\n");
        UINT value = GetPrivateProfileIntA("S", "n", row.fallback, windowsFileName.c_str());
        EXPECT_EQ(static_cast<INT>(value), row.expected) << row.name;
    }
}

TEST_F(ProfileTest, EditsShowAtTheNextRead)
{
    write("[S]\nk=before\n");
    EXPECT_EQ(readString("S", "k", ""), "before");
    write("[S]\nk=after\n");
    EXPECT_EQ(readString("S", "k", ""), "after");
    std::filesystem::remove(folder + "/settings.ini");
    EXPECT_EQ(readString("S", "k", "gone"), "gone");
}
