// An element's value as a VARIANT, the way IDicomElement::GetValue answers it:
//
//   text VRs      VT_BSTR, decoded (character_set.h), padding removed from
//                 each value: trailing spaces and NULs always, leading spaces
//                 for AE CS DS IS LO SH; values joined by '\' as stored
//   one number    VT_I4 (US SS SL), VT_UI4 (UL; AT as (group << 16) | element),
//                 VT_R8 (FD; FL through its shortest decimal form)
//   several       VT_BSTR, the numbers as decimal text joined by '\'
//   SV UV         VT_BSTR, decimal text (also when single)
//   empty value   VT_BSTR, empty
//   SQ and bulk   VT_NULL (OB OD OF OL OV OW UN, pixel data, unknown VRs),
//                 which VariantChangeType to VT_BSTR refuses
//
// Implicit VR elements take their VR from the data dictionary; "US or SS"
// entries follow Pixel Representation (0028,0103). Thread-safe.
#ifndef DICOMKIT_VALUE_CONVERSION_H
#define DICOMKIT_VALUE_CONVERSION_H

#include "loaded_file.h"
#include "toolkit/win32.h"

#include <string>

namespace dicomkit {

// Fills `value` (treated as uninitialised). On failure (text that cannot be
// decoded, no memory) answers the failing HRESULT and a reason in `error`.
HRESULT elementValue(const LoadedFile& file, const ElementRecord& element, VARIANT* value, std::string& error);

// The VR an element is presented by: its explicit VR, or for implicit VR
// data the dictionary's, with "US or SS" settled by Pixel Representation.
Vr effectiveVr(const LoadedFile& file, const ElementRecord& element);

} // namespace dicomkit

#endif // DICOMKIT_VALUE_CONVERSION_H
