// The output stream that a received data set is written through.
//
// It appends to an open file and reports success to its writer whatever the
// disk does, keeping the first failure for its owner to ask after. DCMTK's
// receive loop gives up on a data set at the first failed write and then
// waits for data that never comes, losing the association; with this stream
// the data set is always read to its end, so the host can answer the request
// with a failure status and the association goes on. Not thread-safe.
#ifndef HOST_INCOMING_FILE_STREAM_H
#define HOST_INCOMING_FILE_STREAM_H

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcostrma.h>

#include <cstdio>
#include <string>

namespace host {

class IncomingFileConsumer : public DcmConsumer {
public:
    explicit IncomingFileConsumer(std::FILE* file) : file_(file) {}
    ~IncomingFileConsumer() override;

    OFBool good() const override { return OFTrue; }
    OFCondition status() const override { return EC_Normal; }
    OFBool isFlushed() const override { return OFTrue; }
    offile_off_t avail() const override;
    offile_off_t write(const void* buf, offile_off_t buflen) override;
    void flush() override {}

    // Flushes and closes the file; false (with `error` set) when any write,
    // the flush or the close failed.
    bool close(std::string& error);

private:
    void fail(int errorNumber);

    std::FILE* file_;
    int firstError_ = 0;
};

// Owns its consumer, which must exist before the stream's base does.
class IncomingFileStream : private IncomingFileConsumer, public DcmOutputStream {
public:
    // Takes ownership of `file`, opened for appending.
    explicit IncomingFileStream(std::FILE* file) : IncomingFileConsumer(file), DcmOutputStream(consumer()) {}

    using IncomingFileConsumer::close;

private:
    DcmConsumer* consumer() { return this; }
};

} // namespace host

#endif // HOST_INCOMING_FILE_STREAM_H
