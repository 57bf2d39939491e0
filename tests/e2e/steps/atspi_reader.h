#pragma once
// An independent reader of other applications' interfaces for the step tests: libatspi used directly, so
// that what a run did is checked without going through the tool.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "step_clock.h"

typedef struct _AtspiAccessible AtspiAccessible;

namespace stepstest {

/// A reference to one accessible object; released when the handle goes.
class Accessible {
public:
    explicit Accessible(AtspiAccessible* object = nullptr) : object_(object) {}
    ~Accessible();
    Accessible(Accessible&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
    Accessible& operator=(Accessible&& other) noexcept;
    Accessible(const Accessible&) = delete;
    Accessible& operator=(const Accessible&) = delete;
    explicit operator bool() const { return object_ != nullptr; }
    AtspiAccessible* get() const { return object_; }

private:
    AtspiAccessible* object_;
};

/// The accessible application of process `pid`, waiting up to `timeoutSeconds` for it to register.
Accessible applicationOf(pid_t pid, double timeoutSeconds = 20);

/// The first object under `root` (breadth first, at most `budget` objects, showing or not) whose AT-SPI role
/// name (as atspi_accessible_get_role_name gives it: "text", "radio button", "menu item", ...) is `role` and
/// whose name contains `name` (any name when empty).
Accessible findObject(const Accessible& root, const std::string& role, const std::string& name = "",
                      int budget = 20000);

/// Every object under `root` (breadth first, at most `budget` objects) whose AT-SPI role name is `role`.
std::vector<Accessible> findAll(const Accessible& root, const std::string& role, int budget = 20000);

/// The names of the objects that label `object` ("labelled-by"), joined by a space.
std::string labelOf(const Accessible& object);

/// The whole text of the object's Text interface.
std::optional<std::string> textOf(const Accessible& object);

/// The texts of every text object of the application of process `pid`.
std::vector<std::string> textsOf(pid_t pid);

/// Whether one of the text objects of the application of process `pid` holds exactly `text`.
bool holdsText(pid_t pid, const std::string& text);

/// Whether the object is in the "checked" state.
bool isChecked(const Accessible& object);

/// Whether the object is in the "showing" state (on screen).
bool isShowing(const Accessible& object);

/// Whether the object is in the "selected" state (a menu item under the pointer, highlighted).
bool isSelected(const Accessible& object);

/// Whether the object is in the "focused" state (it has the keyboard focus).
bool isFocused(const Accessible& object);

/// An object's extents in screen coordinates, as its toolkit reports them.
struct Extents {
    int x, y, width, height;
};
std::optional<Extents> screenExtentsOf(const Accessible& object);

/// Polls `read` every 0.1 s until it gives `expected` or `timeoutSeconds` pass; returns the last value.
template <typename Read, typename Value>
auto eventually(Read read, const Value& expected, double timeoutSeconds = 10) -> decltype(read());

template <typename Read, typename Value>
auto eventually(Read read, const Value& expected, double timeoutSeconds) -> decltype(read()) {
    const double deadline = nowSeconds() + timeoutSeconds;
    auto value = read();
    while (!(value == expected) && nowSeconds() < deadline) {
        pauseSeconds(0.1);
        value = read();
    }
    return value;
}

}  // namespace stepstest
