#include "dicom_objects.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcrleerg.h>
#include <dcmtk/dcmdata/dcuid.h>

#include <mutex>
#include <stdexcept>
#include <vector>

std::string freshUid()
{
    char uid[100];
    return dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT);
}

ObjectSpec freshObject()
{
    ObjectSpec spec;
    spec.studyUid = freshUid();
    spec.seriesUid = freshUid();
    spec.sopUid = freshUid();
    return spec;
}

void writeObject(const std::filesystem::path& file, const ObjectSpec& spec)
{
    static std::once_flag codecs;
    std::call_once(codecs, [] { DcmRLEEncoderRegistration::registerCodecs(); });

    DcmFileFormat format;
    DcmDataset* data = format.getDataset();
    const unsigned short columns = 16;
    std::vector<Uint16> pixels(static_cast<size_t>(spec.rows) * columns);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<Uint16>(i * 7);

    bool ok = data->putAndInsertString(DCM_SOPClassUID, UID_CTImageStorage).good() &&
              data->putAndInsertString(DCM_SOPInstanceUID, spec.sopUid.c_str()).good() &&
              data->putAndInsertString(DCM_StudyInstanceUID, spec.studyUid.c_str()).good() &&
              data->putAndInsertString(DCM_SeriesInstanceUID, spec.seriesUid.c_str()).good() &&
              data->putAndInsertString(DCM_PatientID, spec.patientId.c_str()).good() &&
              data->putAndInsertString(DCM_PatientName, "Host^Test").good() &&
              data->putAndInsertString(DCM_Modality, "CT").good() &&
              data->putAndInsertUint16(DCM_SamplesPerPixel, 1).good() &&
              data->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2").good() &&
              data->putAndInsertUint16(DCM_Rows, spec.rows).good() &&
              data->putAndInsertUint16(DCM_Columns, columns).good() &&
              data->putAndInsertUint16(DCM_BitsAllocated, 16).good() &&
              data->putAndInsertUint16(DCM_BitsStored, 16).good() &&
              data->putAndInsertUint16(DCM_HighBit, 15).good() &&
              data->putAndInsertUint16(DCM_PixelRepresentation, 0).good() &&
              data->putAndInsertUint16Array(DCM_PixelData, pixels.data(), static_cast<unsigned long>(pixels.size()))
                  .good();
    if (!ok)
        throw std::runtime_error("cannot build the test object");
    if (DcmXfer(spec.transferSyntax).isEncapsulated() &&
        data->chooseRepresentation(spec.transferSyntax, nullptr).bad())
        throw std::runtime_error("cannot encode the test object");
    OFCondition cond = format.saveFile(file.c_str(), spec.transferSyntax);
    if (cond.bad())
        throw std::runtime_error("cannot write " + file.string() + ": " + cond.text());
}

std::string readAttribute(const std::filesystem::path& file, const DcmTagKey& tag)
{
    DcmFileFormat format;
    if (format.loadFile(file.c_str()).bad())
        return std::string();
    OFString value;
    DcmItem* item = tag.getGroup() == 0x0002 ? static_cast<DcmItem*>(format.getMetaInfo()) : format.getDataset();
    if (item->findAndGetOFString(tag, value).bad())
        return std::string();
    return value.c_str();
}
