#include "filing/filename_builder.h"

#include <cstdio>

#include "filing/log_line.h"
#include "filing/replace_all.h"
#include "toolkit/automation.h"
#include "toolkit/creation.h"

namespace filing {

namespace {

using toolkit::Bstr;
using toolkit::ComError;
using toolkit::ComPtr;
using toolkit::IDicomElement;
using toolkit::IDicomFileObject;
using toolkit::Variant;

// A copy of `text` up to its first NUL; a null text gives a null copy.
Bstr copyUpToNul(BSTR text)
{
    if (!text)
        return {};
    BSTR copy = SysAllocString(text);
    if (!copy)
        throw ComError(E_OUTOFMEMORY);
    return Bstr::adopt(copy);
}

// The value's text as an automation string: the text itself, or for any
// other type its conversion to text, which raises when the type has none.
// `value` is not changed; it is taken as modifiable because some Windows
// headers (mingw-w64's) declare VariantChangeType's source without const.
Bstr valueText(Variant& value)
{
    if (value.type() == VT_BSTR)
        return copyUpToNul(value.get()->bstrVal);
    Variant converted;
    const HRESULT result = VariantChangeType(converted.get(), value.get(), 0, VT_BSTR);
    if (FAILED(result))
        throw ComError(result);
    return copyUpToNul(converted.get()->bstrVal);
}

// The narrow form of a non-empty value, with all the room the code page needs.
std::string narrowValue(const Bstr& text)
{
    std::string narrow = toolkit::narrowFromWide(text.get(), text.length());
    if (narrow.empty())
        throw ComError(HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION));
    return narrow;
}

void loadReceivedFile(IDicomFileObject* file, const std::string& receivedPath)
{
    const Bstr path = toolkit::bstrFromNarrow(receivedPath);
    toolkit::checkToolkitCall(file->LoadFile(path.get()), file, toolkit::IID_IDicomFileObject);
}

// The narrow value of the attribute `tag`, or the empty text when the file
// lacks it, or it has length 0 or empty text.
std::string attributeText(IDicomFileObject* file, std::int32_t tag)
{
    ComPtr<IDicomElement> element;
    toolkit::checkToolkitCall(file->FindElement(tag, element.receive()), file, toolkit::IID_IDicomFileObject);
    if (!element)
        return {};
    ULONG length = 0;
    toolkit::checkToolkitCall(element->GetValueLength(&length), element.get(), toolkit::IID_IDicomElement);
    if (length == 0)
        return {};
    Variant value;
    toolkit::checkToolkitCall(element->GetValue(value.get()), element.get(), toolkit::IID_IDicomElement);
    const Bstr text = valueText(value);
    if (text.length() == 0)
        return {};
    return narrowValue(text);
}

std::string expandTemplate(const std::string& filenameTemplate, const TemplateElements& elements,
                           const std::string& receivedPath, const std::string& sourceAeTitle,
                           const std::string& destinationAeTitle)
{
    const ComPtr<IDicomFileObject> fileObject = toolkit::createDicomFileObject();
    IDicomFileObject* file = toolkit::requireObject(fileObject);
    loadReceivedFile(file, receivedPath);

    std::string name = filenameTemplate;
    replaceAll(name, kSourceAeTitlePlaceholder, sourceAeTitle);
    replaceAll(name, kDestinationAeTitlePlaceholder, destinationAeTitle);
    for (const TemplateElement& element : elements) {
        const std::string value = attributeText(file, element.tag);
        if (!value.empty())
            replaceAll(name, element.keyword, value);
    }
    return name;
}

std::string comErrorLine(const ComError& error)
{
    const std::string description =
        toolkit::narrowFromWide(error.description().c_str(), error.description().size(), CP_UTF8);
    char code[16];
    std::snprintf(code, sizeof code, "%08x", static_cast<unsigned>(error.code()));
    return "COM Error in buildFnameFromTemplate, code: " + std::string(code) + ", Description: " + description +
           "\n";
}

} // namespace

std::string buildFnameFromTemplate(const std::string& filenameTemplate, const TemplateElements& elements,
                                   const std::string& receivedPath, const std::string& sourceAeTitle,
                                   const std::string& destinationAeTitle)
{
    try {
        return expandTemplate(filenameTemplate, elements, receivedPath, sourceAeTitle, destinationAeTitle);
    } catch (const ComError& error) {
        try {
            writeLogLine(comErrorLine(error));
        } catch (...) {
            writeLogLine("Unknown error in buildFnameFromTemplate\n");
        }
    } catch (...) {
        writeLogLine("Unknown error in buildFnameFromTemplate\n");
    }
    return {};
}

} // namespace filing
