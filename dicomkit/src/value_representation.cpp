// Facts about value representations; see value_representation.h.
#include "value_representation.h"

namespace dicomkit {

namespace {

constexpr Vr V(const char (&code)[3]) { return makeVr(code[0], code[1]); }

} // namespace

VrKind kindOf(Vr vr)
{
    switch (vr) {
    case V("AE"): case V("AS"): case V("CS"): case V("DA"): case V("DS"): case V("DT"):
    case V("IS"): case V("LO"): case V("LT"): case V("PN"): case V("SH"): case V("ST"):
    case V("TM"): case V("UC"): case V("UI"): case V("UR"): case V("UT"):
        return VrKind::Text;
    case V("US"): case V("SS"): case V("UL"): case V("SL"): case V("FL"): case V("FD"):
    case V("AT"): case V("SV"): case V("UV"):
        return VrKind::Number;
    case V("SQ"):
        return VrKind::Sequence;
    default:
        return VrKind::Bulk;
    }
}

bool isKnownVr(Vr vr)
{
    switch (vr) {
    case V("OB"): case V("OD"): case V("OF"): case V("OL"): case V("OV"): case V("OW"):
    case V("UN"): case V("SQ"):
        return true;
    default:
        return kindOf(vr) != VrKind::Bulk;
    }
}

bool looksLikeVr(uint8_t first, uint8_t second)
{
    return first >= 'A' && first <= 'Z' && second >= 'A' && second <= 'Z';
}

bool hasLongLengthField(Vr vr)
{
    switch (vr) {
    case V("OB"): case V("OD"): case V("OF"): case V("OL"): case V("OV"): case V("OW"):
    case V("SQ"): case V("SV"): case V("UC"): case V("UN"): case V("UR"): case V("UT"):
    case V("UV"):
        return true;
    default:
        return !isKnownVr(vr);
    }
}

bool usesSpecificCharacterSet(Vr vr)
{
    switch (vr) {
    case V("SH"): case V("LO"): case V("ST"): case V("LT"): case V("PN"): case V("UC"):
    case V("UT"):
        return true;
    default:
        return false;
    }
}

bool isMultiValuedText(Vr vr)
{
    switch (vr) {
    case V("LT"): case V("ST"): case V("UT"): case V("UR"):
        return false;
    default:
        return kindOf(vr) == VrKind::Text;
    }
}

bool hasInsignificantLeadingSpaces(Vr vr)
{
    switch (vr) {
    case V("AE"): case V("CS"): case V("DS"): case V("IS"): case V("LO"): case V("SH"):
        return true;
    default:
        return false;
    }
}

std::string vrName(Vr vr)
{
    return {static_cast<char>(vr >> 8), static_cast<char>(vr & 0xff)};
}

} // namespace dicomkit
