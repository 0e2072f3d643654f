// ComPtr: owns one reference to a COM interface and releases it exactly once.
//
// A reference comes in one of two named ways, so every AddRef and Release is
// visible where the call happens:
//  - ComPtr<T>::adopt(p): takes over a reference the caller already owns;
//  - ComPtr<T>::borrow(p): adds a reference of its own to a borrowed pointer.
// `receive()` hands out the address that a COM out-parameter fills; the
// pointer must be empty then, so nothing can be overwritten and leaked.
#ifndef TOOLKIT_COM_PTR_H
#define TOOLKIT_COM_PTR_H

#include <cassert>
#include <utility>

#include "toolkit/win32.h"

namespace toolkit {

template <typename T> class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    ~ComPtr() { reset(); }

    static ComPtr adopt(T* owned) noexcept
    {
        ComPtr result;
        result.pointer_ = owned;
        return result;
    }
    static ComPtr borrow(T* borrowed) noexcept
    {
        if (borrowed)
            borrowed->AddRef();
        return adopt(borrowed);
    }

    T* get() const noexcept { return pointer_; }
    T* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    // The out-parameter slot for a call that hands over a new reference.
    T** receive() noexcept
    {
        assert(pointer_ == nullptr);
        return &pointer_;
    }
    void** receiveVoid() noexcept { return reinterpret_cast<void**>(receive()); }

    void reset() noexcept
    {
        if (T* old = std::exchange(pointer_, nullptr))
            old->Release();
    }

private:
    T* pointer_ = nullptr;
};

} // namespace toolkit

#endif // TOOLKIT_COM_PTR_H
