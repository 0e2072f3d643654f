// DICOM files for the tests, written by DCMTK: a small CT-like data set in any
// transfer syntax, with or without file meta information, encapsulated pixel
// data from given fragments, raw byte helpers for cutting files short, and
// zlib helpers for changing what a deflated file holds.
#ifndef TESTS_DICOMKIT_DICOM_WRITER_H
#define TESTS_DICOMKIT_DICOM_WRITER_H

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// What fillBasicDataSet puts in.
inline constexpr const char* kPatientName = "Doe^Jane";
inline constexpr const char* kSopInstanceUid = "1.2.826.0.1.3680043.2.1143.1.1";
inline constexpr unsigned kRows = 4;
inline constexpr unsigned kColumns = 6;
inline constexpr const char* kStudyInstanceUid = "1.2.826.0.1.3680043.2.1143.2.2";

// SOP class and instance, Doe^Jane, Modality, a Referenced Image Sequence
// holding a nested sequence, Study Instance UID after it, Rows x Columns of
// 16-bit native pixel data (value length Rows * Columns * 2).
void fillBasicDataSet(DcmDataset& data);

// Writes `file` in `syntax`; `bare` leaves out the preamble and meta header;
// `sequences` says how sequences and items give their lengths.
void writeFile(DcmFileFormat& file, const std::filesystem::path& path, E_TransferSyntax syntax, bool bare = false,
               E_EncodingType sequences = EET_ExplicitLength);

// A basic data set (without native pixel data) whose pixel data are the
// given fragments after an empty offset table, as JPEG baseline.
void writeEncapsulated(const std::filesystem::path& path, const std::vector<std::string>& fragments);

// Puts `bytes` as the value of `tag`, exactly (no character conversion).
void putRaw(DcmItem& item, const DcmTagKey& tag, const std::string& bytes);

std::string readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::string& bytes);

// A Part 10 file with a deflated data set, taken apart: its bytes up to the
// end of the file meta information, and its data set inflated (explicit VR
// little endian), for a test to change before putting them together again.
struct DeflatedParts {
    std::string meta;
    std::string dataSet;
};
DeflatedParts splitDeflated(const std::string& file);
std::string joinDeflated(const DeflatedParts& parts);

// Overwrites the 32-bit value length of the first element `tag` with VR `vr`
// (one with a 32-bit length field) in explicit VR little endian `dataSet`.
void setLongLength(std::string& dataSet, const DcmTagKey& tag, const char* vr, uint32_t length);

#endif // TESTS_DICOMKIT_DICOM_WRITER_H
