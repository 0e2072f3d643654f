// The table entry that a virtual member function occupies, read from its
// pointer-to-member under the Itanium C++ ABI (g++, clang): the pointer holds
// 1 + the entry's byte offset in the table.
#ifndef TESTS_VTABLE_SLOT_H
#define TESTS_VTABLE_SLOT_H

#include <cstddef>
#include <cstring>

template <typename MemberFunction> std::ptrdiff_t vtableEntry(MemberFunction function)
{
    static_assert(sizeof(MemberFunction) == 2 * sizeof(void*), "Itanium pointer-to-member layout expected");
    std::ptrdiff_t raw;
    std::memcpy(&raw, &function, sizeof raw);
    return (raw - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

#endif // TESTS_VTABLE_SLOT_H
