#pragma once
// What the executable and a module exchange as the module is opened: the context the executable decided
// once at start, and the table of what the module hands over. Every module exports one entry point,
// defined with QC_MODULE_ENTRY, that returns its table; the executable's registration (linux_services.cc)
// says which of its services each module gives. Nothing forwards a service by hand.

#include "platform/linux/desktop/desktop_session.h"
#include "platform/services.h"

namespace platform::linux_desktop {

/// What a module is told as it is opened.
struct ModuleContext {
    DesktopSession session = DesktopSession::x11;
};

/// The checks behind the permissions (platform/permission_probe.h), each answered by the module that knows:
/// the desktop module says whether the screen can be read and whether input it makes reaches applications,
/// the bus library whether desktop accessibility is on.
struct PermissionChecks {
    bool (*screenPixelsReadable)() = nullptr;
    bool (*takesSyntheticInput)() = nullptr;
    bool (*accessibilityOn)() = nullptr;
    void (*turnAccessibilityOn)() = nullptr;
};

/// What a module hands over: the contract's services it offers (the others left empty) and the permission
/// checks it answers (the others left null). Owned by the module for the process's life.
struct ModuleTable {
    Services services{};
    PermissionChecks checks{};
};

/// The name every module's entry point has, and its type.
inline constexpr const char* kModuleEntrySymbol = "qc_module_services";
using ModuleEntryPoint = const ModuleTable* (*)(const ModuleContext& context);

}  // namespace platform::linux_desktop

/// Defines a module's entry point: `QC_MODULE_ENTRY(context) { static ... table{...}; return &table; }`.
#define QC_MODULE_ENTRY(context)                                                                 \
    extern "C" __attribute__((visibility("default"))) const platform::linux_desktop::ModuleTable* \
    qc_module_services([[maybe_unused]] const platform::linux_desktop::ModuleContext& context)
