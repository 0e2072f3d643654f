#include "filing/template_compiler.h"

#include "toolkit/automation.h"
#include "toolkit/creation.h"

namespace filing {

namespace {

bool isDelimiter(char c) { return c == '.' || c == '\\'; }

// Cuts `text` into its words in place: every delimiter becomes a terminator,
// and each word is a pointer to its first byte.
std::vector<const char*> cutIntoWords(std::string& text)
{
    std::vector<const char*> words;
    bool inWord = false;
    for (char& c : text) {
        if (isDelimiter(c)) {
            c = '\0';
            inWord = false;
        } else if (!inWord) {
            words.push_back(&c);
            inWord = true;
        }
    }
    return words;
}

void lookUpKeywords(std::string& filenameTemplate, TemplateElements& elements)
{
    const toolkit::ComPtr<toolkit::ITagDictionary> dictionary = toolkit::createTagDictionary();
    for (const char* word : cutIntoWords(filenameTemplate)) {
        const std::string keyword(word);
        const toolkit::Bstr automationKeyword = toolkit::bstrFromNarrow(keyword);
        toolkit::ITagDictionary* lookup = toolkit::requireObject(dictionary);
        LONG tag = 0;
        toolkit::checkToolkitCall(lookup->TagFromKeyword(automationKeyword.get(), &tag), lookup,
                                  toolkit::IID_ITagDictionary);
        if (tag != 0)
            elements.push_back(TemplateElement{tag, keyword});
    }
}

} // namespace

void compileTemplate(std::string filenameTemplate, /*out*/ TemplateElements& elements)
{
    if (FAILED(CoInitialize(nullptr)))
        return;
    try {
        lookUpKeywords(filenameTemplate, elements);
    } catch (...) {
        // A shorter list is the whole answer to any failure here: the words
        // found so far stay, and filing replaces only what it knows.
    }
    CoUninitialize();
}

} // namespace filing
