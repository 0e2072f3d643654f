// The inflating window over a deflated data set; see inflated_window.h.
#include "inflated_window.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace dicomkit {

namespace {

// Bytes inflated at a time, and the amount of dropped bytes worth moving the
// held ones for.
constexpr size_t kStep = 64 * 1024;

} // namespace

InflatedWindow::InflatedWindow(int fd, uint64_t dataSetStart, uint64_t fileSize)
    : fd_(fd), inputOffset_(dataSetStart), fileSize_(fileSize)
{
    const int status = ::inflateInit2(&stream_, -MAX_WBITS);
    if (status != Z_OK) {
        state_ = State::Corrupt;
        zlibMessage_ = stream_.msg ? stream_.msg : ::zError(status);
    }
}

InflatedWindow::~InflatedWindow()
{
    ::inflateEnd(&stream_);
}

const uint8_t* InflatedWindow::bytes(uint64_t offset, size_t n, size_t /*readAhead*/)
{
    if (offset < base_) {
        state_ = State::OutOfOrder;
        return nullptr;
    }
    release(offset);
    if (!fill(offset + n))
        return nullptr;
    return held_.data() + (offset - base_);
}

bool InflatedWindow::copy(uint64_t offset, size_t n, void* destination)
{
    const uint8_t* p = bytes(offset, n);
    if (!p)
        return false;
    std::memcpy(destination, p, n);
    return true;
}

bool InflatedWindow::holds(uint64_t end)
{
    return fill(end);
}

bool InflatedWindow::skipTo(uint64_t end)
{
    while (produced() < end) {
        base_ = produced();
        held_.clear();
        if (!inflateStep())
            return false;
    }
    return true;
}

bool InflatedWindow::endsAt(uint64_t position)
{
    if (position < produced())
        return false;
    return !fill(position + 1) && state_ == State::Ended;
}

ReadOutcome InflatedWindow::failure() const
{
    switch (state_) {
    case State::Corrupt:
        return {ReadStatus::Malformed, "invalid deflated data: " + zlibMessage_};
    case State::TooLarge:
        return {ReadStatus::Malformed, "deflated data set larger than the " +
                                           std::to_string(kMaxInflatedDataSet >> 20) + " MB the component inflates"};
    case State::OutOfOrder:
        return {ReadStatus::Malformed, "deflated data set read out of order"};
    case State::ReadError:
        return {ReadStatus::IoError, std::strerror(readError_)};
    default:
        return {ReadStatus::Truncated, {}};
    }
}

bool InflatedWindow::fill(uint64_t end)
{
    while (produced() < end)
        if (!inflateStep())
            return false;
    return true;
}

bool InflatedWindow::inflateStep()
{
    if (state_ != State::Inflating)
        return false;
    if (produced() >= kMaxInflatedDataSet) {
        state_ = State::TooLarge;
        return false;
    }
    const auto step = static_cast<size_t>(std::min<uint64_t>(kStep, kMaxInflatedDataSet - produced()));
    const size_t before = held_.size();
    held_.resize(before + step);
    stream_.next_out = held_.data() + before;
    stream_.avail_out = static_cast<uInt>(step);
    while (stream_.avail_out > 0 && state_ == State::Inflating) {
        if (stream_.avail_in == 0 && !readInput())
            break;
        const int status = ::inflate(&stream_, Z_NO_FLUSH);
        if (status == Z_STREAM_END) {
            state_ = State::Ended;
        } else if (status != Z_OK && !(status == Z_BUF_ERROR && stream_.avail_in == 0)) {
            state_ = State::Corrupt;
            zlibMessage_ = stream_.msg ? stream_.msg : ::zError(status);
        }
    }
    held_.resize(before + (step - stream_.avail_out));
    return held_.size() > before;
}

bool InflatedWindow::readInput()
{
    if (inputOffset_ >= fileSize_) {
        state_ = State::InputEnded;
        return false;
    }
    const auto want = static_cast<size_t>(std::min<uint64_t>(input_.size(), fileSize_ - inputOffset_));
    for (;;) {
        const ssize_t got = ::pread(fd_, input_.data(), want, static_cast<off_t>(inputOffset_));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            readError_ = errno;
            state_ = State::ReadError;
            return false;
        }
        if (got == 0) {
            state_ = State::InputEnded;  // the file shrank under us: taken as its end
            return false;
        }
        inputOffset_ += static_cast<uint64_t>(got);
        stream_.next_in = input_.data();
        stream_.avail_in = static_cast<uInt>(got);
        return true;
    }
}

void InflatedWindow::release(uint64_t offset)
{
    const uint64_t unneeded = std::min<uint64_t>(offset - base_, held_.size());
    if (unneeded < kStep)
        return;
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(unneeded));
    base_ += unneeded;
}

} // namespace dicomkit
