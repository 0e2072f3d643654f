// The component's view of DCMTK's data dictionary (dcmDataDict, loaded from
// the dictionary file DCMTK finds by its default path or DCMDICTPATH).
//
// Keywords: every public entry's keyword (retired ones without DCMTK's
// "RETIRED_" prefix, as the standard names them), matched exactly; a
// repeating-group or ranged entry maps to the first tag of its range.
// Private, generic and illegal entries have no keyword here.
//
// Built on first use, then read-only: thread-safe.
#ifndef DICOMKIT_DICTIONARY_H
#define DICOMKIT_DICTIONARY_H

#include "value_representation.h"

#include <cstdint>
#include <string_view>

namespace dicomkit {

// Whether DCMTK could load a data dictionary at all.
bool dictionaryLoaded();

// The tag of a keyword as (group << 16) | element, or 0 for a word that is no
// keyword.
uint32_t tagFromKeyword(std::string_view keyword);

// The VR the dictionary gives `tag` (public entries, private creator
// elements and group lengths). DCMTK's lower-case pseudo VRs come back as
// they are ("xs" for US or SS, "ox", "lt", "up", ...); a tag the dictionary
// does not know is UN.
Vr dictionaryVr(uint32_t tag);

// Sets DCMTK's dcmdata logger to fatal errors only, once per process, so that
// reading files prints nothing.
void quietDcmtkLogging();

} // namespace dicomkit

#endif // DICOMKIT_DICTIONARY_H
