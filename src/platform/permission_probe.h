#pragma once
// What the desktop says about the two permissions the tool needs.

namespace platform {

class PermissionProbe {
public:
    virtual ~PermissionProbe() = default;

    /// True when this process may read the screen's pixels. Asked afresh at every call.
    virtual bool screenRecording() = 0;

    /// True when this process may read other applications' interfaces and post input to them.
    virtual bool accessibility() = 0;

    /// Asks the desktop for screen recording; the outcome is read later with `screenRecording`.
    virtual void requestScreenRecording() = 0;

    /// Asks the desktop for accessibility; the outcome is read later with `accessibility`.
    virtual void requestAccessibility() = 0;
};

}  // namespace platform
