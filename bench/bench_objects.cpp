#include "bench_objects.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcuid.h>

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace bench {

namespace {

std::string freshUid(const char* root)
{
    char uid[100];
    return dcmGenerateUniqueIdentifier(uid, root);
}

void put(DcmDataset& data, const DcmTagKey& tag, const std::string& value)
{
    if (data.putAndInsertString(tag, value.c_str()).bad())
        throw std::runtime_error("cannot set an attribute of the bench object");
}

} // namespace

std::vector<BenchObject> writeObjects(const ObjectSet& set, const std::filesystem::path& folder)
{
    DcmFileFormat seed;
    if (seed.loadFile(set.seed.c_str()).bad())
        throw std::runtime_error("cannot read the seed " + set.seed.string());
    DcmDataset& data = *seed.getDataset();
    const E_TransferSyntax syntax = data.getOriginalXfer();
    if (set.pixelBytes > 0) {
        const auto side = static_cast<Uint16>(std::sqrt(static_cast<double>(set.pixelBytes) / 2.0));
        std::vector<Uint16> pixels(static_cast<std::size_t>(side) * side);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<Uint16>(i * 31);
        if (data.putAndInsertUint16(DCM_Rows, side).bad() || data.putAndInsertUint16(DCM_Columns, side).bad() ||
            data.putAndInsertUint16(DCM_BitsAllocated, 16).bad() ||
            data.putAndInsertUint16(DCM_BitsStored, 16).bad() || data.putAndInsertUint16(DCM_HighBit, 15).bad() ||
            data.putAndInsertUint16(DCM_SamplesPerPixel, 1).bad() ||
            data.putAndInsertUint16Array(DCM_PixelData, pixels.data(), static_cast<unsigned long>(pixels.size()))
                .bad())
            throw std::runtime_error("cannot replace the seed's pixel data");
    }

    std::filesystem::create_directories(folder);
    std::vector<BenchObject> objects;
    std::string study, series;
    for (int i = 0; i < set.count; ++i) {
        if (i % (set.perSeries * set.seriesPerStudy) == 0)
            study = freshUid(SITE_STUDY_UID_ROOT);
        if (i % set.perSeries == 0)
            series = freshUid(SITE_SERIES_UID_ROOT);
        BenchObject object{folder / "", study, series, freshUid(SITE_INSTANCE_UID_ROOT)};
        char name[32];
        std::snprintf(name, sizeof name, "obj-%06d.dcm", i);
        object.file = folder / name;
        put(data, DCM_StudyInstanceUID, object.study);
        put(data, DCM_SeriesInstanceUID, object.series);
        put(data, DCM_SOPInstanceUID, object.instance);
        put(data, DCM_InstanceNumber, std::to_string(i % set.perSeries + 1));
        // A fresh meta header for the new instance UID.
        seed.getMetaInfo()->clear();
        const OFCondition written = seed.saveFile(object.file.c_str(), syntax);
        if (written.bad())
            throw std::runtime_error("cannot write " + object.file.string() + ": " + written.text());
        objects.push_back(std::move(object));
    }
    return objects;
}

} // namespace bench
