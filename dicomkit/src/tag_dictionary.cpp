// ITagDictionary; see tag_dictionary.h.
#include "tag_dictionary.h"

#include "dictionary.h"
#include "error_info.h"

#include <new>
#include <string>

namespace dicomkit {

namespace {

// Keywords are short ASCII identifiers.
constexpr size_t kLongestKeyword = 128;

} // namespace

HRESULT STDMETHODCALLTYPE TagDictionary::TagFromKeyword(BSTR keyword, LONG* tag)
{
    if (!tag)
        return fail(E_POINTER, toolkit::IID_ITagDictionary, L"TagFromKeyword: no place for the tag");
    *tag = 0;
    try {
        if (!dictionaryLoaded())
            return fail(E_FAIL, toolkit::IID_ITagDictionary,
                        L"no DICOM data dictionary loaded (check DCMDICTPATH and the dictionary files)");
        const UINT length = keyword ? SysStringLen(keyword) : 0;
        if (length == 0 || length > kLongestKeyword)
            return succeed();
        char narrow[kLongestKeyword];
        for (UINT i = 0; i < length; ++i) {
            const wchar_t c = keyword[i];
            if (c <= L' ' || c > L'~')
                return succeed();
            narrow[i] = static_cast<char>(c);
        }
        *tag = static_cast<LONG>(tagFromKeyword(std::string_view(narrow, length)));
        return succeed();
    } catch (const std::bad_alloc&) {
        return fail(E_OUTOFMEMORY, toolkit::IID_ITagDictionary, L"out of memory");
    } catch (...) {
        return fail(E_UNEXPECTED, toolkit::IID_ITagDictionary, L"unexpected failure in TagFromKeyword");
    }
}

} // namespace dicomkit
