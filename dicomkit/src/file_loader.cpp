// Opening, reading and closing one file; see file_loader.h.
#include "file_loader.h"

#include "dcmtk_reader.h"
#include "utf8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dicomkit {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::wstring cannotRead(std::wstring_view shownPath, std::string_view reason)
{
    return L"cannot read " + std::wstring(shownPath) + L": " + widen(reason);
}

HRESULT systemFailure(int error, std::wstring_view shownPath, std::wstring& description)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        description = L"file not found: " + std::wstring(shownPath);
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case EACCES:
    case EPERM:
        description = cannotRead(shownPath, "permission denied");
        return E_ACCESSDENIED;
    case EMFILE:
    case ENFILE:
        description = cannotRead(shownPath, std::strerror(error));
        return HRESULT_FROM_WIN32(ERROR_TOO_MANY_OPEN_FILES);
    case ENOMEM:
        description = cannotRead(shownPath, std::strerror(error));
        return E_OUTOFMEMORY;
    default:
        description = cannotRead(shownPath, std::strerror(error));
        return E_FAIL;
    }
}

HRESULT readFailure(const ReadOutcome& outcome, std::wstring_view shownPath, std::wstring& description)
{
    switch (outcome.status) {
    case ReadStatus::Loaded:
        return S_OK;
    case ReadStatus::NotDicom:
        description = L"not a DICOM file: " + std::wstring(shownPath);
        return E_FAIL;
    case ReadStatus::Truncated:
        description = L"truncated DICOM file: " + std::wstring(shownPath);
        return E_FAIL;
    default:
        description = cannotRead(shownPath, outcome.reason);
        return E_FAIL;
    }
}

} // namespace

HRESULT loadDicomFile(const std::string& path, std::wstring_view shownPath, LoadedFile& out, ReadScratch& scratch,
                      std::wstring& description)
{
    ReadOutcome outcome;
    {
        // Non-blocking, so that a FIFO at the path cannot stall the caller.
        FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (file.get() < 0)
            return systemFailure(errno, shownPath, description);
        struct stat status;
        if (::fstat(file.get(), &status) != 0)
            return systemFailure(errno, shownPath, description);
        if (S_ISDIR(status.st_mode)) {
            description = cannotRead(shownPath, "it is a folder");
            return E_FAIL;
        }
        if (!S_ISREG(status.st_mode)) {
            description = cannotRead(shownPath, "not a regular file");
            return E_FAIL;
        }
        outcome = readLean(file.get(), static_cast<uint64_t>(status.st_size), out, scratch);
    }
    if (outcome.status == ReadStatus::NeedsDcmtk || outcome.status == ReadStatus::Malformed) {
        const ReadOutcome fallback = readWithDcmtk(path, out);
        if (fallback.status == ReadStatus::Loaded)
            return S_OK;
        // DCMTK's reason where the lean reader handed over; the lean
        // reader's own, more specific, where it gave up.
        if (outcome.status == ReadStatus::NeedsDcmtk || fallback.status == ReadStatus::Truncated)
            outcome = fallback;
    }
    return readFailure(outcome, shownPath, description);
}

} // namespace dicomkit
