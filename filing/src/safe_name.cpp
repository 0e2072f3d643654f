#include "filing/safe_name.h"

namespace filing {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isDotsAndSpacesOnly(std::string_view component)
{
    return !component.empty() && component.find_first_not_of(". ") == std::string_view::npos;
}

} // namespace

bool isSafeRelativeName(std::string_view relativeName)
{
    size_t start = 0;
    for (size_t i = 0; i <= relativeName.size(); ++i) {
        if (i == relativeName.size() || isSeparator(relativeName[i])) {
            if (isDotsAndSpacesOnly(relativeName.substr(start, i - start)))
                return false;
            start = i + 1;
        }
    }
    return true;
}

} // namespace filing
