// The component's view of DCMTK's data dictionary; see dictionary.h.
#include "dictionary.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdict.h>
#include <dcmtk/dcmdata/dcdicent.h>
#include <dcmtk/dcmdata/dctypes.h>
#include <dcmtk/dcmdata/dcvr.h>
#include <dcmtk/oflog/oflog.h>

#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

namespace dicomkit {

namespace {

constexpr std::string_view kRetiredPrefix = "RETIRED_";

// Lets the keyword map be searched with a string_view, without a copy.
struct KeywordHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

class KeywordTable {
public:
    KeywordTable()
    {
        quietDcmtkLogging();
        DcmDataDictionary& dictionary = dcmDataDict.wrlock();
        loaded_ = dictionary.isDictionaryLoaded();
        keywords_.reserve(6000);
        for (auto it = dictionary.normalBegin(); it != dictionary.normalEnd(); ++it)
            add(*it);
        for (auto it = dictionary.repeatingBegin(); it != dictionary.repeatingEnd(); ++it)
            add(*it);
        dcmDataDict.wrunlock();
    }

    bool loaded() const { return loaded_; }

    uint32_t find(std::string_view keyword) const
    {
        auto it = keywords_.find(keyword);
        return it == keywords_.end() ? 0 : it->second;
    }

private:
    void add(const DcmDictEntry* entry)
    {
        if (!entry || entry->getPrivateCreator() != nullptr || !entry->getTagName())
            return;
        // DCMTK tags its own pseudo entries (group lengths of any group,
        // private creators of any group) "GENERIC", "PRIVATE", "ILLEGAL".
        const char* version = entry->getStandardVersion();
        if (!version || std::strncmp(version, "DICOM", 5) != 0)
            return;
        std::string_view keyword = entry->getTagName();
        if (keyword.substr(0, kRetiredPrefix.size()) == kRetiredPrefix)
            keyword.remove_prefix(kRetiredPrefix.size());
        if (keyword.empty())
            return;
        const uint32_t tag = uint32_t(entry->getGroup()) << 16 | entry->getElement();
        keywords_.emplace(std::string(keyword), tag);
    }

    bool loaded_ = false;
    std::unordered_map<std::string, uint32_t, KeywordHash, std::equal_to<>> keywords_;
};

const KeywordTable& keywordTable()
{
    static const KeywordTable table;
    return table;
}

} // namespace

bool dictionaryLoaded() { return keywordTable().loaded(); }

uint32_t tagFromKeyword(std::string_view keyword) { return keywordTable().find(keyword); }

Vr dictionaryVr(uint32_t tag)
{
    quietDcmtkLogging();
    const DcmTagKey key(static_cast<Uint16>(tag >> 16), static_cast<Uint16>(tag & 0xFFFF));
    const DcmDataDictionary& dictionary = dcmDataDict.rdlock();
    const DcmDictEntry* entry = dictionary.findEntry(key, nullptr);
    Vr vr = kVrUN;
    if (entry) {
        const char* name = entry->getVR().getVRName();
        if (name && std::strlen(name) == 2)
            vr = makeVr(name[0], name[1]);
    }
    dcmDataDict.rdunlock();
    return vr;
}

void quietDcmtkLogging()
{
    static std::once_flag once;
    std::call_once(once, [] { OFLog::getLogger("dcmtk.dcmdata").setLogLevel(OFLogger::FATAL_LOG_LEVEL); });
}

} // namespace dicomkit
