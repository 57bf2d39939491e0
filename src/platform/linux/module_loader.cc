#include "platform/linux/module_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <sys/stat.h>

#include <climits>
#include <filesystem>

#include "base/capture_error.h"
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

std::string moduleDirectory() {
    // The build defines the installed module directory relative to the installed executable's directory
    // (for example ../lib/x86_64-linux-gnu/quorrel-capture), so an installed tree can be moved or
    // unpacked under another root as a whole. /proc/self/exe has every symbolic link resolved, so ".."
    // can be taken lexically.
    const std::string executable = executableDirectory();
    std::string installed =
        (std::filesystem::path(executable) / QC_MODULE_DIRECTORY_FROM_BINDIR).lexically_normal().string();
    if (installed.size() > 1 && installed.back() == '/') installed.pop_back();
    struct stat info {};
    if (::stat(installed.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return installed;
    return executable;
}

void* moduleFactory(const ModuleEntry& entry) {
    // A copy that is in the process already (linked in) comes first; otherwise the one in the module
    // directory.
    void* module = dlopen(entry.fileName, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (!module) {
        const std::string path = moduleDirectory() + "/" + entry.fileName;
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

}  // namespace platform::linux_desktop
