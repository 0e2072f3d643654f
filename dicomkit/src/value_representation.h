// Value representations as the component handles them: a two-letter code
// packed into 16 bits, and the few facts about each that reading and value
// conversion need. Pure functions; thread-safe.
#ifndef DICOMKIT_VALUE_REPRESENTATION_H
#define DICOMKIT_VALUE_REPRESENTATION_H

#include <cstdint>

namespace dicomkit {

using Vr = uint16_t;

constexpr Vr makeVr(char first, char second)
{
    return static_cast<Vr>((static_cast<uint8_t>(first) << 8) | static_cast<uint8_t>(second));
}

// Not yet known: an element of an implicit VR data set, whose VR comes from
// the data dictionary when its value is asked for.
inline constexpr Vr kVrImplicit = 0;
inline constexpr Vr kVrSQ = makeVr('S', 'Q');
inline constexpr Vr kVrUN = makeVr('U', 'N');
inline constexpr Vr kVrUS = makeVr('U', 'S');
inline constexpr Vr kVrSS = makeVr('S', 'S');
inline constexpr Vr kVrUL = makeVr('U', 'L');
inline constexpr Vr kVrSL = makeVr('S', 'L');
inline constexpr Vr kVrFL = makeVr('F', 'L');
inline constexpr Vr kVrFD = makeVr('F', 'D');
inline constexpr Vr kVrAT = makeVr('A', 'T');
inline constexpr Vr kVrSV = makeVr('S', 'V');
inline constexpr Vr kVrUV = makeVr('U', 'V');

// How a value is presented.
enum class VrKind {
    Text,      // character string: AE AS CS DA DS DT IS LO LT PN SH ST TM UC UI UR UT
    Number,    // binary numbers: US SS UL SL FL FD AT SV UV
    Sequence,  // SQ
    Bulk,      // OB OD OF OL OV OW UN and anything unknown
};

VrKind kindOf(Vr vr);

// One of the VRs the standard defines (for telling explicit VR data from
// implicit VR data).
bool isKnownVr(Vr vr);

// Two upper-case letters: what an explicit VR field may hold at all.
bool looksLikeVr(uint8_t first, uint8_t second);

// In explicit VR encoding: a 2-byte reserved field and a 4-byte length
// follow the VR (OB OD OF OL OV OW SQ SV UC UN UR UT UV, and any VR the
// component does not know), instead of a 2-byte length.
bool hasLongLengthField(Vr vr);

// Text whose bytes follow the data set's Specific Character Set: SH LO ST LT
// PN UC UT. Other text VRs use the default repertoire.
bool usesSpecificCharacterSet(Vr vr);

// Text in which a backslash separates values (every text VR but LT ST UT UR).
bool isMultiValuedText(Vr vr);

// Text VRs whose leading spaces are insignificant and removed: AE CS DS IS LO SH.
bool hasInsignificantLeadingSpaces(Vr vr);

} // namespace dicomkit

#endif // DICOMKIT_VALUE_REPRESENTATION_H
