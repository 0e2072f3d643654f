#include "filing/received_file.h"

#include "filing/log_line.h"
#include "filing/safe_name.h"
#include "settings/directory_chain.h"
#include "toolkit/win32.h"

namespace filing {

bool fileReceivedFile(const std::string& storageRoot, const std::string& relativeName,
                      const std::string& receivedPath)
{
    if (relativeName.empty())
        return false;
    if (!isSafeRelativeName(relativeName)) {
        writeLogLine("Unsafe file name in storeReceivedFile\n");
        return false;
    }
    const std::string fullPath = storageRoot + "\\" + relativeName;
    const std::string targetFolder = fullPath.substr(0, fullPath.rfind('\\'));
    settings::createDirectoryChain(targetFolder);
    if (MoveFileExA(receivedPath.c_str(), fullPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        return true;
    DeleteFileA(receivedPath.c_str());
    return false;
}

} // namespace filing
