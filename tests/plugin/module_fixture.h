// A test host: a folder standing for the host executable's, a COM apartment,
// fake toolkit classes registered with the platform's COM runtime, and the
// module loaded through the platform loader.
//
// Creations of folders at the file system's root (the default storage root
// "\KORVEL") are vetoed, so defaults can be tested without touching "/".
#ifndef TESTS_PLUGIN_MODULE_FIXTURE_H
#define TESTS_PLUGIN_MODULE_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>

#include "com_apartment.h"
#include "fake_toolkit.h"
#include "loaded_module.h"
#include "temp_dir.h"
#include "test_platform.h"

class ModuleTest : public ::testing::Test {
protected:
    ModuleTest() { test_platform::observeCreateDirectory(&ModuleTest::onCreateDirectory, this); }
    ~ModuleTest() override
    {
        module_.reset();
        toolkit_.reset();
        test_platform::observeCreateDirectory(nullptr, nullptr);
        EXPECT_EQ(fakes::liveFakeObjects(), 0) << "a toolkit reference was not released";
    }

    void writeSettings(const std::string& body) { ::writeSettings(hostFolder_.path(), body); }
    void load() { module_ = std::make_unique<LoadedModule>(hostFolder_.path()); }
    host::IDicomServerConfiguration* configuration() { return module_->configuration(); }
    void unload() { module_.reset(); }
    std::string windowsPath(const std::string& relative) const { return hostFolder_.windowsPath(relative); }

    std::vector<std::string> creations;  // every CreateDirectoryA path
    TempDir hostFolder_;
    ComApartment apartment_;
    std::unique_ptr<fakes::FakeToolkit> toolkit_ = std::make_unique<fakes::FakeToolkit>();
    std::unique_ptr<LoadedModule> module_;

private:
    static BOOL onCreateDirectory(const char* path, void* context)
    {
        static_cast<ModuleTest*>(context)->creations.emplace_back(path);
        const std::string text(path);
        return !(text == "\\" || text.rfind("\\KORVEL", 0) == 0);
    }
};

#endif // TESTS_PLUGIN_MODULE_FIXTURE_H
