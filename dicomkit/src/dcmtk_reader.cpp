// The DCMTK fallback reader; see dcmtk_reader.h.
#include "dcmtk_reader.h"

#include "dictionary.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcerror.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcvr.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include <cstring>
#include <exception>
#include <limits>
#include <new>

namespace dicomkit {

namespace {

// Values longer than this stay on disk while DCMTK parses.
constexpr Uint32 kMaxReadLength = 4096;

Vr vrOf(DcmElement& element)
{
    const char* name = DcmVR(element.getVR()).getVRName();
    if (!name || std::strlen(name) != 2)
        return kVrUN;
    return makeVr(name[0], name[1]);
}

// The values of `element` through the DCMTK getter `get` for their type.
template <typename Number>
OFCondition arrayBytes(DcmElement& element, OFCondition (DcmElement::*get)(Number*&), const void*& bytes)
{
    Number* values = nullptr;
    const OFCondition status = (element.*get)(values);
    bytes = values;
    return status;
}

// The value of a binary-number element, in little endian (the local byte
// order of every machine the component runs on).
OFCondition numberBytes(DcmElement& element, const void*& bytes)
{
    switch (element.ident()) {
    case EVR_US: case EVR_xs: case EVR_AT: case EVR_lt:
        return arrayBytes(element, &DcmElement::getUint16Array, bytes);
    case EVR_SS:
        return arrayBytes(element, &DcmElement::getSint16Array, bytes);
    case EVR_UL: case EVR_up:
        return arrayBytes(element, &DcmElement::getUint32Array, bytes);
    case EVR_SL:
        return arrayBytes(element, &DcmElement::getSint32Array, bytes);
    case EVR_FL:
        return arrayBytes(element, &DcmElement::getFloat32Array, bytes);
    case EVR_FD:
        return arrayBytes(element, &DcmElement::getFloat64Array, bytes);
    case EVR_SV:
        return arrayBytes(element, &DcmElement::getSint64Array, bytes);
    case EVR_UV:
        return arrayBytes(element, &DcmElement::getUint64Array, bytes);
    default:
        return EC_IllegalCall;
    }
}

ReadOutcome copyElements(DcmItem& item, LoadedFile& out)
{
    const unsigned long count = item.card();
    for (unsigned long i = 0; i < count; ++i) {
        DcmElement* element = item.getElement(i);
        if (!element)
            continue;
        ElementRecord record;
        const DcmTag& tag = element->getTag();
        record.tag = uint32_t(tag.getGTag()) << 16 | tag.getETag();
        record.vr = vrOf(*element);
        const Uint32 length = element->getLength();
        record.length = length == DCM_UndefinedLength ? length - 1 : length;
        const VrKind kind = kindOf(record.vr);
        const bool number = kind == VrKind::Number || record.vr == makeVr('x', 's') ||
                            record.vr == makeVr('u', 'p');
        if (kind == VrKind::Text || number) {
            const void* bytes = nullptr;
            Uint32 size = element->getLengthField();
            if (size > 0) {
                OFCondition status;
                if (kind == VrKind::Text) {
                    char* text = nullptr;
                    status = element->getString(text, size);
                    bytes = text;
                } else {
                    status = numberBytes(*element, bytes);
                }
                if (status.bad())
                    return {ReadStatus::Malformed, status.text()};
                if (!bytes)
                    size = 0;
            }
            if (out.values.size() + size > std::numeric_limits<uint32_t>::max())
                return {ReadStatus::Malformed, "values too large"};
            record.length = size;
            record.valueOffset = out.keep(bytes, size);
            record.valueKept = true;
        }
        out.elements.push_back(record);
        if (record.tag == kTagPixelData)
            break;  // as the lean reader: nothing after the pixel data
    }
    return {};
}

// Whether the file meta information, as DCMTK reads it, names a transfer
// syntax with a compressed data set. DCMTK reads the data set only after
// reading the meta information this same way without error, and then in the
// syntax it names; without meta information it never takes a data set as
// compressed. A value DCMTK failed to read may claim any length: after a
// failure nothing is looked at, and a transfer syntax longer than any UID is
// not read.
bool namesCompressedDataSet(const std::string& path)
{
    constexpr Uint32 kMaxUidLength = 64;
    DcmFileFormat meta;
    if (meta.loadFile(OFFilename(path.c_str()), EXS_Unknown, EGL_noChange, kMaxReadLength, ERM_metaOnly).bad())
        return false;
    DcmElement* element = nullptr;
    if (meta.getMetaInfo()->findAndGetElement(DCM_TransferSyntaxUID, element).bad() || !element ||
        element->getLength() > kMaxUidLength)
        return false;
    OFString uid;
    if (element->getOFString(uid, 0).bad())
        return false;
    return DcmXfer(uid.c_str()).getStreamCompression() != ESC_none;
}

ReadOutcome readAndCopy(const std::string& path, LoadedFile& out)
{
    if (namesCompressedDataSet(path))
        return {ReadStatus::Malformed, "compressed data set, which only the component's own reader inflates"};
    DcmFileFormat file;
    const OFCondition status =
        file.loadFile(OFFilename(path.c_str()), EXS_Unknown, EGL_noChange, kMaxReadLength, ERM_autoDetect);
    if (status.bad()) {
        if (status == EC_StreamNotifyClient || status == EC_EndOfStream)
            return {ReadStatus::Truncated, {}};
        return {ReadStatus::Malformed, status.text()};
    }
    if (DcmMetaInfo* meta = file.getMetaInfo()) {
        ReadOutcome outcome = copyElements(*meta, out);
        if (outcome.status != ReadStatus::Loaded)
            return outcome;
    }
    if (DcmDataset* dataSet = file.getDataset()) {
        ReadOutcome outcome = copyElements(*dataSet, out);
        if (outcome.status != ReadStatus::Loaded)
            return outcome;
    }
    out.finish();
    return {};
}

} // namespace

ReadOutcome readWithDcmtk(const std::string& path, LoadedFile& out)
{
    quietDcmtkLogging();
    out.clear();
    // DCMTK's parser can throw on malformed input (std::out_of_range from a
    // string operation while it checks a directory record's value): that is
    // a file it cannot read, not a failure of the component, and must not
    // leave the component through a COM method.
    try {
        return readAndCopy(path, out);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& error) {
        out.clear();
        return {ReadStatus::Malformed, std::string("structure DCMTK cannot parse (") + error.what() + ")"};
    }
}

} // namespace dicomkit
