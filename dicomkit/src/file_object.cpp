// IDicomFileObject; see file_object.h.
#include "file_object.h"

#include "element.h"
#include "error_info.h"
#include "file_loader.h"
#include "utf8.h"

#include <new>
#include <string>

namespace dicomkit {

HRESULT STDMETHODCALLTYPE FileObject::LoadFile(BSTR path)
{
    try {
        const std::wstring_view shown(path ? path : L"", path ? SysStringLen(path) : 0);
        if (shown.empty()) {
            file_.reset();
            return fail(E_INVALIDARG, toolkit::IID_IDicomFileObject, L"LoadFile: no file name given");
        }
        std::string systemPath = narrow(shown);
        for (char& c : systemPath) {
            if (c == '\\')
                c = '/';
        }
        // Reuse the previous file's buffers unless an element still holds it.
        if (!file_ || file_.use_count() != 1)
            file_ = std::make_shared<LoadedFile>();
        std::wstring description;
        const HRESULT hr = loadDicomFile(systemPath, shown, *file_, scratch_, description);
        if (FAILED(hr)) {
            file_.reset();
            return fail(hr, toolkit::IID_IDicomFileObject, description);
        }
        return succeed();
    } catch (const std::bad_alloc&) {
        file_.reset();
        return fail(E_OUTOFMEMORY, toolkit::IID_IDicomFileObject, L"out of memory");
    } catch (...) {
        // No exception leaves a COM method.
        file_.reset();
        return fail(E_UNEXPECTED, toolkit::IID_IDicomFileObject, L"unexpected failure in LoadFile");
    }
}

HRESULT STDMETHODCALLTYPE FileObject::FindElement(LONG tag, toolkit::IDicomElement** element)
{
    if (!element)
        return fail(E_POINTER, toolkit::IID_IDicomFileObject, L"FindElement: no place for the element");
    *element = nullptr;
    if (!file_)
        return fail(E_UNEXPECTED, toolkit::IID_IDicomFileObject, L"no file loaded");
    const ElementRecord* record = file_->find(static_cast<uint32_t>(tag));
    if (!record)
        return succeed();
    auto* found = new (std::nothrow) Element(file_, *record);
    if (!found)
        return fail(E_OUTOFMEMORY, toolkit::IID_IDicomFileObject, L"out of memory");
    *element = found;
    return succeed();
}

} // namespace dicomkit
