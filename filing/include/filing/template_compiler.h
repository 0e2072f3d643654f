// compileTemplate: finds the attribute keywords of a file-name template.
//
// Splits the template at every '.' and '\' (byte by byte; delimiters belong to
// no word and never give an empty word) and asks the toolkit's tag dictionary
// for each word, left to right; each word with a non-zero tag is appended to
// `elements`, duplicates included. Brackets its toolkit use with its own
// CoInitialize, undone only when it succeeded. Absorbs every failure: the
// elements found before it stay, the later words are not looked up, nothing
// is reported.
#ifndef FILING_TEMPLATE_COMPILER_H
#define FILING_TEMPLATE_COMPILER_H

#include <string>

#include "filing/template_element.h"

namespace filing {

void compileTemplate(std::string filenameTemplate, /*out*/ TemplateElements& elements);

} // namespace filing

#endif // FILING_TEMPLATE_COMPILER_H
