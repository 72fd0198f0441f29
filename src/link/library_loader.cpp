#include "library_loader.h"

#include "portlink.h"
#include "serial_library.h"

#include <dlfcn.h>
#include <limits.h>

#include <filesystem>
#include <utility>
#include <vector>

namespace {

// The soname, not the unversioned link: that link belongs to building against
// the library, and may one day name a version with other functions.
constexpr const char *kLibraryName = "libportlink.so.1";

struct Exports {
    decltype(&::Run) Run;
    decltype(&::OpenCommPort) OpenCommPort;
    decltype(&::OpenCommDevice) OpenCommDevice;
    decltype(&::ReopenCommPort) ReopenCommPort;
    decltype(&::ConfigureOpenComPort) ConfigureOpenComPort;
    decltype(&::CloseCommPort) CloseCommPort;
    decltype(&::WriteToBoard) WriteToBoard;
    decltype(&::IsSendingData) IsSendingData;
    decltype(&::StartLogging) StartLogging;
    decltype(&::StopLogging) StopLogging;
    decltype(&::IsLogging) IsLogging;
    decltype(&::GetLogFileName) GetLogFileName;
    decltype(&::ReadByteFromBoard) ReadByteFromBoard;
    decltype(&::IsLineUp) IsLineUp;
    decltype(&::HasLostData) HasLostData;
    decltype(&::GetOpenError) GetOpenError;
    decltype(&::GetLogError) GetLogError;
};

class DynamicLibrary final : public SerialLibrary {
public:
    DynamicLibrary(void *handle, Exports exports) : handle_(handle), x_(exports) {}
    ~DynamicLibrary() override { dlclose(handle_); }

    bool Run() override { return x_.Run() != 0; }
    bool OpenCommPort(std::int16_t port) override { return x_.OpenCommPort(port) != 0; }
    bool OpenCommDevice(const std::string &path) override { return x_.OpenCommDevice(path.c_str()) != 0; }
    bool ReopenCommPort() override { return x_.ReopenCommPort() != 0; }
    bool ConfigureOpenComPort() override { return x_.ConfigureOpenComPort() != 0; }
    void CloseCommPort() override { x_.CloseCommPort(); }
    bool WriteToBoard(std::uint8_t byte) override { return x_.WriteToBoard(byte, kWriteWaitMs) != 0; }
    bool IsSendingData() override { return x_.IsSendingData() != 0; }
    void StartLogging(const std::string &fileName) override { x_.StartLogging(fileName.c_str()); }
    void StopLogging() override { x_.StopLogging(); }
    bool IsLogging() override { return x_.IsLogging() == 1; }

    std::optional<std::string> GetLogFileName() override
    {
        // Room for any name a file can be opened by: the library writes
        // nothing rather than a name cut short.
        std::vector<char> buffer(PATH_MAX + 1);
        if (x_.GetLogFileName(buffer.data(), static_cast<std::int32_t>(buffer.size())) == 0)
            return std::nullopt;
        buffer.back() = '\0';
        return std::string(buffer.data());
    }
    bool ReadByteFromBoard(std::uint8_t &byte, std::int32_t timeoutMs) override
    {
        return x_.ReadByteFromBoard(&byte, timeoutMs) != 0;
    }
    bool IsLineUp() override { return x_.IsLineUp() != 0; }
    bool HasLostData() override { return x_.HasLostData() != 0; }
    std::optional<std::string> GetOpenError() override
    {
        // The reason names the device, so it needs a path's room and a little more.
        std::vector<char> buffer(PATH_MAX + 256);
        if (x_.GetOpenError(buffer.data(), static_cast<std::int32_t>(buffer.size())) == 0)
            return std::nullopt;
        buffer.back() = '\0';
        return std::string(buffer.data());
    }
    std::optional<std::string> GetLogError() override
    {
        // The reason may name a file on the way to the log.
        std::vector<char> buffer(PATH_MAX + 256);
        if (x_.GetLogError(buffer.data(), static_cast<std::int32_t>(buffer.size())) == 0)
            return std::nullopt;
        buffer.back() = '\0';
        return std::string(buffer.data());
    }

private:
    void *handle_;
    Exports x_;
};

// What the tool runs on when the library cannot be loaded: no port opens,
// nothing is written, nothing is logged.
class MissingLibrary final : public SerialLibrary {
public:
    explicit MissingLibrary(std::string loadError) : loadError_(std::move(loadError)) {}

    bool Run() override { return false; }
    bool OpenCommPort(std::int16_t) override { return false; }
    bool OpenCommDevice(const std::string &) override { return false; }
    bool ReopenCommPort() override { return false; }
    bool ConfigureOpenComPort() override { return false; }
    void CloseCommPort() override {}
    bool WriteToBoard(std::uint8_t) override { return false; }
    bool IsSendingData() override { return false; }
    void StartLogging(const std::string &) override {}
    void StopLogging() override {}
    bool IsLogging() override { return false; }
    std::optional<std::string> GetLogFileName() override { return std::nullopt; }
    bool ReadByteFromBoard(std::uint8_t &, std::int32_t) override { return false; }
    bool IsLineUp() override { return false; }
    bool HasLostData() override { return false; }
    std::optional<std::string> GetOpenError() override { return loadError_; }
    std::optional<std::string> GetLogError() override { return std::nullopt; }

private:
    std::string loadError_;
};

std::filesystem::path ExecutableDir()
{
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

template <typename F>
bool Resolve(void *handle, const char *name, F &fn, std::string &error)
{
    fn = reinterpret_cast<F>(dlsym(handle, name));
    if (!fn)
        error = std::string(kLibraryName) + " lacks the function " + name;
    return fn != nullptr;
}

} // namespace

LoadedLibrary LoadSerialLibrary()
{
    const auto failed = [](const std::string &reason) {
        std::string error = "Cannot load the serial-interface library " + std::string(kLibraryName) + ": " + reason;
        return LoadedLibrary {std::make_unique<MissingLibrary>(error), error};
    };
    // The private folder by its path, not through a RUNPATH: the sanitizers'
    // dlopen makes their runtime the caller, whose RUNPATH the loader reads.
    std::string name = kLibraryName; // else the system's search path
    if (const auto dir = ExecutableDir(); !dir.empty()) {
        const auto own = dir / TOVRIK_LIBDIR_FROM_BIN / kLibraryName;
        if (std::filesystem::exists(own))
            name = own.string();
    }
    void *handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *why = dlerror();
        return failed(why ? why : "unknown reason");
    }
    Exports x {};
    std::string error;
    const bool complete = Resolve(handle, "Run", x.Run, error)
        && Resolve(handle, "OpenCommPort", x.OpenCommPort, error)
        && Resolve(handle, "OpenCommDevice", x.OpenCommDevice, error)
        && Resolve(handle, "ReopenCommPort", x.ReopenCommPort, error)
        && Resolve(handle, "ConfigureOpenComPort", x.ConfigureOpenComPort, error)
        && Resolve(handle, "CloseCommPort", x.CloseCommPort, error)
        && Resolve(handle, "WriteToBoard", x.WriteToBoard, error)
        && Resolve(handle, "IsSendingData", x.IsSendingData, error)
        && Resolve(handle, "StartLogging", x.StartLogging, error)
        && Resolve(handle, "StopLogging", x.StopLogging, error)
        && Resolve(handle, "IsLogging", x.IsLogging, error)
        && Resolve(handle, "GetLogFileName", x.GetLogFileName, error)
        && Resolve(handle, "ReadByteFromBoard", x.ReadByteFromBoard, error)
        && Resolve(handle, "IsLineUp", x.IsLineUp, error)
        && Resolve(handle, "HasLostData", x.HasLostData, error)
        && Resolve(handle, "GetOpenError", x.GetOpenError, error)
        && Resolve(handle, "GetLogError", x.GetLogError, error);
    if (!complete) {
        dlclose(handle);
        return failed(error);
    }
    return {std::make_unique<DynamicLibrary>(handle, x), {}};
}
