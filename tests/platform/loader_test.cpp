// The module loader against real shared libraries (test_module.cpp's
// variants, built beside this program): search beside the executable,
// reference counts, DllMain reasons and their order, a refusing DllMain,
// error codes, module paths and their truncation, detach at process exit.
#include <platform/host_threads.h>
#include <platform/testing.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct DllMainCall {
    std::string module;
    DWORD reason;
    bool reservedIsNull;
    std::thread::id thread;

    bool operator==(const DllMainCall&) const = default;
};

std::mutex recordedLock;
std::vector<DllMainCall> recorded;

std::vector<DllMainCall> takeRecordedCalls()
{
    std::lock_guard<std::mutex> guard(recordedLock);
    return std::exchange(recorded, {});
}

DllMainCall call(const char* module, DWORD reason, std::thread::id thread = std::this_thread::get_id())
{
    return DllMainCall{module, reason, true, thread};
}

std::string executablePath()
{
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    return std::string(buffer, static_cast<size_t>(length > 0 ? length : 0));
}

std::string windowsForm(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string besideExecutable(const std::string& name)
{
    std::string exe = executablePath();
    return exe.substr(0, exe.rfind('/') + 1) + name;
}

bool isMapped(const std::string& name)
{
    void* library = dlopen(besideExecutable(name).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (library)
        dlclose(library);
    return library != nullptr;
}

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override { takeRecordedCalls(); }
    void TearDown() override { PlatformOverrideMainModuleFileName(nullptr); }
};

} // namespace

extern "C" __attribute__((visibility("default"))) void RecordDllMainCall(const char* module, DWORD reason,
                                                                         int reservedIsNull)
{
    std::lock_guard<std::mutex> guard(recordedLock);
    recorded.push_back(DllMainCall{module, reason, reservedIsNull != 0, std::this_thread::get_id()});
}

TEST_F(LoaderTest, LoadsOnceAndCountsReferences)
{
    HMODULE byName = LoadLibraryA("test_module_a.so");
    ASSERT_NE(byName, nullptr) << "a bare name is looked for beside the executable";
    HMODULE byPath = LoadLibraryA(windowsForm(besideExecutable("test_module_a.so")).c_str());
    EXPECT_EQ(byPath, byName);
    EXPECT_EQ(takeRecordedCalls(), std::vector<DllMainCall>{call("a", DLL_PROCESS_ATTACH)});

    EXPECT_TRUE(FreeLibrary(byName));
    EXPECT_TRUE(takeRecordedCalls().empty()) << "one reference is still held";
    EXPECT_TRUE(isMapped("test_module_a.so"));

    EXPECT_TRUE(FreeLibrary(byPath));
    EXPECT_EQ(takeRecordedCalls(), std::vector<DllMainCall>{call("a", DLL_PROCESS_DETACH)});
    EXPECT_FALSE(isMapped("test_module_a.so"));

    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(FreeLibrary(byPath));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(LoaderTest, AnnouncedThreadGetsThreadAttachAndDetach)
{
    HMODULE module = LoadLibraryA("test_module_a.so");
    ASSERT_NE(module, nullptr);
    std::thread::id second;
    std::thread([&second] {
        second = std::this_thread::get_id();
        ScopedThreadAnnouncement announced;
    }).join();
    ASSERT_TRUE(FreeLibrary(module));

    std::vector<DllMainCall> expected = {call("a", DLL_PROCESS_ATTACH), call("a", DLL_THREAD_ATTACH, second),
                                         call("a", DLL_THREAD_DETACH, second), call("a", DLL_PROCESS_DETACH)};
    EXPECT_EQ(takeRecordedCalls(), expected);

    PlatformThreadAttach();
    PlatformThreadDetach();
    EXPECT_TRUE(takeRecordedCalls().empty()) << "a freed module hears of no thread";
}

TEST_F(LoaderTest, DllMainMayLoadAnotherModuleUnderTheLoaderLock)
{
    HMODULE nesting = LoadLibraryA("test_module_nesting.so");
    ASSERT_NE(nesting, nullptr);
    PlatformThreadAttach();
    PlatformThreadDetach();
    ASSERT_TRUE(FreeLibrary(nesting));

    std::vector<DllMainCall> expected = {
        call("nesting", DLL_PROCESS_ATTACH), call("b", DLL_PROCESS_ATTACH),
        // Thread attach in order of initialisation (b finished first), detach
        // in reverse.
        call("b", DLL_THREAD_ATTACH), call("nesting", DLL_THREAD_ATTACH),
        call("nesting", DLL_THREAD_DETACH), call("b", DLL_THREAD_DETACH),
        call("nesting", DLL_PROCESS_DETACH), call("b", DLL_PROCESS_DETACH)};
    EXPECT_EQ(takeRecordedCalls(), expected);
    EXPECT_FALSE(isMapped("test_module_b.so"));
}

TEST_F(LoaderTest, RefusingDllMainFailsTheLoad)
{
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(LoadLibraryA("test_module_refusing.so"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DLL_INIT_FAILED));
    std::vector<DllMainCall> expected = {call("refusing", DLL_PROCESS_ATTACH), call("refusing", DLL_PROCESS_DETACH)};
    EXPECT_EQ(takeRecordedCalls(), expected);
    EXPECT_FALSE(isMapped("test_module_refusing.so"));
}

TEST_F(LoaderTest, LooksUpOnlyTheModulesOwnExports)
{
    HMODULE module = LoadLibraryA("test_module_a.so");
    ASSERT_NE(module, nullptr);
    auto name = reinterpret_cast<const char* (*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "TestModuleName")));
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name(), "a");

    struct Row {
        const char* name;
        const char* symbol;
    };
    const Row rows[] = {
        {"absent symbol", "NoSuchFunction"},
        {"a dependency's export", "LoadLibraryA"},
    };
    for (const Row& row : rows) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetProcAddress(module, row.symbol), nullptr) << row.name;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND)) << row.name;
    }
    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(LoaderTest, FailuresSetWindowsCodes)
{
    HMODULE bogus = reinterpret_cast<HMODULE>(&recorded);
    struct Row {
        const char* name;
        bool (*failed)(HMODULE bogus);
        DWORD code;
    };
    const Row rows[] = {
        {"missing library", [](HMODULE) { return LoadLibraryA("no_such_module.so") == nullptr; }, ERROR_MOD_NOT_FOUND},
        {"missing library by path", [](HMODULE) { return LoadLibraryA("\\no\\such\\module.so") == nullptr; },
         ERROR_MOD_NOT_FOUND},
        {"empty name", [](HMODULE) { return LoadLibraryA("") == nullptr; }, ERROR_MOD_NOT_FOUND},
        {"free unknown handle", [](HMODULE h) { return !FreeLibrary(h); }, ERROR_INVALID_HANDLE},
        {"proc of unknown handle", [](HMODULE h) { return GetProcAddress(h, "DllMain") == nullptr; },
         ERROR_INVALID_HANDLE},
        {"path of unknown handle",
         [](HMODULE h) {
             char buffer[MAX_PATH];
             return GetModuleFileNameA(h, buffer, MAX_PATH) == 0;
         },
         ERROR_MOD_NOT_FOUND},
    };
    for (const Row& row : rows) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_TRUE(row.failed(bogus)) << row.name;
        EXPECT_EQ(GetLastError(), row.code) << row.name;
    }
}

TEST_F(LoaderTest, ModuleFileNamesAreWindowsForm)
{
    char buffer[PATH_MAX];
    DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), windowsForm(executablePath()));
    EXPECT_EQ(length, executablePath().size());

    HMODULE module = LoadLibraryA("test_module_a.so");
    ASSERT_NE(module, nullptr);
    GetModuleFileNameA(module, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), windowsForm(besideExecutable("test_module_a.so")));
    EXPECT_TRUE(FreeLibrary(module));

    PlatformOverrideMainModuleFileName("C:\\Program Files\\Server\\server.exe");
    GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "C:\\Program Files\\Server\\server.exe");
    PlatformOverrideMainModuleFileName(nullptr);
    GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), windowsForm(executablePath()));
}

TEST_F(LoaderTest, ModuleFileNameTruncatesAsWindowsDoes)
{
    const std::string path = "D:\\dicom\\host.exe"; // 17 characters
    PlatformOverrideMainModuleFileName(path.c_str());
    struct Row {
        const char* name;
        DWORD size;
        DWORD answer;
        std::string text;
        DWORD lastError; // ERROR_SUCCESS: left alone
    };
    const Row rows[] = {
        {"roomy", 64, 17, path, ERROR_SUCCESS},
        {"exact fit", 18, 17, path, ERROR_SUCCESS},
        {"one short", 17, 17, path.substr(0, 16), ERROR_INSUFFICIENT_BUFFER},
        {"tiny", 4, 4, "D:\\", ERROR_INSUFFICIENT_BUFFER},
        {"terminator only", 1, 1, "", ERROR_INSUFFICIENT_BUFFER},
    };
    for (const Row& row : rows) {
        char buffer[64];
        memset(buffer, 'x', sizeof buffer);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, row.size), row.answer) << row.name;
        EXPECT_EQ(std::string(buffer), row.text) << row.name;
        EXPECT_EQ(GetLastError(), row.lastError) << row.name;
    }
}

TEST_F(LoaderTest, ThreadAnnouncementsRaceLoadsSafely)
{
    std::thread announcer([] {
        for (int i = 0; i < 200; ++i) {
            ScopedThreadAnnouncement announced;
        }
    });
    for (int i = 0; i < 200; ++i) {
        HMODULE module = LoadLibraryA("test_module_b.so");
        ASSERT_NE(module, nullptr);
        ASSERT_TRUE(FreeLibrary(module));
    }
    announcer.join();
    int attaches = 0;
    int detaches = 0;
    for (const DllMainCall& recordedCall : takeRecordedCalls()) {
        attaches += recordedCall.reason == DLL_PROCESS_ATTACH;
        detaches += recordedCall.reason == DLL_PROCESS_DETACH;
    }
    EXPECT_EQ(attaches, 200);
    EXPECT_EQ(detaches, 200);
}

TEST(LoaderExitTest, ModulesStillLoadedDetachAtExitInReverseOrder)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            LoadLibraryA("test_module_a.so");
            LoadLibraryA("test_module_nesting.so");
            exit(0);
        },
        ::testing::ExitedWithCode(0),
        "process detach nesting at exit, statics alive\n"
        "process detach b at exit, statics alive\n"
        "process detach a at exit, statics alive\n");
}
