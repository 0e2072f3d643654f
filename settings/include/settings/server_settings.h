// The server's settings, read from "DicomServer.ini" in the folder of the host
// executable, section DICOM_SERVER.
//
// Every key, its default and how its value is taken stand here and in
// server_settings.cpp, in the order in which they are read:
//
//   AE_TITLE              text     "KORVEL"      as read
//   PORT                  integer  104           taken only within 0..65535
//   STORAGE_ROOT          text     "\KORVEL"     as read
//   FILENAME_TEMPLATE     text     "StudyInstanceUID\SeriesInstanceUID\SOPInstanceUID.dcm"
//   SECURE_CONNECTION     flag     0             true exactly when it reads 1
//   MUTUAL_AUTHENTICATION flag     0             true exactly when it reads 1
//   CERT_SUBJECT_NAME     text     "DicomServer" as read
//
// Texts are read into a buffer of MAX_PATH characters, so a value keeps at
// most 259 characters. Nothing is trimmed, converted or checked beyond the
// port's range and the flags' comparison with 1: an empty value is taken as
// the empty text, the default applies only to an absent key.
#ifndef SETTINGS_SERVER_SETTINGS_H
#define SETTINGS_SERVER_SETTINGS_H

#include <cstdint>
#include <string>

namespace settings {

inline constexpr const char* kSettingsSection = "DICOM_SERVER";
inline constexpr const char* kSettingsFileName = "\\DicomServer.ini";

inline constexpr const char* kDefaultAeTitle = "KORVEL";
inline constexpr int kDefaultPort = 104;
inline constexpr const char* kDefaultStorageRoot = "\\KORVEL";
inline constexpr const char* kDefaultFilenameTemplate = "StudyInstanceUID\\SeriesInstanceUID\\SOPInstanceUID.dcm";
inline constexpr int kDefaultSecureConnection = 0;
inline constexpr int kDefaultMutualAuthentication = 0;
inline constexpr const char* kDefaultCertSubjectName = "DicomServer";

struct ServerSettings {
    std::string aeTitle;
    std::uint16_t port = kDefaultPort;
    std::string storageRoot;
    std::string filenameTemplate;
    bool secureConnection = false;
    bool mutualAuthentication = false;
    std::string certSubjectName;
};

// The settings file's path for the host executable at `executablePath`: the
// executable's folder up to and including its last backslash, then
// "\DicomServer.ini" (two backslashes stand between folder and file name,
// which the file functions read as one). A path without a backslash gives
// "\DicomServer.ini".
std::string settingsPathForExecutable(const std::string& executablePath);

// The settings file's path for the executable of this process.
std::string hostSettingsPath();

// Reads the seven keys from the file at `settingsPath`.
ServerSettings readServerSettings(const std::string& settingsPath);

} // namespace settings

#endif // SETTINGS_SERVER_SETTINGS_H
