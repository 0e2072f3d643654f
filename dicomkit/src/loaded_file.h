// What LoadFile keeps of one DICOM file: the top-level elements of the file
// meta information and of the data set up to and including the pixel data
// header, each with its tag, VR, stored value length and (for text and binary
// numbers) its value bytes as stored.
//
// Filled by one reader, then read-only and shared (shared_ptr<const>) by the
// file object and the element objects it hands out; reading is thread-safe.
#ifndef DICOMKIT_LOADED_FILE_H
#define DICOMKIT_LOADED_FILE_H

#include "value_representation.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dicomkit {

inline constexpr uint32_t kTagSpecificCharacterSet = 0x00080005;
inline constexpr uint32_t kTagPixelRepresentation = 0x00280103;
inline constexpr uint32_t kTagPixelData = 0x7FE00010;

struct ElementRecord {
    uint32_t tag = 0;
    Vr vr = kVrImplicit;
    bool valueKept = false;  // the value's bytes are in LoadedFile::values
    bool bigEndian = false;  // binary numbers are stored big endian
    uint32_t length = 0;     // as stored; for undefined length, the bytes up to the delimiter
    uint32_t valueOffset = 0;
};

struct LoadedFile {
    std::vector<ElementRecord> elements;  // ordered by tag (stable: meta group first)
    std::string values;

    void clear()
    {
        elements.clear();
        values.clear();
    }

    // Orders the elements by tag if the file did not store them that way.
    void finish()
    {
        auto byTag = [](const ElementRecord& a, const ElementRecord& b) { return a.tag < b.tag; };
        if (!std::is_sorted(elements.begin(), elements.end(), byTag))
            std::stable_sort(elements.begin(), elements.end(), byTag);
    }

    const ElementRecord* find(uint32_t tag) const
    {
        auto it = std::lower_bound(elements.begin(), elements.end(), tag,
                                   [](const ElementRecord& e, uint32_t t) { return e.tag < t; });
        return it != elements.end() && it->tag == tag ? &*it : nullptr;
    }

    std::string_view valueOf(const ElementRecord& element) const
    {
        if (!element.valueKept)
            return {};
        return std::string_view(values).substr(element.valueOffset, element.length);
    }

    // Appends a kept value and returns its offset.
    uint32_t keep(const void* bytes, size_t length)
    {
        const auto offset = static_cast<uint32_t>(values.size());
        if (length > 0)
            values.append(static_cast<const char*>(bytes), length);
        return offset;
    }
};

} // namespace dicomkit

#endif // DICOMKIT_LOADED_FILE_H
