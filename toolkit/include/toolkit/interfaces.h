// The DICOM toolkit component's COM interfaces and identifiers, as the module
// (and the component that implements them) declare them.
//
// The module calls these operations by their place in the interface's table,
// counted from QueryInterface = 0 through the three IUnknown and the four
// IDispatch operations. Operations of the type library that the module does
// not use are declared as ReservedNN placeholders, so that every used one
// lands in its slot; tests pin each slot. The tables are frozen: nothing may
// be inserted, removed or reordered.
#ifndef TOOLKIT_INTERFACES_H
#define TOOLKIT_INTERFACES_H

#include "toolkit/win32.h"

namespace toolkit {

// Class and interface identifiers of the toolkit's type library.
inline const CLSID CLSID_TagDictionary = {
    0x5bf27551, 0x5fb8, 0x4484, {0x81, 0x43, 0xa9, 0xa9, 0x69, 0x3b, 0x66, 0x92}};
inline const CLSID CLSID_DicomFileObject = {
    0x18fe5879, 0xac2d, 0x43e4, {0xae, 0x0e, 0x6c, 0xf0, 0xe8, 0x22, 0x48, 0x3d}};
inline const IID IID_ITagDictionary = {
    0x5bc7dd88, 0x6ed0, 0x45e4, {0xa2, 0x79, 0x34, 0xf9, 0x10, 0xc9, 0xc4, 0x08}};
inline const IID IID_IDicomFileObject = {
    0x9799b8db, 0xe8ae, 0x4add, {0xb4, 0x36, 0x73, 0x0b, 0xb5, 0xc0, 0x2a, 0x2c}};
inline const IID IID_IDicomElement = {
    0x0a500883, 0x710c, 0x4f7d, {0xba, 0x56, 0x7d, 0x1c, 0x4e, 0x63, 0x84, 0xfd}};

#define TOOLKIT_RESERVED(n) virtual HRESULT STDMETHODCALLTYPE Reserved##n() = 0

// Maps DICOM attribute keywords to tags.
struct ITagDictionary : public IDispatch {
    // Slot 7. The tag of `keyword` as (group << 16) | element; success and 0
    // for a word that is no keyword. `tag` is preset to 0 by the caller.
    virtual HRESULT STDMETHODCALLTYPE TagFromKeyword(BSTR keyword, /*out*/ LONG* tag) = 0;
};

struct IDicomElement;

// One DICOM file, loaded once and then searched by tag.
struct IDicomFileObject : public IDispatch {
    TOOLKIT_RESERVED(07);
    TOOLKIT_RESERVED(08);
    TOOLKIT_RESERVED(09);
    TOOLKIT_RESERVED(10);
    TOOLKIT_RESERVED(11);
    // Slot 12. Reads the file at `path`; on failure the error info says why.
    virtual HRESULT STDMETHODCALLTYPE LoadFile(BSTR path) = 0;
    TOOLKIT_RESERVED(13);
    TOOLKIT_RESERVED(14);
    TOOLKIT_RESERVED(15);
    TOOLKIT_RESERVED(16);
    TOOLKIT_RESERVED(17);
    TOOLKIT_RESERVED(18);
    TOOLKIT_RESERVED(19);
    TOOLKIT_RESERVED(20);
    TOOLKIT_RESERVED(21);
    TOOLKIT_RESERVED(22);
    TOOLKIT_RESERVED(23);
    TOOLKIT_RESERVED(24);
    TOOLKIT_RESERVED(25);
    TOOLKIT_RESERVED(26);
    TOOLKIT_RESERVED(27);
    TOOLKIT_RESERVED(28);
    TOOLKIT_RESERVED(29);
    TOOLKIT_RESERVED(30);
    TOOLKIT_RESERVED(31);
    TOOLKIT_RESERVED(32);
    TOOLKIT_RESERVED(33);
    TOOLKIT_RESERVED(34);
    TOOLKIT_RESERVED(35);
    TOOLKIT_RESERVED(36);
    TOOLKIT_RESERVED(37);
    TOOLKIT_RESERVED(38);
    TOOLKIT_RESERVED(39);
    TOOLKIT_RESERVED(40);
    // Slot 41. The top-level attribute `tag` of the loaded file; success and
    // a null `element` when the file lacks it. `element` is preset to null.
    virtual HRESULT STDMETHODCALLTYPE FindElement(LONG tag, /*out*/ IDicomElement** element) = 0;
};

// One attribute of a loaded file.
struct IDicomElement : public IDispatch {
    TOOLKIT_RESERVED(07);
    TOOLKIT_RESERVED(08);
    TOOLKIT_RESERVED(09);
    TOOLKIT_RESERVED(10);
    // Slot 11. The value's length in bytes as stored; 0 means no value.
    virtual HRESULT STDMETHODCALLTYPE GetValueLength(/*out*/ ULONG* length) = 0;
    TOOLKIT_RESERVED(12);
    // Slot 13. The value, into a variant the caller initialised and clears.
    virtual HRESULT STDMETHODCALLTYPE GetValue(/*out*/ VARIANT* value) = 0;
};

#undef TOOLKIT_RESERVED

} // namespace toolkit

#endif // TOOLKIT_INTERFACES_H
