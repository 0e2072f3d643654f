// replaceAll: replaces every occurrence of `search` in `text` by
// `replacement`, left to right without overlap, resuming right behind each
// inserted text, so inserted text is never searched again and the call ends
// even when the replacement holds the search text. `search` must not be empty.
#ifndef FILING_REPLACE_ALL_H
#define FILING_REPLACE_ALL_H

#include <string>

namespace filing {

void replaceAll(std::string& text, const std::string& search, const std::string& replacement);

} // namespace filing

#endif // FILING_REPLACE_ALL_H
