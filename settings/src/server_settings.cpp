#include "settings/server_settings.h"

#include "toolkit/win32.h"

namespace settings {

namespace {

std::string readText(const char* key, const char* defaultText, const std::string& settingsPath)
{
    char buffer[MAX_PATH] = {};
    GetPrivateProfileStringA(kSettingsSection, key, defaultText, buffer, MAX_PATH, settingsPath.c_str());
    buffer[MAX_PATH - 1] = '\0';
    return std::string(buffer);
}

int readInteger(const char* key, int defaultValue, const std::string& settingsPath)
{
    return static_cast<int>(GetPrivateProfileIntA(kSettingsSection, key, defaultValue, settingsPath.c_str()));
}

bool readFlag(const char* key, int defaultValue, const std::string& settingsPath)
{
    return readInteger(key, defaultValue, settingsPath) == 1;
}

} // namespace

std::string settingsPathForExecutable(const std::string& executablePath)
{
    const size_t lastBackslash = executablePath.rfind('\\');
    const std::string folder =
        lastBackslash == std::string::npos ? std::string() : executablePath.substr(0, lastBackslash + 1);
    return folder + kSettingsFileName;
}

std::string hostSettingsPath()
{
    char executablePath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, executablePath, MAX_PATH);
    executablePath[MAX_PATH - 1] = '\0';
    return settingsPathForExecutable(executablePath);
}

ServerSettings readServerSettings(const std::string& settingsPath)
{
    ServerSettings settings;
    settings.aeTitle = readText("AE_TITLE", kDefaultAeTitle, settingsPath);
    const int port = readInteger("PORT", kDefaultPort, settingsPath);
    if (port >= 0 && port <= 65535)
        settings.port = static_cast<std::uint16_t>(port);
    settings.storageRoot = readText("STORAGE_ROOT", kDefaultStorageRoot, settingsPath);
    settings.filenameTemplate = readText("FILENAME_TEMPLATE", kDefaultFilenameTemplate, settingsPath);
    settings.secureConnection = readFlag("SECURE_CONNECTION", kDefaultSecureConnection, settingsPath);
    settings.mutualAuthentication = readFlag("MUTUAL_AUTHENTICATION", kDefaultMutualAuthentication, settingsPath);
    settings.certSubjectName = readText("CERT_SUBJECT_NAME", kDefaultCertSubjectName, settingsPath);
    return settings;
}

} // namespace settings
