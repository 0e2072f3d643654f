// Fake toolkit classes for what the real component cannot do on demand: a
// dictionary that fails at the third lookup, a creation that answers
// E_NOINTERFACE, an attribute whose value has no text. They are registered
// with the platform's COM runtime under the toolkit's real class ids, so the
// module finds them exactly as it finds the real component.
//
// Every fake object counts itself while alive (liveFakeObjects), so tests can
// prove that each reference was released on every path.
#ifndef TESTS_SUPPORT_FAKE_TOOLKIT_H
#define TESTS_SUPPORT_FAKE_TOOLKIT_H

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/interfaces.h"

namespace fakes {

// Fake COM objects alive in the process.
long liveFakeObjects();

// Sets the thread's error info to `description`, as a component does on a
// failing call.
void reportError(const std::wstring& description);

// ---------------------------------------------------------------- dictionary
struct DictionaryBehaviour {
    std::map<std::string, LONG> tags;       // known keywords
    int failAtLookup = 0;                   // 1-based lookup that fails; 0: none
    HRESULT failure = E_FAIL;
    std::wstring failureDescription = L"dictionary failure";
    std::vector<std::string> lookups;       // every word asked for, in order
};

// ---------------------------------------------------------------- file object
struct FakeAttribute {
    ULONG length = 1;                             // answered by GetValueLength
    std::function<void(VARIANT*)> value;          // fills GetValue's variant
    HRESULT findResult = S_OK;                    // FindElement's answer
    HRESULT lengthResult = S_OK;
    HRESULT valueResult = S_OK;
};

struct FileBehaviour {
    HRESULT loadResult = S_OK;
    std::wstring loadDescription;
    std::map<LONG, FakeAttribute> attributes;
    std::vector<std::wstring> loadedPaths;        // every LoadFile path
    std::vector<LONG> findCalls;                  // every FindElement tag
};

// A text attribute.
FakeAttribute textAttribute(const std::wstring& text);
// A text attribute whose stored length differs from its text.
FakeAttribute textAttribute(const std::wstring& text, ULONG length);
// Any variant: `fill` writes it.
FakeAttribute variantAttribute(std::function<void(VARIANT*)> fill, ULONG length = 4);

// ---------------------------------------------------------------- registration
// Registers fake factories for the toolkit's classes while alive, in the
// calling thread's COM apartment (it must be in one). `creation` is what
// CreateInstance answers (S_OK, or a failure such as E_NOINTERFACE).
class FakeToolkit {
public:
    FakeToolkit();
    ~FakeToolkit();
    FakeToolkit(const FakeToolkit&) = delete;
    FakeToolkit& operator=(const FakeToolkit&) = delete;

    DictionaryBehaviour dictionary;
    FileBehaviour file;
    HRESULT dictionaryCreation = S_OK;
    HRESULT fileCreation = S_OK;
    bool registerDictionary = true;
    bool registerFile = true;

    // Registers (again) with the current settings; called by the constructor.
    void registerClasses();
    void revokeClasses();

    int dictionariesCreated() const { return dictionariesCreated_; }
    int filesCreated() const { return filesCreated_; }

private:
    friend class FakeFactory;
    friend class ApartmentRegistration;
    void registerFactories(std::vector<DWORD>& cookies);

    std::vector<DWORD> cookies_;
    std::atomic<int> dictionariesCreated_{0};
    std::atomic<int> filesCreated_{0};
};

// Registers a toolkit's classes once more, from the calling thread's
// apartment, while alive. On Windows a registration serves only the apartment
// that made it (each apartment there activates the real component for
// itself), so every thread that creates fake objects holds one of these; the
// toolkit must outlive it.
class ApartmentRegistration {
public:
    explicit ApartmentRegistration(FakeToolkit& toolkit);
    ~ApartmentRegistration();
    ApartmentRegistration(const ApartmentRegistration&) = delete;
    ApartmentRegistration& operator=(const ApartmentRegistration&) = delete;

private:
    std::vector<DWORD> cookies_;
};

} // namespace fakes

#endif // TESTS_SUPPORT_FAKE_TOOLKIT_H
