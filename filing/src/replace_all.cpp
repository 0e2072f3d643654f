#include "filing/replace_all.h"

namespace filing {

void replaceAll(std::string& text, const std::string& search, const std::string& replacement)
{
    if (search.empty())
        return;
    for (size_t position = text.find(search); position != std::string::npos;
         position = text.find(search, position + replacement.size())) {
        text.replace(position, search.size(), replacement);
    }
}

} // namespace filing
