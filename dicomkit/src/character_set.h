// Decoding of text values to wide text (wchar_t: UTF-32 on Linux, UTF-16 on
// Windows) under a data set's Specific Character Set (0008,0005).
//
// Supported: the default repertoire; the single-byte sets ISO_IR 100, 101,
// 109, 110, 126, 127, 138, 144, 148, 166, 203 and ISO_IR 13 (JIS X 0201);
// ISO_IR 192 (UTF-8), GB18030 and GBK; and ISO 2022 code extensions with any
// of the "ISO 2022 IR n" terms of those single-byte sets plus IR 87 (JIS X
// 0208), IR 159 (JIS X 0212), IR 149 (KS X 1001) and IR 58 (GB 2312). The
// escape sequences are interpreted here (the C library's iconv only converts
// the character sets they switch between), so Japanese multi-byte text is
// decoded whether or not the system's DCMTK would accept those terms.
//
// Thread-safe: iconv descriptors are cached per thread.
#ifndef DICOMKIT_CHARACTER_SET_H
#define DICOMKIT_CHARACTER_SET_H

#include <string>
#include <string_view>

namespace dicomkit {

// Which characters of a value bring the initial character set back into
// force under ISO 2022 code extensions (besides CR, LF, FF and TAB).
enum class TextDelimiters {
    None,        // LT ST UT: a single value in which '\' is text
    Values,      // '\' between values
    PersonName,  // '\' between values, '^' between components, '=' between groups
};

// Decodes `bytes` of a value encoded in `specificCharacterSet` (the raw value
// of (0008,0005), empty when the data set has none) into `out`. False with a
// reason in `error` when the bytes are not valid text of that character set,
// or the character set is unknown and the bytes are not plain ASCII.
bool decodeText(std::string_view bytes, std::string_view specificCharacterSet, TextDelimiters delimiters,
                std::wstring& out, std::string& error);

// Decodes text in the default repertoire (VRs such as CS, DA, UI). Bytes
// outside ASCII, which that repertoire does not have, are taken as ISO 8859-1
// rather than refused.
void decodeDefaultRepertoire(std::string_view bytes, std::wstring& out);

} // namespace dicomkit

#endif // DICOMKIT_CHARACTER_SET_H
