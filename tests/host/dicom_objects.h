// Small DICOM objects made with DCMTK for the end-to-end tests: a CT image
// with fresh UIDs, written as a file in a chosen transfer syntax.
#ifndef TESTS_HOST_DICOM_OBJECTS_H
#define TESTS_HOST_DICOM_OBJECTS_H

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctagkey.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include <filesystem>
#include <string>

struct ObjectSpec {
    std::string patientId = "HOST-TEST";
    std::string studyUid;
    std::string seriesUid;
    std::string sopUid;
    E_TransferSyntax transferSyntax = EXS_LittleEndianExplicit;
    unsigned short rows = 16; // pixel data is rows * 16 * 2 bytes
};

std::string freshUid();
// A spec with fresh study, series and instance UIDs.
ObjectSpec freshObject();

void writeObject(const std::filesystem::path& file, const ObjectSpec& spec);

// A top-level attribute of a DICOM file, or of its meta header for group 2;
// empty when absent or unreadable.
std::string readAttribute(const std::filesystem::path& file, const DcmTagKey& tag);

#endif // TESTS_HOST_DICOM_OBJECTS_H
