// The lean reader; see lean_reader.h.
#include "lean_reader.h"

#include "dictionary.h"
#include "inflated_window.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <string_view>

namespace dicomkit {

namespace {

constexpr uint32_t kUndefinedLength = 0xFFFFFFFF;
constexpr uint32_t kTagItem = 0xFFFEE000;
constexpr uint32_t kTagItemDelimitation = 0xFFFEE00D;
constexpr uint32_t kTagSequenceDelimitation = 0xFFFEE0DD;
constexpr uint16_t kGroupFileMeta = 0x0002;
constexpr uint16_t kGroupDelimiters = 0xFFFE;

// Bytes read ahead of what the parser asks for: enough for the whole header
// of a typical image in one read.
constexpr size_t kReadAhead = 16 * 1024;
// Read ahead while stepping from fragment to fragment of pixel data.
constexpr size_t kFragmentReadAhead = 64;
// Values of implicit VR elements up to this size are kept without asking the
// dictionary whether they are bulk data.
constexpr uint32_t kKeepUnlookedUpTo = 64 * 1024;
// Nesting depth of sequences beyond which a file is taken as malformed.
constexpr int kMaxDepth = 64;

constexpr std::string_view kUidImplicitLittleEndian = "1.2.840.10008.1.2";
constexpr std::string_view kUidExplicitBigEndian = "1.2.840.10008.1.2.2";
constexpr std::string_view kUidDeflated = "1.2.840.10008.1.2.1.99";
constexpr std::string_view kUidJpipReferencedDeflate = "1.2.840.10008.1.2.4.95";

struct Syntax {
    bool explicitVr = true;
    bool bigEndian = false;
};

constexpr Syntax kExplicitLittle{true, false};
constexpr Syntax kImplicitLittle{false, false};

uint16_t u16(const uint8_t* p, bool bigEndian)
{
    return bigEndian ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

uint32_t u32(const uint8_t* p, bool bigEndian)
{
    return bigEndian ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                     : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
}

std::string tagText(uint32_t tag)
{
    char text[16];
    std::snprintf(text, sizeof text, "(%04X,%04X)", tag >> 16, tag & 0xFFFF);
    return text;
}

// A view of the file through one buffer, refilled by pread where the parser
// moves outside it.
class FileWindow {
public:
    FileWindow(int fd, uint64_t size, std::vector<uint8_t>& buffer) : fd_(fd), size_(size), buffer_(buffer) {}

    int fd() const { return fd_; }
    uint64_t size() const { return size_; }
    int lastError() const { return lastError_; }

    // Whether the file holds at least `end` bytes (for a value about to be
    // read, or one stepped over).
    bool holds(uint64_t end) const { return end <= size_; }
    bool skipTo(uint64_t end) const { return end <= size_; }
    bool endsAt(uint64_t position) const { return position >= size_; }

    // Why the last request could not be met.
    ReadOutcome failure() const
    {
        if (lastError_ != 0)
            return {ReadStatus::IoError, std::strerror(lastError_)};
        return {ReadStatus::Truncated, {}};
    }

    // The `n` bytes at `offset`, or nullptr when the file ends before them
    // (or a read fails: lastError() then is the errno).
    const uint8_t* bytes(uint64_t offset, size_t n, size_t readAhead = kReadAhead)
    {
        if (offset >= start_ && offset + n <= start_ + length_)
            return buffer_.data() + (offset - start_);
        if (offset > size_ || n > size_ - offset)
            return nullptr;
        size_t want = std::max(n, readAhead);
        want = static_cast<size_t>(std::min<uint64_t>(want, size_ - offset));
        if (buffer_.size() < want)
            buffer_.resize(want);
        if (!readAt(offset, want, buffer_.data())) {
            length_ = 0;
            return nullptr;
        }
        start_ = offset;
        length_ = want;
        return buffer_.data();
    }

    // Copies `n` bytes at `offset` to `destination`, reading past the window.
    bool copy(uint64_t offset, size_t n, void* destination)
    {
        if (offset >= start_ && offset + n <= start_ + length_) {
            std::memcpy(destination, buffer_.data() + (offset - start_), n);
            return true;
        }
        if (n <= kReadAhead) {
            const uint8_t* p = bytes(offset, n);
            if (!p)
                return false;
            std::memcpy(destination, p, n);
            return true;
        }
        return readAt(offset, n, destination);
    }

private:
    bool readAt(uint64_t offset, size_t n, void* destination)
    {
        auto* out = static_cast<uint8_t*>(destination);
        while (n > 0) {
            const ssize_t got = ::pread(fd_, out, n, static_cast<off_t>(offset));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                lastError_ = errno;
                return false;
            }
            if (got == 0)
                return false;  // the file shrank under us: treated as its end
            out += got;
            offset += static_cast<uint64_t>(got);
            n -= static_cast<size_t>(got);
        }
        return true;
    }

    int fd_;
    uint64_t size_;
    std::vector<uint8_t>& buffer_;
    uint64_t start_ = 0;
    size_t length_ = 0;
    int lastError_ = 0;
};

struct Header {
    uint32_t tag = 0;
    Vr vr = kVrImplicit;
    uint32_t length = 0;
    uint64_t valueStart = 0;
};

// The elements of a data set, read through a Window: the file itself
// (FileWindow) or the inflated bytes of a deflated data set
// (InflatedWindow). Every stored length is checked against the bytes the
// window holds before anything is read or kept for it.
template <class Window>
class DataSetParser {
public:
    DataSetParser(Window& window, LoadedFile& out) : window_(window), out_(out) {}

    // The top-level elements of the data set from `position` on, up to and
    // including the pixel data header.
    ReadOutcome readDataSet(uint64_t position, Syntax syntax)
    {
        while (!window_.endsAt(position)) {
            Header header;
            ReadOutcome outcome = readHeader(position, syntax, header);
            if (outcome.status != ReadStatus::Loaded)
                return outcome;
            if (header.tag >> 16 == kGroupDelimiters) {
                // A stray sequence delimiter after the data set is tolerated.
                if (header.tag == kTagSequenceDelimitation && header.length == 0) {
                    position = header.valueStart;
                    continue;
                }
                return malformed("item " + tagText(header.tag) + " outside a sequence");
            }
            if (header.tag == kTagPixelData)
                return addPixelData(header, syntax);
            if (header.length == kUndefinedLength) {
                uint64_t end = 0;
                outcome = skipSequence(header.valueStart, contentSyntax(header, syntax), 0, end);
                if (outcome.status != ReadStatus::Loaded)
                    return outcome;
                addUnkept(header, syntax, end);
                position = end;
                continue;
            }
            outcome = addDefinedLength(header, syntax, shouldKeep(header, syntax));
            if (outcome.status != ReadStatus::Loaded)
                return outcome;
            position = header.valueStart + header.length;
        }
        return {};
    }

protected:
    static ReadOutcome malformed(std::string reason) { return {ReadStatus::Malformed, std::move(reason)}; }

    // Reads the element header at `position` in `syntax`. Items and
    // delimiters carry no VR in any syntax.
    ReadOutcome readHeader(uint64_t position, Syntax syntax, Header& header)
    {
        const uint8_t* p = window_.bytes(position, 8);
        if (!p)
            return window_.failure();
        const uint16_t group = u16(p, syntax.bigEndian);
        header.tag = uint32_t(group) << 16 | u16(p + 2, syntax.bigEndian);
        if (!syntax.explicitVr || group == kGroupDelimiters) {
            header.vr = kVrImplicit;
            header.length = u32(p + 4, syntax.bigEndian);
            header.valueStart = position + 8;
            return {};
        }
        if (!looksLikeVr(p[4], p[5]))
            return malformed("invalid value representation in element " + tagText(header.tag));
        header.vr = makeVr(static_cast<char>(p[4]), static_cast<char>(p[5]));
        if (!hasLongLengthField(header.vr)) {
            header.length = u16(p + 6, syntax.bigEndian);
            header.valueStart = position + 8;
            return {};
        }
        p = window_.bytes(position, 12);
        if (!p)
            return window_.failure();
        header.length = u32(p + 8, syntax.bigEndian);
        header.valueStart = position + 12;
        return {};
    }

    ReadOutcome addDefinedLength(const Header& header, Syntax syntax, bool keep)
    {
        const uint64_t end = header.valueStart + header.length;
        if (!(keep ? window_.holds(end) : window_.skipTo(end)))
            return window_.failure();
        ElementRecord record;
        record.tag = header.tag;
        record.vr = header.vr;
        record.bigEndian = syntax.bigEndian;
        record.length = header.length;
        if (keep) {
            if (out_.values.size() + header.length > std::numeric_limits<uint32_t>::max())
                return malformed("values too large");
            record.valueOffset = static_cast<uint32_t>(out_.values.size());
            if (header.length <= kReadAhead) {
                const uint8_t* value = window_.bytes(header.valueStart, header.length);
                if (!value)
                    return window_.failure();
                out_.values.append(reinterpret_cast<const char*>(value), header.length);
            } else {
                out_.values.resize(out_.values.size() + header.length);
                if (!window_.copy(header.valueStart, header.length, out_.values.data() + record.valueOffset))
                    return window_.failure();
            }
            record.valueKept = true;
        }
        out_.elements.push_back(record);
        return {};
    }

    Window& window_;
    LoadedFile& out_;

private:
    // The encoding inside an undefined-length value: a UN value holds
    // implicit VR little endian data.
    static Syntax contentSyntax(const Header& header, Syntax syntax)
    {
        return header.vr == kVrUN ? kImplicitLittle : syntax;
    }

    bool shouldKeep(const Header& header, Syntax syntax) const
    {
        if (syntax.explicitVr) {
            const VrKind kind = kindOf(header.vr);
            return kind == VrKind::Text || kind == VrKind::Number;
        }
        if (header.length <= kKeepUnlookedUpTo)
            return true;
        const Vr vr = dictionaryVr(header.tag);
        const VrKind kind = kindOf(vr);
        return kind == VrKind::Text || kind == VrKind::Number || vr == makeVr('x', 's') ||
               vr == makeVr('u', 'p');
    }

    void addUnkept(const Header& header, Syntax syntax, uint64_t end)
    {
        ElementRecord record;
        record.tag = header.tag;
        // An implicit VR element of undefined length can only be a sequence.
        record.vr = header.vr == kVrImplicit ? kVrSQ : header.vr;
        record.bigEndian = syntax.bigEndian;
        // The content up to (not including) the sequence delimitation item.
        const uint64_t content = end - 8 - header.valueStart;
        record.length = static_cast<uint32_t>(std::min<uint64_t>(content, kUndefinedLength - 1));
        out_.elements.push_back(record);
    }

    ReadOutcome addPixelData(const Header& header, Syntax syntax)
    {
        if (header.length != kUndefinedLength) {
            if (!window_.skipTo(header.valueStart + header.length))
                return window_.failure();
            ElementRecord record;
            record.tag = header.tag;
            record.vr = header.vr;
            record.bigEndian = syntax.bigEndian;
            record.length = header.length;
            out_.elements.push_back(record);
            return {};
        }
        uint64_t end = 0;
        ReadOutcome outcome = skipFragments(header.valueStart, syntax, end);
        if (outcome.status != ReadStatus::Loaded)
            return outcome;
        addUnkept(header, syntax, end);
        return {};
    }

    // Steps over encapsulated pixel data: items of defined length up to the
    // sequence delimiter. `end` is the offset after the delimiter.
    ReadOutcome skipFragments(uint64_t position, Syntax syntax, uint64_t& end)
    {
        for (;;) {
            const uint8_t* p = window_.bytes(position, 8, kFragmentReadAhead);
            if (!p)
                return window_.failure();
            const uint32_t tag = uint32_t(u16(p, syntax.bigEndian)) << 16 | u16(p + 2, syntax.bigEndian);
            const uint32_t length = u32(p + 4, syntax.bigEndian);
            position += 8;
            if (tag == kTagSequenceDelimitation) {
                end = position;
                return {};
            }
            if (tag != kTagItem || length == kUndefinedLength)
                return malformed("invalid pixel data fragment " + tagText(tag));
            position += length;
            if (!window_.skipTo(position))
                return window_.failure();
        }
    }

    // Steps over the items of an undefined-length sequence starting at
    // `position`. `end` is the offset after its sequence delimiter.
    ReadOutcome skipSequence(uint64_t position, Syntax syntax, int depth, uint64_t& end)
    {
        if (depth > kMaxDepth)
            return malformed("sequences nested too deeply");
        for (;;) {
            const uint8_t* p = window_.bytes(position, 8);
            if (!p)
                return window_.failure();
            const uint32_t tag = uint32_t(u16(p, syntax.bigEndian)) << 16 | u16(p + 2, syntax.bigEndian);
            const uint32_t length = u32(p + 4, syntax.bigEndian);
            position += 8;
            if (tag == kTagSequenceDelimitation) {
                end = position;
                return {};
            }
            if (tag != kTagItem)
                return malformed("unexpected element " + tagText(tag) + " in a sequence");
            if (length != kUndefinedLength) {
                position += length;
                if (!window_.skipTo(position))
                    return window_.failure();
                continue;
            }
            ReadOutcome outcome = skipItem(position, syntax, depth + 1, position);
            if (outcome.status != ReadStatus::Loaded)
                return outcome;
        }
    }

    // Steps over the elements of an undefined-length item starting at
    // `position`. `end` is the offset after its item delimiter.
    ReadOutcome skipItem(uint64_t position, Syntax syntax, int depth, uint64_t& end)
    {
        for (;;) {
            Header header;
            ReadOutcome outcome = readHeader(position, syntax, header);
            if (outcome.status != ReadStatus::Loaded)
                return outcome;
            if (header.tag == kTagItemDelimitation) {
                end = header.valueStart;
                return {};
            }
            if (header.length == kUndefinedLength) {
                outcome = skipSequence(header.valueStart, contentSyntax(header, syntax), depth, position);
                if (outcome.status != ReadStatus::Loaded)
                    return outcome;
                continue;
            }
            position = header.valueStart + header.length;
            if (!window_.skipTo(position))
                return window_.failure();
        }
    }
};

// A whole file: preamble and file meta information, then its data set in
// the transfer syntax they name (or one worked out from its first element).
class FileParser : public DataSetParser<FileWindow> {
public:
    using DataSetParser::DataSetParser;

    ReadOutcome run()
    {
        out_.clear();
        const uint64_t size = window_.size();
        uint64_t position = 0;
        bool partTen = false;
        std::string_view transferSyntax;
        if (size >= 132) {
            const uint8_t* head = window_.bytes(0, 132);
            if (!head)
                return window_.failure();
            partTen = std::memcmp(head + 128, "DICM", 4) == 0;
        }
        Syntax syntax;
        if (partTen) {
            position = 132;
            ReadOutcome meta = readMeta(position, transferSyntax);
            if (meta.status != ReadStatus::Loaded)
                return meta;
        }
        if (position == size)
            return partTen ? finish() : ReadOutcome{ReadStatus::NotDicom, {}};
        if (!transferSyntax.empty()) {
            if (transferSyntax == kUidDeflated || transferSyntax == kUidJpipReferencedDeflate)
                return readDeflated(position);
            if (transferSyntax == kUidImplicitLittleEndian)
                syntax = kImplicitLittle;
            else if (transferSyntax == kUidExplicitBigEndian)
                syntax = Syntax{true, true};
            else
                syntax = kExplicitLittle;
        } else {
            ReadOutcome detected = detect(position, partTen, syntax);
            if (detected.status != ReadStatus::Loaded)
                return detected;
        }
        ReadOutcome body = readDataSet(position, syntax);
        if (body.status != ReadStatus::Loaded)
            return body;
        return finish();
    }

private:
    ReadOutcome finish()
    {
        out_.finish();
        return {};
    }

    // A deflated data set from `position` on: explicit VR little endian once
    // inflated.
    ReadOutcome readDeflated(uint64_t position)
    {
        InflatedWindow inflated(window_.fd(), position, window_.size());
        ReadOutcome body = DataSetParser<InflatedWindow>(inflated, out_).readDataSet(0, kExplicitLittle);
        if (body.status != ReadStatus::Loaded)
            return body;
        return finish();
    }

    // The file meta information: explicit VR little endian elements of group
    // 0002 from `position` on.
    ReadOutcome readMeta(uint64_t& position, std::string_view& transferSyntax)
    {
        uint32_t transferSyntaxIndex = kUndefinedLength;
        while (position < window_.size()) {
            const uint8_t* p = window_.bytes(position, 2);
            if (!p)
                return window_.failure();
            if (u16(p, false) != kGroupFileMeta)
                break;
            Header header;
            ReadOutcome outcome = readHeader(position, kExplicitLittle, header);
            if (outcome.status != ReadStatus::Loaded)
                return outcome;
            if (header.length == kUndefinedLength)
                return malformed("undefined length in the file meta information");
            outcome = addDefinedLength(header, kExplicitLittle, /*keep=*/true);
            if (outcome.status != ReadStatus::Loaded)
                return outcome;
            if (header.tag == 0x00020010)
                transferSyntaxIndex = static_cast<uint32_t>(out_.elements.size() - 1);
            position = header.valueStart + header.length;
        }
        if (transferSyntaxIndex != kUndefinedLength) {
            std::string_view uid = out_.valueOf(out_.elements[transferSyntaxIndex]);
            while (!uid.empty() && (uid.back() == '\0' || uid.back() == ' '))
                uid.remove_suffix(1);
            transferSyntax = uid;
        }
        return {};
    }

    // Works out the encoding of a data set without a transfer syntax from its
    // first element; for a file without a preamble this also decides whether
    // it is DICOM at all: an even group up to that of the pixel data, a VR
    // (or none), a length that fits the file.
    ReadOutcome detect(uint64_t position, bool partTen, Syntax& syntax)
    {
        const uint64_t remaining = window_.size() - position;
        const uint8_t* p = remaining >= 8 ? window_.bytes(position, 8) : nullptr;
        if (!p) {
            if (window_.lastError() != 0)
                return window_.failure();
            return {partTen ? ReadStatus::Truncated : ReadStatus::NotDicom, {}};
        }
        const uint16_t groupLittle = u16(p, false);
        const uint16_t groupBig = u16(p, true);
        const bool bigEndian = groupBig < groupLittle;
        const bool explicitVr =
            looksLikeVr(p[4], p[5]) && isKnownVr(makeVr(static_cast<char>(p[4]), static_cast<char>(p[5])));
        syntax = Syntax{explicitVr, bigEndian};
        if (!partTen) {
            const uint16_t group = bigEndian ? groupBig : groupLittle;
            Header header;
            const bool plausible = group >= 0x0002 && group <= 0x7FE0 && group % 2 == 0 &&
                                   readHeader(position, syntax, header).status == ReadStatus::Loaded &&
                                   (header.length == kUndefinedLength ||
                                    header.valueStart + header.length <= window_.size());
            if (!plausible)
                return {ReadStatus::NotDicom, {}};
        }
        if (!explicitVr && bigEndian)
            return {ReadStatus::NeedsDcmtk, "implicit VR big endian"};
        return {};
    }
};

} // namespace

ReadOutcome readLean(int fd, uint64_t fileSize, LoadedFile& out, ReadScratch& scratch)
{
    FileWindow window(fd, fileSize, scratch.window);
    return FileParser(window, out).run();
}

} // namespace dicomkit
