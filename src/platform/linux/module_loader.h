#pragma once
// Backends that only some commands need live in shared modules and are opened on first use, so that a
// command maps and relocates only the libraries it uses. An installed tool keeps them in its library
// directory (lib/<multiarch>/quorrel-capture beside bin/); a build tree has them beside the executable.

#include <mutex>
#include <string>

namespace platform::linux_desktop {

/// One loadable module: its file name (looked up in the module directory), the C symbol of the
/// function that returns its service, and what it is called in error messages.
struct ModuleEntry {
    const char* fileName;
    const char* factorySymbol;
    const char* what;
};

/// The directory of the running executable (from /proc/self/exe), without a trailing slash.
std::string executableDirectory();

/// Where the modules are: the installed module directory, reached from the executable's directory by the
/// relative path fixed when the tool was configured, when that directory exists; otherwise the
/// executable's own directory (a build tree, or a copy of the tool on its own).
std::string moduleDirectory();

/// The address of `entry`'s factory, opening the module once per process. A process that already has the
/// module loaded (a test program linked with it) uses that copy. Throws CaptureError naming the module and
/// the loader's reason when it is missing or broken.
void* moduleFactory(const ModuleEntry& entry);

/// The service that `entry`'s factory returns: `Service* factory()`, owned by the module for the process's
/// life. Loaded on the first call; later calls return the same object.
template <typename Service>
class ModuleService {
public:
    explicit constexpr ModuleService(const ModuleEntry& entry) : entry_(entry) {}

    Service& get() {
        std::call_once(loaded_, [this] {
            using Factory = Service* (*)();
            service_ = reinterpret_cast<Factory>(moduleFactory(entry_))();
        });
        return *service_;
    }

private:
    const ModuleEntry& entry_;
    std::once_flag loaded_;
    Service* service_ = nullptr;
};

}  // namespace platform::linux_desktop
