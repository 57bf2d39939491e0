#pragma once
// Backends that only some commands need live in shared modules and are opened on first use, so that a
// command maps and relocates only the libraries it uses. An installed tool keeps them in its library
// directory (lib/<multiarch>/quorrel-capture beside bin/); a build tree has them beside the executable.

#include <atomic>
#include <mutex>
#include <string>

#include "platform/linux/module_entry.h"

namespace platform::linux_desktop {

/// One loadable module: its file name (looked up in the module directory) and what it is called in error
/// messages.
struct ModuleFile {
    const char* fileName;
    const char* what;
};

/// The directory of the running executable (from /proc/self/exe), without a trailing slash.
std::string executableDirectory();

/// Where the modules are: the installed module directory, reached from the executable's directory by the
/// relative path fixed when the tool was configured, when that directory exists; otherwise the
/// executable's own directory (a build tree, or a copy of the tool on its own).
std::string moduleDirectory();

/// A module as the executable holds it: opened when its table is first asked for, then kept for the
/// process's life. The service slots it fills (`offers`) open it on their first use.
class LazyModule {
public:
    LazyModule(ModuleFile file, ModuleContext context) : file_(file), context_(context) {}
    LazyModule(const LazyModule&) = delete;
    LazyModule& operator=(const LazyModule&) = delete;

    /// The module's table: on the first call the module is opened (a process that has it loaded already,
    /// a test program linked with it, uses that copy) and its entry point is called with the context.
    /// Throws CaptureError naming the module and the loader's reason when it is missing or has no entry
    /// point; the next call tries again.
    const ModuleTable& table();

    /// Makes each of `slots` (members of Services) find its service in this module's table on first use.
    template <auto... slots>
    void offers(Services& services) {
        ((services.*slots = {&serviceOf<slots>, this}), ...);
    }

    /// The check `member` of the module's table; throws CaptureError when the module does not answer it.
    template <typename Check>
    Check check(Check PermissionChecks::*member) {
        const Check found = table().checks.*member;
        if (!found) lacks("a permission check");
        return found;
    }

private:
    template <auto slot>
    static auto* serviceOf(void* module) {
        LazyModule& self = *static_cast<LazyModule*>(module);
        auto* service = (self.table().services.*slot).get();
        if (!service) self.lacks("a service it is opened for");
        return service;
    }

    // Throws CaptureError: the module's table lacks `what`.
    [[noreturn]] void lacks(const char* what) const;

    const ModuleFile file_;
    const ModuleContext context_;
    std::mutex opening_;
    std::atomic<const ModuleTable*> table_{nullptr};
};

}  // namespace platform::linux_desktop
