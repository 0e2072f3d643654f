// ComApartment: the calling thread in a COM apartment for the object's life.
#ifndef TESTS_SUPPORT_COM_APARTMENT_H
#define TESTS_SUPPORT_COM_APARTMENT_H

#include "toolkit/win32.h"

class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) : result_(CoInitializeEx(nullptr, model)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    HRESULT result() const { return result_; }

private:
    HRESULT result_;
};

#endif // TESTS_SUPPORT_COM_APARTMENT_H
