#include "incoming_file_stream.h"

#include <cerrno>
#include <cstring>
#include <limits>

namespace host {

IncomingFileConsumer::~IncomingFileConsumer()
{
    if (file_ != nullptr)
        std::fclose(file_);
}

offile_off_t IncomingFileConsumer::avail() const { return std::numeric_limits<int>::max(); }

offile_off_t IncomingFileConsumer::write(const void* buf, offile_off_t buflen)
{
    if (firstError_ == 0 && file_ != nullptr && buflen > 0 &&
        std::fwrite(buf, 1, static_cast<size_t>(buflen), file_) != static_cast<size_t>(buflen))
        fail(errno);
    return buflen;
}

void IncomingFileConsumer::fail(int errorNumber)
{
    if (firstError_ == 0)
        firstError_ = errorNumber != 0 ? errorNumber : EIO;
}

bool IncomingFileConsumer::close(std::string& error)
{
    if (file_ != nullptr) {
        if (std::fflush(file_) != 0)
            fail(errno);
        if (std::fclose(file_) != 0)
            fail(errno);
        file_ = nullptr;
    }
    if (firstError_ != 0)
        error = std::string("write failed: ") + std::strerror(firstError_);
    return firstError_ == 0;
}

} // namespace host
