#include "dicom_writer.h"

#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcuid.h>

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
