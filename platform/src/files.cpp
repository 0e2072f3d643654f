// File functions of the stand-in: CreateDirectoryA, DeleteFileA, MoveFileA,
// MoveFileExA, with Windows' answers where POSIX differs: Windows error codes
// (one errno table), the read-only attribute (a file with no write permission
// bit) honoured even for root, no silent replacing of an existing new name,
// and moves across file systems by copying, never showing a partial file
// under the new name.
//
// Every failure sets the last error; success leaves it alone.
// Thread-safety: thread-safe; the CreateDirectoryA observer (which may veto a
// creation) is set by tests while no other thread calls the platform.
#include "windows_path.h"

#include <platform/testing.h>
#include <windows.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::atomic<CreateDirectoryObserver> createDirectoryObserver{nullptr};
std::atomic<void*> createDirectoryObserverContext{nullptr};

// errno to Windows error code. ENOENT is not in the table: Windows tells a
// missing name in an existing folder from a missing folder on the way.
struct ErrnoMapping {
    int error;
    DWORD code;
};
constexpr ErrnoMapping errnoMappings[] = {
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EEXIST, ERROR_ALREADY_EXISTS},
    {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EISDIR, ERROR_ACCESS_DENIED},
    {ENOSPC, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_FULL},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {EROFS, ERROR_WRITE_PROTECT},
    {EXDEV, ERROR_NOT_SAME_DEVICE},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EBUSY, ERROR_SHARING_VIOLATION},
};
// What an errno without a Windows counterpart (EIO, ELOOP, ...) reports.
constexpr DWORD unmappedErrnoCode = ERROR_ACCESS_DENIED;

bool isFolder(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

DWORD windowsErrorFromErrno(int error, const std::string& path)
{
    if (error == ENOENT)
        return isFolder(platform::parentFolderOf(path)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    for (const ErrnoMapping& mapping : errnoMappings)
        if (mapping.error == error)
            return mapping.code;
    return unmappedErrnoCode;
}

BOOL fail(DWORD code)
{
    SetLastError(code);
    return FALSE;
}

BOOL failWithErrno(int error, const std::string& path) { return fail(windowsErrorFromErrno(error, path)); }

// Windows' read-only attribute: a regular file that nobody may write to.
// Honoured even where POSIX would let root write or replace it.
bool isReadOnlyFile(const struct stat& status) { return S_ISREG(status.st_mode) && (status.st_mode & 0222) == 0; }

bool hasPathText(LPCSTR path) { return path && path[0]; }

void syncFolder(const std::string& folder)
{
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// rename() that never replaces: 0 or an errno, EEXIST when `to` exists.
// Race-free through RENAME_NOREPLACE, or link()+unlink() on file systems
// without it; a folder on a file system with neither is checked, then renamed.
int renameWithoutReplacing(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    if (link(from.c_str(), to.c_str()) == 0) {
        if (unlink(from.c_str()) == 0)
            return 0;
        int error = errno;
        unlink(to.c_str());
        return error;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK)
        return errno;
    struct stat existing;
    if (lstat(to.c_str(), &existing) == 0)
        return EEXIST;
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// MOVEFILE_REPLACE_EXISTING refuses what Windows refuses to replace: a
// folder at the new name, a read-only file there, or any name when the
// source is a folder.
DWORD replaceRefusal(const struct stat& source, const std::string& to)
{
    struct stat target;
    if (lstat(to.c_str(), &target) != 0)
        return ERROR_SUCCESS;
    if (S_ISDIR(target.st_mode) || S_ISDIR(source.st_mode) || isReadOnlyFile(target))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

DWORD renameFailureCode(int error, const std::string& from, const std::string& to)
{
    if (error == EEXIST || error == ENOTEMPTY)
        return ERROR_ALREADY_EXISTS;
    if (error == ENOENT) {
        struct stat source;
        if (lstat(from.c_str(), &source) != 0)
            return windowsErrorFromErrno(ENOENT, from);
        return ERROR_PATH_NOT_FOUND; // the new name's folder is missing
    }
    return windowsErrorFromErrno(error, to);
}

// Copies the open file `in` into `out`: 0 or an errno.
int copyContent(int in, int out)
{
    static constexpr size_t chunkSize = 1 << 17;
    std::string chunk(chunkSize, '\0');
    for (;;) {
        ssize_t got = read(in, chunk.data(), chunkSize);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        for (ssize_t written = 0; written < got;) {
            ssize_t put = write(out, chunk.data() + written, static_cast<size_t>(got - written));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return errno;
            written += put;
        }
    }
}

// Writes a complete, synced copy of `from` into a new hidden temporary file
// in `folder`, with the source's permission bits and times. Answers 0 and the
// temporary name, or an errno (and no temporary file).
int writeTemporaryCopy(const std::string& from, const struct stat& source, const std::string& folder,
                       std::string& temporary)
{
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    std::string name = folder + "/.platform-move-XXXXXX";
    int out = mkostemp(name.data(), O_CLOEXEC);
    if (out < 0) {
        int error = errno;
        close(in);
        return error;
    }
    int error = copyContent(in, out);
    close(in);
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if (!error && (fchmod(out, source.st_mode & 0777) != 0 || futimens(out, times) != 0 || fsync(out) != 0))
        error = errno;
    if (close(out) != 0 && !error)
        error = errno;
    if (error) {
        unlink(name.c_str());
        return error;
    }
    temporary = name;
    return 0;
}

// Windows' move across volumes: copy, then delete the source. The copy is
// complete and synced under a hidden name before it takes the new name, so
// the new name shows either nothing, its earlier file, or the whole copy.
BOOL moveByCopying(const std::string& from, const struct stat& source, const std::string& to, bool replace)
{
    if (!S_ISREG(source.st_mode))
        return fail(ERROR_NOT_SAME_DEVICE);
    struct stat target;
    bool targetExisted = lstat(to.c_str(), &target) == 0;
    if (targetExisted && !replace)
        return fail(ERROR_ALREADY_EXISTS);
    // The source must go at the end; refuse before copying if it cannot.
    if (access(platform::parentFolderOf(from).c_str(), W_OK | X_OK) != 0)
        return failWithErrno(errno, from);

    std::string folder = platform::parentFolderOf(to);
    std::string temporary;
    if (int error = writeTemporaryCopy(from, source, folder, temporary))
        return failWithErrno(error, to);
    int error = replace ? (rename(temporary.c_str(), to.c_str()) == 0 ? 0 : errno)
                        : renameWithoutReplacing(temporary, to);
    if (error) {
        unlink(temporary.c_str());
        return fail(renameFailureCode(error, temporary, to));
    }
    syncFolder(folder);
    if (unlink(from.c_str()) != 0) {
        error = errno;
        if (!targetExisted)
            unlink(to.c_str());
        return failWithErrno(error, from);
    }
    return TRUE;
}

} // namespace

PLATFORM_API void PlatformObserveCreateDirectory(CreateDirectoryObserver observer, void* context)
{
    createDirectoryObserverContext.store(context);
    createDirectoryObserver.store(observer);
}

PLATFORM_API BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES)
{
    CreateDirectoryObserver observer = createDirectoryObserver.load();
    if (observer && !observer(lpPathName, createDirectoryObserverContext.load()))
        return fail(ERROR_ACCESS_DENIED);
    if (!hasPathText(lpPathName))
        return fail(ERROR_PATH_NOT_FOUND);
    std::string path = platform::posixPathFromWindows(lpPathName);
    if (mkdir(path.c_str(), 0777) == 0)
        return TRUE;
    // mkdir's ENOENT always means a missing folder on the way.
    return fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : windowsErrorFromErrno(errno, path));
}

PLATFORM_API BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    if (!hasPathText(lpFileName))
        return fail(ERROR_PATH_NOT_FOUND);
    std::string path = platform::posixPathFromWindows(lpFileName);
    struct stat status;
    if (lstat(path.c_str(), &status) != 0)
        return failWithErrno(errno, path);
    if (S_ISDIR(status.st_mode) || isReadOnlyFile(status))
        return fail(ERROR_ACCESS_DENIED);
    if (unlink(path.c_str()) != 0)
        return failWithErrno(errno, path);
    return TRUE;
}

PLATFORM_API BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName)
{
    return MoveFileExA(lpExistingFileName, lpNewFileName, MOVEFILE_COPY_ALLOWED);
}

PLATFORM_API BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags)
{
    if (dwFlags & ~DWORD(MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
        return fail(ERROR_INVALID_PARAMETER);
    if (!hasPathText(lpExistingFileName) || !hasPathText(lpNewFileName))
        return fail(ERROR_PATH_NOT_FOUND);
    std::string from = platform::posixPathFromWindows(lpExistingFileName);
    std::string to = platform::posixPathFromWindows(lpNewFileName);
    bool replace = dwFlags & MOVEFILE_REPLACE_EXISTING;

    struct stat source;
    if (lstat(from.c_str(), &source) != 0)
        return failWithErrno(errno, from);
    if (replace)
        if (DWORD refusal = replaceRefusal(source, to))
            return fail(refusal);

    int error = replace ? (rename(from.c_str(), to.c_str()) == 0 ? 0 : errno) : renameWithoutReplacing(from, to);
    if (error == EXDEV) {
        if (!(dwFlags & MOVEFILE_COPY_ALLOWED))
            return fail(ERROR_NOT_SAME_DEVICE);
        return moveByCopying(from, source, to, replace);
    }
    if (error)
        return fail(renameFailureCode(error, from, to));
    if (dwFlags & MOVEFILE_WRITE_THROUGH)
        syncFolder(platform::parentFolderOf(to));
    return TRUE;
}
