// A forward-only view of a deflated data set for the lean reader: the bytes
// of the file from the end of its file meta information on, inflated with
// zlib (raw deflate) as the reader asks for them.
//
// Offsets count inflated bytes from the start of the data set. The reader
// asks for them in non-decreasing order; bytes before the last offset asked
// for are dropped, and values stepped over (skipTo) are inflated and
// discarded, so what is held is about one 64 KB step plus the largest value
// kept. No more than kMaxInflatedDataSet bytes are inflated in all: reading
// stops there (TooLarge) rather than following lengths further. Nothing is
// ever allocated for a length before its bytes have been inflated.
//
// Not thread-safe; one window per load.
#ifndef DICOMKIT_INFLATED_WINDOW_H
#define DICOMKIT_INFLATED_WINDOW_H

#include "read_outcome.h"

#include <zlib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dicomkit {

inline constexpr uint64_t kMaxInflatedDataSet = 64ull * 1024 * 1024;

class InflatedWindow {
public:
    // Inflates the file `fd` of `fileSize` bytes from offset `dataSetStart`.
    InflatedWindow(int fd, uint64_t dataSetStart, uint64_t fileSize);
    ~InflatedWindow();
    InflatedWindow(const InflatedWindow&) = delete;
    InflatedWindow& operator=(const InflatedWindow&) = delete;

    // The `n` inflated bytes at `offset`, or nullptr when the data set ends
    // before them or inflating fails (failure() says which). `readAhead` is
    // accepted for the file window's signature and not needed here.
    const uint8_t* bytes(uint64_t offset, size_t n, size_t readAhead = 0);
    bool copy(uint64_t offset, size_t n, void* destination);
    // Whether the data set holds at least `end` bytes; keeps the bytes from
    // the last offset asked for, for a value about to be read.
    bool holds(uint64_t end);
    // Like holds, for a value the reader steps over: nothing before `end`
    // is asked for again.
    bool skipTo(uint64_t end);
    // Whether the data set ends exactly at `position` (and not because
    // inflating failed or the file was cut inside the compressed data).
    bool endsAt(uint64_t position);
    // Why the last request could not be met.
    ReadOutcome failure() const;

private:
    enum class State { Inflating, Ended, InputEnded, Corrupt, TooLarge, OutOfOrder, ReadError };

    // Inflates until the bytes up to `end` are held; false if they cannot be.
    bool fill(uint64_t end);
    // Inflates one step onto the held bytes; false when nothing more comes.
    bool inflateStep();
    bool readInput();
    // Drops the held bytes before `offset` once they amount to a step.
    void release(uint64_t offset);
    uint64_t produced() const { return base_ + held_.size(); }

    int fd_;
    uint64_t inputOffset_;
    uint64_t fileSize_;
    z_stream stream_{};
    State state_ = State::Inflating;
    int readError_ = 0;
    std::string zlibMessage_;
    std::vector<uint8_t> held_;  // inflated bytes [base_, base_ + held_.size())
    uint64_t base_ = 0;
    std::array<uint8_t, 16 * 1024> input_{};
};

} // namespace dicomkit

#endif // DICOMKIT_INFLATED_WINDOW_H
