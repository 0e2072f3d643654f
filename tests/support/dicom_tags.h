// DICOM tags that the tests name, as the toolkit answers them:
// (group << 16) | element.
#ifndef TESTS_SUPPORT_DICOM_TAGS_H
#define TESTS_SUPPORT_DICOM_TAGS_H

#include "toolkit/win32.h"

namespace tags {

constexpr LONG kTransferSyntaxUID = 0x00020010;
constexpr LONG kSOPInstanceUID = 0x00080018;
constexpr LONG kStudyDate = 0x00080020;
constexpr LONG kReferencedImageSequence = 0x00081140;
constexpr LONG kPatientName = 0x00100010;
constexpr LONG kPatientID = 0x00100020;
constexpr LONG kIssuerOfPatientID = 0x00100021;
constexpr LONG kStudyInstanceUID = 0x0020000D;
constexpr LONG kSeriesInstanceUID = 0x0020000E;
constexpr LONG kRows = 0x00280010;
constexpr LONG kTextValue = 0x0040A160;
constexpr LONG kEncapsulatedDocument = 0x00420011;
constexpr LONG kPixelData = 0x7FE00010;

} // namespace tags

#endif // TESTS_SUPPORT_DICOM_TAGS_H
