#include "platform/linux/module_loader.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <string_view>

#include "base/capture_error.h"

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

namespace {

// The path of a loaded object whose file is named `fileName` (a module a test program is linked with), or
// empty. Read from the loader's own list: asking dlopen for the bare name, even with RTLD_NOLOAD, searches
// every library directory on disk first.
std::string loadedCopyOf(const char* fileName) {
    struct Search {
        std::string_view wanted;
        std::string found;
    } search{fileName, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto& search = *static_cast<Search*>(data);
            const std::string_view path = info->dlpi_name ? info->dlpi_name : "";
            const size_t slash = path.rfind('/');
            if (slash == std::string_view::npos || path.substr(slash + 1) != search.wanted) return 0;
            search.found = path;
            return 1;
        },
        &search);
    return search.found;
}

// The entry point of `file`, opening the module once per process: a copy that is in the process already
// (linked in) comes first, otherwise the one in the module directory.
ModuleEntryPoint entryPointOf(const ModuleFile& file) {
    const std::string loaded = loadedCopyOf(file.fileName);
    void* module = loaded.empty() ? nullptr : dlopen(loaded.c_str(), RTLD_LAZY | RTLD_LOCAL | RTLD_NOLOAD);
    if (!module) {
        const std::string path = moduleDirectory() + "/" + file.fileName;
        module = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
        if (!module) {
            const char* reason = dlerror();
            throw CaptureError(std::string("cannot load the ") + file.what + " module: " +
                               (reason ? reason : path + ": unknown error"));
        }
    }
    dlerror();
    void* entry = dlsym(module, kModuleEntrySymbol);
    if (!entry) {
        throw CaptureError(std::string("cannot load the ") + file.what + " module: " + file.fileName + " has no " +
                           kModuleEntrySymbol);
    }
    return reinterpret_cast<ModuleEntryPoint>(entry);
}

}  // namespace

const ModuleTable& LazyModule::table() {
    if (const ModuleTable* opened = table_.load(std::memory_order_acquire)) return *opened;
    std::lock_guard lock(opening_);
    if (!table_.load(std::memory_order_relaxed)) {
        const ModuleTable* opened = entryPointOf(file_)(context_);
        if (!opened) lacks("its table");
        table_.store(opened, std::memory_order_release);
    }
    return *table_.load(std::memory_order_relaxed);
}

void LazyModule::lacks(const char* what) const {
    throw CaptureError(std::string("cannot load the ") + file_.what + " module: " + file_.fileName + " gives no " +
                       what);
}

}  // namespace platform::linux_desktop
