// buildFnameFromTemplate: the relative name under which one received file is
// filed.
//
// Loads the file through a new toolkit file object, copies the template,
// replaces "%SOURCE_AE_TITLE%" and "%DESTINATION_AE_TITLE%" by the two AE
// titles, then, element by element in list order, replaces every occurrence
// of the element's keyword by the text of the file's attribute. An attribute
// that is absent, of length 0 or of empty text leaves its keyword in place.
// Values and titles are inserted as they are, up to a value's first NUL.
//
// Any failure gives the empty text and one line on standard output: the COM
// error line (code and the toolkit's description, as UTF-8) for a toolkit
// failure, the other-failure line for anything else. Every toolkit
// reference, BSTR and VARIANT is released on every path.
//
// The calling thread must be in a COM apartment. Reads only its arguments;
// calls from several threads are independent.
#ifndef FILING_FILENAME_BUILDER_H
#define FILING_FILENAME_BUILDER_H

#include <string>

#include "filing/template_element.h"

namespace filing {

inline constexpr const char* kSourceAeTitlePlaceholder = "%SOURCE_AE_TITLE%";
inline constexpr const char* kDestinationAeTitlePlaceholder = "%DESTINATION_AE_TITLE%";

std::string buildFnameFromTemplate(const std::string& filenameTemplate, const TemplateElements& elements,
                                   const std::string& receivedPath, const std::string& sourceAeTitle,
                                   const std::string& destinationAeTitle);

} // namespace filing

#endif // FILING_FILENAME_BUILDER_H
