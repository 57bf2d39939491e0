#include "platform/linux/module_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

#include "app/capture_error.h"
#include "platform/linux/bgra_scaler.h"
#include "platform/linux/module_services.h"

namespace platform::linux_desktop {

std::string executableDirectory() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    const std::string executable(path, static_cast<size_t>(length));
    const size_t slash = executable.rfind('/');
    return slash == std::string::npos ? "." : executable.substr(0, slash);
}

void* moduleFactory(const ModuleEntry& entry) {
    // A copy that is in the process already (linked in) comes first; otherwise the one beside the executable.
    void* module = dlopen(entry.fileName, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (!module) {
        const std::string path = executableDirectory() + "/" + entry.fileName;
        module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* reason = dlerror();
            throw CaptureError(std::string("cannot load the ") + entry.what + " module: " +
                               (reason ? reason : path + ": unknown error"));
        }
    }
    dlerror();
    void* factory = dlsym(module, entry.factorySymbol);
    if (!factory) {
        throw CaptureError(std::string("cannot load the ") + entry.what + " module: " + entry.fileName + " has no " +
                           entry.factorySymbol);
    }
    return factory;
}

std::unique_ptr<BgraScaler> makeBgraScaler() {
    using Factory = BgraScaler* (*)();
    return std::unique_ptr<BgraScaler>(reinterpret_cast<Factory>(moduleFactory(kBgraScalerEntry))());
}

}  // namespace platform::linux_desktop
