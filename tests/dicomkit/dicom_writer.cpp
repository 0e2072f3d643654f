#include "dicom_writer.h"

#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcuid.h>

#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

void check(const OFCondition& status, const std::string& what)
{
    if (status.bad())
        throw std::runtime_error(what + ": " + status.text());
}

void fillWithoutPixels(DcmDataset& data)
{
    check(data.putAndInsertString(DCM_SOPClassUID, UID_CTImageStorage), "SOP class");
    check(data.putAndInsertString(DCM_SOPInstanceUID, kSopInstanceUid), "SOP instance");
    check(data.putAndInsertString(DCM_PatientName, kPatientName), "patient name");
    check(data.putAndInsertString(DCM_Modality, "CT"), "modality");
    check(data.putAndInsertUint16(DCM_Rows, kRows), "rows");
    check(data.putAndInsertUint16(DCM_Columns, kColumns), "columns");
    check(data.putAndInsertUint16(DCM_BitsAllocated, 16), "bits allocated");
    check(data.putAndInsertUint16(DCM_PixelRepresentation, 0), "pixel representation");
    check(data.putAndInsertString(DCM_StudyInstanceUID, kStudyInstanceUid), "study instance");
    DcmItem* reference = nullptr;
    check(data.findOrCreateSequenceItem(DCM_ReferencedImageSequence, reference, -2), "sequence");
    check(reference->putAndInsertString(DCM_ReferencedSOPInstanceUID, "1.2.3.4"), "referenced instance");
    DcmItem* nested = nullptr;
    check(reference->findOrCreateSequenceItem(DCM_PurposeOfReferenceCodeSequence, nested, -2), "nested");
    check(nested->putAndInsertString(DCM_CodeValue, "121311"), "code value");
}

} // namespace

void fillBasicDataSet(DcmDataset& data)
{
    fillWithoutPixels(data);
    std::vector<Uint16> pixels(kRows * kColumns, 0x1234);
    check(data.putAndInsertUint16Array(DCM_PixelData, pixels.data(), static_cast<unsigned long>(pixels.size())),
          "pixel data");
}

void writeFile(DcmFileFormat& file, const std::filesystem::path& path, E_TransferSyntax syntax, bool bare,
               E_EncodingType sequences)
{
    check(file.saveFile(path.c_str(), syntax, sequences, EGL_recalcGL, EPD_noChange, 0, 0,
                        bare ? EWM_dataset : EWM_fileformat),
          "writing " + path.string());
}

void writeEncapsulated(const std::filesystem::path& path, const std::vector<std::string>& fragments)
{
    DcmFileFormat file;
    DcmDataset& data = *file.getDataset();
    fillWithoutPixels(data);
    auto* sequence = new DcmPixelSequence(DCM_PixelSequenceTag);
    sequence->insert(new DcmPixelItem(DCM_PixelItemTag));
    for (const std::string& fragment : fragments) {
        auto* item = new DcmPixelItem(DCM_PixelItemTag);
        check(item->putUint8Array(reinterpret_cast<const Uint8*>(fragment.data()),
                                  static_cast<unsigned long>(fragment.size())),
              "fragment");
        sequence->insert(item);
    }
    auto* pixelData = new DcmPixelData(DCM_PixelData);
    pixelData->putOriginalRepresentation(EXS_JPEGProcess1, nullptr, sequence);
    check(data.insert(pixelData), "pixel data");
    writeFile(file, path, EXS_JPEGProcess1);
}

void putRaw(DcmItem& item, const DcmTagKey& tag, const std::string& bytes)
{
    check(item.putAndInsertOFStringArray(tag, OFString(bytes.data(), bytes.size())), "raw value");
}

std::string readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

DeflatedParts splitDeflated(const std::string& file)
{
    // Preamble and DICM (132 bytes), then (0002,0000) UL: its 12-byte header
    // and value, the length of the rest of the meta information.
    const std::string groupLengthHeader("\x02\0\0\0UL", 6);
    if (file.size() < 144 || file.compare(128, 4, "DICM") != 0 || file.compare(132, 6, groupLengthHeader) != 0)
        throw std::runtime_error("no file meta group length");
    uint32_t groupLength = 0;
    std::memcpy(&groupLength, file.data() + 140, 4);
    const size_t metaEnd = 144 + size_t(groupLength);
    DeflatedParts parts{file.substr(0, metaEnd), {}};

    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        throw std::runtime_error("inflateInit2");
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(file.data() + metaEnd));
    stream.avail_in = static_cast<uInt>(file.size() - metaEnd);
    char chunk[64 * 1024];
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        parts.dataSet.append(chunk, sizeof chunk - stream.avail_out);
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END)
        throw std::runtime_error("inflating the data set failed");
    return parts;
}

std::string joinDeflated(const DeflatedParts& parts)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out = parts.meta;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(parts.dataSet.data()));
    stream.avail_in = static_cast<uInt>(parts.dataSet.size());
    char chunk[64 * 1024];
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        status = deflate(&stream, Z_FINISH);
        out.append(chunk, sizeof chunk - stream.avail_out);
    }
    deflateEnd(&stream);
    if (status != Z_STREAM_END)
        throw std::runtime_error("deflating the data set failed");
    return out;
}

void setLongLength(std::string& dataSet, const DcmTagKey& tag, const char* vr, uint32_t length)
{
    const uint16_t group = tag.getGroup();
    const uint16_t element = tag.getElement();
    const char header[8] = {char(group & 0xFF), char(group >> 8), char(element & 0xFF), char(element >> 8),
                            vr[0], vr[1], 0, 0};
    const size_t at = dataSet.find(std::string(header, sizeof header));
    if (at == std::string::npos)
        throw std::runtime_error("element not found in the data set");
    for (int i = 0; i < 4; ++i)
        dataSet[at + 8 + i] = static_cast<char>(length >> (8 * i) & 0xFF);
}
