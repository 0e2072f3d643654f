// Fuzz target: arbitrary bytes as a received file.
//
// The file is loaded through the real toolkit component and named from a
// template whose keywords cover every kind of value the component decodes
// (texts, dates, numbers as text, binary numbers of each width, values of
// either VR, bulk data), then filed under a scratch storage root by the
// module's own code. Invariants: every BSTR and COM initialisation is given
// back; a name the module takes as safe stays under the storage root; a file
// reported as filed is at its name under the root, and one not filed is
// either still where it was received or (a failed move) deleted.
#include <filesystem>
#include <string>
#include <string_view>

#include "filing/filename_builder.h"
#include "filing/template_compiler.h"
#include "filing_checks.h"
#include "fuzz_environment.h"
#include "fuzz_targets.h"

namespace fuzz {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTemplate =
    "%SOURCE_AE_TITLE%\\PatientID\\PatientName\\StudyDate.ContentTime.AcquisitionDateTime\\Modality\\"
    "StudyInstanceUID\\SeriesInstanceUID\\InstanceNumber.SliceThickness.PixelSpacing.ImagePositionPatient\\"
    "Rows.SamplesPerPixel.SmallestImagePixelValue.SimpleFrameList.ReferencePixelX0.TagAngleSecondAxis\\"
    "RecommendedDisplayFrameRateInFloat.RealWorldValueSlope.PatientAge.AccessionNumber.StudyDescription\\"
    "TransferSyntaxUID.FileMetaInformationVersion.PixelData\\%DESTINATION_AE_TITLE%.SOPInstanceUID.dcm";

struct Setup {
    filing::TemplateElements elements;
    fs::path received;
    fs::path root;
};

const Setup& setup()
{
    static const Setup prepared = [] {
        Environment& environment = Environment::get();
        Setup made;
        filing::compileTemplate(kTemplate, made.elements);
        check(made.elements.size() >= 25, "the template's keywords are known to the component's dictionary");
        made.received = environment.scratch() / "load-and-name" / "received.dcm";
        made.root = environment.scratch() / "load-and-name" / "root";
        fs::create_directories(made.root);
        return made;
    }();
    return prepared;
}

} // namespace

int loadAndNameOne(const std::uint8_t* data, std::size_t size)
{
    const Setup& prepared = setup();
    writeBytes(prepared.received, std::string_view(reinterpret_cast<const char*>(data), size));

    const ResourceCounts before = resourceCounts();
    const std::string name = filing::buildFnameFromTemplate(kTemplate, prepared.elements,
                                                            windowsPath(prepared.received), "SOURCE", "DESTINATION");
    check(resourceCounts() == before, "building a name gives back every BSTR and apartment");

    fileAndCheck(prepared.root, name, prepared.received);
    return 0;
}

} // namespace fuzz
