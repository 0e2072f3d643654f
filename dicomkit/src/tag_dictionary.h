// CLSID_TagDictionary: ITagDictionary over the data dictionary's keywords
// (dictionary.h). Stateless; thread-safe.
#ifndef DICOMKIT_TAG_DICTIONARY_H
#define DICOMKIT_TAG_DICTIONARY_H

#include "com_object.h"
#include "toolkit/interfaces.h"

namespace dicomkit {

class TagDictionary final : public ComObject<toolkit::ITagDictionary, toolkit::IID_ITagDictionary> {
public:
    // A keyword of the public dictionary (exact, case-sensitive) gives its
    // tag; any other word, a null or an empty BSTR gives S_OK and 0. Fails
    // (E_FAIL) only when no data dictionary could be loaded.
    HRESULT STDMETHODCALLTYPE TagFromKeyword(BSTR keyword, LONG* tag) override;
};

} // namespace dicomkit

#endif // DICOMKIT_TAG_DICTIONARY_H
