#include "filing_checks.h"

#include "filing/received_file.h"
#include "filing/safe_name.h"
#include "fuzz_environment.h"

namespace fuzz {

namespace {

namespace fs = std::filesystem;

std::string posixForm(std::string windowsName)
{
    for (char& c : windowsName)
        if (c == '\\')
            c = '/';
    return windowsName;
}

// Whether `relativeName` under `root` names `root` or something inside it,
// judged by the path's lexical normal form. (A name of separators only names
// the root itself; its move fails and nothing leaves the root.)
bool staysUnder(const fs::path& root, const std::string& relativeName)
{
    const std::string normal = fs::path(root.string() + "/" + posixForm(relativeName)).lexically_normal().string();
    const std::string prefix = root.lexically_normal().string() + "/";
    return normal.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

void fileAndCheck(const fs::path& root, const std::string& name, const fs::path& received)
{
    const bool safe = !name.empty() && filing::isSafeRelativeName(name);
    if (safe)
        check(staysUnder(root, name), "a name taken as safe stays under the storage root");

    const bool filed = filing::fileReceivedFile(windowsPath(root), name, windowsPath(received));
    check(!filed || safe, "only a safe name is filed");
    if (filed) {
        check(fs::is_regular_file(root.string() + "/" + posixForm(name)), "a filed file is at its name");
        check(!fs::exists(received), "a filed file has left the receiving place");
    } else if (!safe) {
        check(fs::exists(received), "a file refused for its name stays where it was received");
    }
    emptyFolder(root);
}

} // namespace fuzz
