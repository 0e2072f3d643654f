// Reading DicomServer.ini through the platform's profile functions.
#include <gtest/gtest.h>

#include "settings/server_settings.h"
#include "temp_dir.h"

namespace {

using settings::ServerSettings;

ServerSettings defaults()
{
    ServerSettings expected;
    expected.aeTitle = "KORVEL";
    expected.port = 104;
    expected.storageRoot = "\\KORVEL";
    expected.filenameTemplate = "StudyInstanceUID\\SeriesInstanceUID\\SOPInstanceUID.dcm";
    expected.certSubjectName = "DicomServer";
    return expected;
}

template <typename Change> ServerSettings defaultsWith(Change change)
{
    ServerSettings expected = defaults();
    change(expected);
    return expected;
}

struct SettingsRow {
    const char* name;
    bool fileExists;
    std::string fileText;
    ServerSettings expected;
};

void expectSettings(const ServerSettings& actual, const ServerSettings& expected, const char* row)
{
    EXPECT_EQ(actual.aeTitle, expected.aeTitle) << row;
    EXPECT_EQ(actual.port, expected.port) << row;
    EXPECT_EQ(actual.storageRoot, expected.storageRoot) << row;
    EXPECT_EQ(actual.filenameTemplate, expected.filenameTemplate) << row;
    EXPECT_EQ(actual.secureConnection, expected.secureConnection) << row;
    EXPECT_EQ(actual.mutualAuthentication, expected.mutualAuthentication) << row;
    EXPECT_EQ(actual.certSubjectName, expected.certSubjectName) << row;
}

TEST(ServerSettings, KeysDefaultsAndHowValuesAreTaken)
{
    const std::string longRoot(300, 'r');
    const std::vector<SettingsRow> rows = {
        {"no settings file", false, "", defaults()},
        {"empty file", true, "", defaults()},
        {"every key set", true,
         "[DICOM_SERVER]\nAE_TITLE=ARCHIVE\nPORT=11112\nSTORAGE_ROOT=D:\\Images\n"
         "FILENAME_TEMPLATE=PatientID\\SOPInstanceUID.dcm\nSECURE_CONNECTION=1\nMUTUAL_AUTHENTICATION=1\n"
         "CERT_SUBJECT_NAME=archive.example\n",
         [] {
             ServerSettings s;
             s.aeTitle = "ARCHIVE";
             s.port = 11112;
             s.storageRoot = "D:\\Images";
             s.filenameTemplate = "PatientID\\SOPInstanceUID.dcm";
             s.secureConnection = true;
             s.mutualAuthentication = true;
             s.certSubjectName = "archive.example";
             return s;
         }()},
        {"empty AE title is taken, not defaulted", true, "[DICOM_SERVER]\nAE_TITLE=\n",
         defaultsWith([](ServerSettings& s) { s.aeTitle = ""; })},
        {"empty template and root are taken", true, "[DICOM_SERVER]\nFILENAME_TEMPLATE=\nSTORAGE_ROOT=\n",
         defaultsWith([](ServerSettings& s) { s.filenameTemplate = s.storageRoot = ""; })},
        {"port 0", true, "[DICOM_SERVER]\nPORT=0\n", defaultsWith([](ServerSettings& s) { s.port = 0; })},
        {"port 65535", true, "[DICOM_SERVER]\nPORT=65535\n",
         defaultsWith([](ServerSettings& s) { s.port = 65535; })},
        {"port 65536 not taken", true, "[DICOM_SERVER]\nPORT=65536\n", defaults()},
        {"negative port not taken", true, "[DICOM_SERVER]\nPORT=-1\n", defaults()},
        {"port without digits reads 0", true, "[DICOM_SERVER]\nPORT=abc\n",
         defaultsWith([](ServerSettings& s) { s.port = 0; })},
        {"flags 1", true, "[DICOM_SERVER]\nSECURE_CONNECTION=1\nMUTUAL_AUTHENTICATION=1\n",
         defaultsWith([](ServerSettings& s) { s.secureConnection = s.mutualAuthentication = true; })},
        {"flags 2 are false", true, "[DICOM_SERVER]\nSECURE_CONNECTION=2\nMUTUAL_AUTHENTICATION=2\n", defaults()},
        {"flags -1 are false", true, "[DICOM_SERVER]\nSECURE_CONNECTION=-1\nMUTUAL_AUTHENTICATION=-1\n",
         defaults()},
        {"flag text is false", true, "[DICOM_SERVER]\nSECURE_CONNECTION=yes\n", defaults()},
        {"a 300-character root keeps 259", true, "[DICOM_SERVER]\nSTORAGE_ROOT=" + longRoot + "\n",
         defaultsWith([&](ServerSettings& s) { s.storageRoot = longRoot.substr(0, 259); })},
        {"keys in another section are not seen", true,
         "[OTHER]\nAE_TITLE=ARCHIVE\nPORT=11112\nSTORAGE_ROOT=x\nFILENAME_TEMPLATE=y\nSECURE_CONNECTION=1\n"
         "MUTUAL_AUTHENTICATION=1\nCERT_SUBJECT_NAME=z\n",
         defaults()},
        {"section and keys in other case, CRLF", true, "[dicom_server]\r\nae_title = ARCHIVE\r\n",
         defaultsWith([](ServerSettings& s) { s.aeTitle = "ARCHIVE"; })},
    };
    for (const SettingsRow& row : rows) {
        TempDir folder;
        const auto file = folder.path() / "DicomServer.ini";
        if (row.fileExists)
            writeTextFile(file, row.fileText);
        expectSettings(settings::readServerSettings(toWindowsPath(file.string())), row.expected, row.name);
    }
}

TEST(ServerSettings, PathBesideTheHostExecutable)
{
    const struct {
        const char* name;
        std::string executable;
        std::string expected;
    } rows[] = {
        {"drive path", "D:\\Apps\\Host\\host.exe", "D:\\Apps\\Host\\\\DicomServer.ini"},
        {"no backslash", "host.exe", "\\DicomServer.ini"},
        {"empty", "", "\\DicomServer.ini"},
        {"root folder", "\\host", "\\\\DicomServer.ini"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(settings::settingsPathForExecutable(row.executable), row.expected) << row.name;
}

TEST(ServerSettings, DoubledBackslashNamesTheSameFile)
{
    TempDir folder;
    writeTextFile(folder.path() / "DicomServer.ini", "[DICOM_SERVER]\nAE_TITLE=BESIDE\n");
    const std::string path = settings::settingsPathForExecutable(folder.windowsPath("host.exe"));
    EXPECT_EQ(settings::readServerSettings(path).aeTitle, "BESIDE");
}

} // namespace
