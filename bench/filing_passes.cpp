#include "filing_passes.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <stdexcept>

#include "dicomkit/registration.h"
#include "host/server_configuration.h"
#include "platform/testing.h"
#include "toolkit/win32.h"

namespace bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The component, loaded and registered once per process, as dicom-host does
// before it loads the module.
void loadToolkitOnce()
{
    static const bool loaded = [] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
            throw std::runtime_error("cannot enter a COM apartment");
        HMODULE toolkit = LoadLibraryA(DSP_TOOLKIT_PATH);
        if (!toolkit)
            throw std::runtime_error("cannot load " + std::string(DSP_TOOLKIT_PATH));
        const auto registerClasses = reinterpret_cast<dicomkit::RegisterToolkitClassesFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(toolkit, dicomkit::kRegisterToolkitClassesExport)));
        if (!registerClasses || FAILED(registerClasses()))
            throw std::runtime_error("cannot register the toolkit's classes");
        return true;
    }();
    (void)loaded;
}

// Hard-links every object into `incoming` under its own file name.
std::vector<fs::path> stage(const std::vector<BenchObject>& objects, const fs::path& incoming)
{
    fs::create_directories(incoming);
    std::vector<fs::path> staged;
    staged.reserve(objects.size());
    for (const BenchObject& object : objects) {
        fs::path link = incoming / object.file.filename();
        fs::remove(link);
        fs::create_hard_link(object.file, link);
        staged.push_back(std::move(link));
    }
    return staged;
}

// Wall clock and processor time, taken together.
struct Stopwatch {
    Clock::time_point wall = Clock::now();
    double cpu = processorSeconds();

    static double processorSeconds()
    {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }
    void stop(PassResult& result) const
    {
        result.cpuSeconds = processorSeconds() - cpu;
        result.seconds = std::chrono::duration<double>(Clock::now() - wall).count();
    }
};

} // namespace

std::string windowsPath(const fs::path& path)
{
    std::string text = path.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

fs::path makeWorkFolder(const fs::path& base)
{
    std::string pattern = ((base.empty() ? fs::temp_directory_path() : base) / "dsp-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a work folder");
    return pattern;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

LoadedModule::LoadedModule(const fs::path& hostFolder, const fs::path& storageRoot,
                           const std::string& filenameTemplate)
{
    loadToolkitOnce();
    fs::create_directories(hostFolder);
    std::ofstream settings(hostFolder / "DicomServer.ini", std::ios::trunc);
    settings << "[DICOM_SERVER]\nSTORAGE_ROOT=" << windowsPath(storageRoot) << "\n";
    if (!filenameTemplate.empty())
        settings << "FILENAME_TEMPLATE=" << filenameTemplate << "\n";
    settings.close();
    PlatformOverrideMainModuleFileName(windowsPath(hostFolder / "dicom-host.exe").c_str());
    module_ = LoadLibraryA(DSP_MODULE_PATH);
    if (!module_)
        throw std::runtime_error("cannot load " + std::string(DSP_MODULE_PATH));
    const auto getConfiguration = reinterpret_cast<host::GetDicomServerConfigurationFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(module_), host::kConfigurationExport)));
    if (!getConfiguration || !(configuration_ = getConfiguration()))
        throw std::runtime_error("the module gives no configuration");
}

LoadedModule::~LoadedModule()
{
    FreeLibrary(static_cast<HMODULE>(module_));
    PlatformOverrideMainModuleFileName(nullptr);
}

PassResult moduleFilingPass(LoadedModule& module, const std::vector<BenchObject>& objects, const fs::path& incoming,
                            const fs::path& storageRoot)
{
    const std::vector<fs::path> staged = stage(objects, incoming);
    std::vector<std::string> received;
    received.reserve(staged.size());
    for (const fs::path& path : staged)
        received.push_back(windowsPath(path));

    PassResult result;
    const Stopwatch stopwatch;
    result.failures = fileEachObject(module.configuration(), received);
    stopwatch.stop(result);
    fs::remove_all(storageRoot);
    return result;
}

int fileEachObject(host::IDicomServerConfiguration& configuration, const std::vector<std::string>& received)
{
    const std::string callingAeTitle = "BENCH";
    const std::string calledAeTitle = "ARCHIVE";
    int failures = 0;
    for (const std::string& path : received)
        if (!configuration.storeReceivedFile(path, callingAeTitle, calledAeTitle))
            ++failures;
    return failures;
}

PassResult baselinePass(const std::vector<BenchObject>& objects, const fs::path& incoming, const fs::path& storageRoot)
{
    const std::vector<fs::path> staged = stage(objects, incoming);
    fs::create_directories(storageRoot);
    const std::string root = storageRoot.string();

    PassResult result;
    char head[4096];
    const Stopwatch stopwatch;
    for (size_t i = 0; i < objects.size(); ++i) {
        const BenchObject& object = objects[i];
        const int fd = ::open(staged[i].c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::read(fd, head, sizeof head) <= 0) {
            ++result.failures;
            if (fd >= 0)
                ::close(fd);
            continue;
        }
        ::close(fd);
        const std::string study = root + "/" + object.study;
        const std::string series = study + "/" + object.series;
        if ((::mkdir(study.c_str(), 0777) != 0 && errno != EEXIST) ||
            (::mkdir(series.c_str(), 0777) != 0 && errno != EEXIST) ||
            ::rename(staged[i].c_str(), (series + "/" + object.instance + ".dcm").c_str()) != 0)
            ++result.failures;
    }
    stopwatch.stop(result);
    fs::remove_all(storageRoot);
    return result;
}

PassResult dcmtkLoadPass(const std::vector<BenchObject>& objects)
{
    PassResult result;
    const Stopwatch stopwatch;
    for (const BenchObject& object : objects) {
        DcmFileFormat file;
        if (file.loadFile(object.file.c_str()).bad())
            ++result.failures;
    }
    stopwatch.stop(result);
    return result;
}

} // namespace bench
