// isSafeRelativeName: whether a built relative name stays under the storage
// root.
//
// Attribute values and AE titles come from the network and are inserted into
// the name as they are, so a sender could climb out of the storage root with
// a value such as "..\..\somewhere". A name is unsafe when any of its
// components, split at every '\' and '/', consists only of dots and spaces
// (".", "..", "...", ".. "): Windows drops trailing dots and spaces, so all
// of these can name the current or the parent folder. Empty components (two
// separators in a row) are safe.
#ifndef FILING_SAFE_NAME_H
#define FILING_SAFE_NAME_H

#include <string_view>

namespace filing {

bool isSafeRelativeName(std::string_view relativeName);

} // namespace filing

#endif // FILING_SAFE_NAME_H
