// TemplateElement: one attribute keyword of the file-name template, with the
// tag that the toolkit's dictionary gave for it.
#ifndef FILING_TEMPLATE_ELEMENT_H
#define FILING_TEMPLATE_ELEMENT_H

#include <cstdint>
#include <string>
#include <vector>

namespace filing {

struct TemplateElement {
    std::int32_t tag = 0;  // (group << 16) | element; never 0
    std::string keyword;   // the template's word, byte for byte; never empty

    bool operator==(const TemplateElement&) const = default;
};

using TemplateElements = std::vector<TemplateElement>;

} // namespace filing

#endif // FILING_TEMPLATE_ELEMENT_H
