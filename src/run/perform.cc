#include "run/perform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "base/bridge.h"
#include "base/capture_error.h"
#include "base/out.h"
#include "ax/ax.h"
#include "ax/search.h"
#include "ax/suggest.h"
#include "input/input.h"
#include "ax/filled_menu.h"
#include "ax/popover_menu.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "text/joined.h"

namespace run {
namespace {

std::string stepNumber(size_t index) {
    return std::to_string(index + 1);
}

// Whole milliseconds with the fraction dropped. The step's own `ms` is used rather than the timeout in
// seconds times 1000, so that no rounding of the division shows in the message.
std::string wholeMilliseconds(const std::optional<double>& ms) {
    double whole = std::trunc(ms.value_or(kTargetTimeoutSeconds * 1000));
    if (whole == 0) whole = 0;  // no "-0"
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", whole);
    return text;
}

double lookupTimeoutSeconds(const jobs::Step& step) {
    return step.ms ? *step.ms / 1000 : kTargetTimeoutSeconds;
}

bool namesTarget(const jobs::Step& step) {
    return step.role || step.label;
}

platform::Point centre(const platform::Rect& frame) {
    return {frame.x + frame.width / 2, frame.y + frame.height / 2};
}

// A scroll amount in pixels truncated toward zero, kept within the signed 32-bit range.
int32_t wheelAmount(double pixels) {
    const double truncated = std::trunc(pixels);
    constexpr double lowest = std::numeric_limits<int32_t>::min();
    constexpr double highest = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::clamp(truncated, lowest, highest));
}

// The step's target, waited for across the window, the application's windows and the application.
platform::Element target(const jobs::Step& step, size_t index, const std::optional<platform::Element>& axApp,
                         const std::optional<platform::Element>& window) {
    if (!namesTarget(step))
        throw CaptureError("step " + stepNumber(index) + " (" + step.action + ") needs role and/or label",
                           "bad_request");
    if (axApp) {
        if (auto found = AX::wait(*axApp, window, step.role, step.label, lookupTimeoutSeconds(step))) return *found;
    } else {
        // Nothing can appear in an application without an interface; the step still takes its time.
        platform::services().clock->sleep(std::max(0.0, lookupTimeoutSeconds(step)));
    }
    const auto suggestions = window ? Suggest::closest(step.role, step.label, {*window}, kTargetSuggestions)
                                    : std::vector<std::string>{};
    throw CaptureError("step " + stepNumber(index) + " (" + step.action + "): no element with " +
                           targetWords(step.role, step.label) + " after " + wholeMilliseconds(step.ms) +
                           " ms; closest now: " + text::joined(suggestions, ", "),
                       "not_found");
}

// The element's frame, read again every 0.15 s until the host clock reaches `deadlineHostSeconds`; read at
// least once. An element can be in the tree a moment before it has a place on screen (a page's button in
// Firefox gets its extents after the page is drawn).
std::optional<platform::Rect> frameBy(const platform::Element& element, double deadlineHostSeconds) {
    platform::Clock& clock = *platform::services().clock;
    for (;;) {
        if (auto frame = AX::frame(element)) return frame;
        const double left = deadlineHostSeconds - clock.hostSeconds();
        if (!(left > 0)) return std::nullopt;
        clock.sleep(std::min(AX::kWaitSleepSeconds, left));
    }
}

// Logs a click at the centre of the element's `frame` with its role and first label, when it acts in the
// recorded window. A target found in another top-level window of the application (a compose window, a
// dialog of its own) is still acted on, but its click is not logged: the movie does not show that window,
// and a point of it would be read as a point of the recorded one. One line on standard error names the step
// and the window it acted in instead. The recording does not follow that window.
platform::Point logClickAt(const platform::Element& element, const platform::Rect& frame, ClickLog& log,
                           size_t index, const std::string& action, const std::optional<platform::Element>& window) {
    const platform::Point point = centre(frame);
    const auto itsWindow = AX::attr<platform::Element>(element, "AXWindow");
    const bool elsewhere = window && itsWindow && !(*itsWindow == *window);
    if (elsewhere) {
        Out::log("step " + stepNumber(index) + " (" + action + "): acted in the window \"" +
                 AX::string(*itsWindow, "AXTitle").value_or("") + "\", which is not recorded; its click is not logged");
        return point;
    }
    if (!log.contains(point.x, point.y)) return point;
    const std::vector<std::string> labels = AX::labels(element);
    log.log(point.x, point.y, AX::role(element),
            labels.empty() ? std::nullopt : std::optional<std::string>(labels.front()));
    return point;
}

// Logs a click at the element's centre as `logClickAt` does; false when it has no frame.
bool logClickAtCentre(const platform::Element& element, ClickLog& log, size_t index, const std::string& action,
                      const std::optional<platform::Element>& window) {
    const auto frame = AX::frame(element);
    if (!frame) return false;
    logClickAt(element, *frame, log, index, action, window);
    return true;
}

// Keys that did not reach the application fail the step: typing into whatever else has the focus, or
// into nothing, is not what the step asked for.
CaptureError keysNotDelivered(const jobs::Step& step, size_t index) {
    return CaptureError("step " + stepNumber(index) + " (" + step.action +
                        "): the keys could not be delivered: no window of the application took the keyboard focus");
}

// The pointer is the fallback where an element cannot be pressed; at a point on no window of the
// application it would click something else, so the step fails instead.
void pointerClick(platform::Point point, size_t index, const std::string& action, int32_t pid) {
    if (!Input::reaches(point, pid))
        throw CaptureError("step " + stepNumber(index) + " (" + action + "): the element's centre (" +
                           std::to_string(std::lround(point.x)) + ", " + std::to_string(std::lround(point.y)) +
                           ") lies on no window of the application");
    Input::click(point);
}

void click(const jobs::Step& step, size_t index, int32_t pid, const std::optional<platform::Element>& axApp,
           const std::optional<platform::Element>& window, ClickLog& log) {
    // The target and its frame share the step's lookup time.
    const double deadline = platform::services().clock->hostSeconds() + lookupTimeoutSeconds(step);
    const platform::Element element = target(step, index, axApp, window);
    const std::optional<platform::Rect> frame = frameBy(element, deadline);
    if (!frame) throw CaptureError("step " + stepNumber(index) + ": element has no frame");
    const platform::Point point = logClickAt(element, *frame, log, index, step.action, window);
    if (!AX::press(element)) pointerClick(point, index, step.action, pid);
    bridge::pause(kPauseAfterClickSeconds);
}

void type(const jobs::Step& step, size_t index, int32_t pid, const std::optional<platform::Element>& axApp,
          const std::optional<platform::Element>& window, ClickLog& log) {
    if (namesTarget(step)) {
        const platform::Element element = target(step, index, axApp, window);
        AX::focus(element);
        logClickAtCentre(element, log, index, step.action, window);
        bridge::pause(kPauseAfterTypeFocusSeconds);
    }
    if (!Input::type(step.value ? *step.value : step.text.value_or(""), pid)) throw keysNotDelivered(step, index);
    bridge::pause(kPauseAfterTypingSeconds);
}

// At the target's centre, else the window's; a window without an element frame is scrolled at the centre
// of the area being recorded, never at a corner of the screen (where a desktop may act on its own).
void scroll(const jobs::Step& step, size_t index, const std::optional<platform::Element>& axApp,
            const std::optional<platform::Element>& window, const ClickLog& log) {
    std::optional<platform::Rect> frame;
    if (namesTarget(step)) frame = AX::frame(target(step, index, axApp, window));
    if (!frame && window) frame = AX::frame(*window);
    const jobs::Rect& recorded = log.rect();
    const platform::Point point =
        frame ? centre(*frame) : platform::Point{recorded.x + recorded.width / 2, recorded.y + recorded.height / 2};
    Input::scroll(point, wheelAmount(-step.x.value_or(0)), wheelAmount(-step.y.value_or(kDefaultScrollPixels)));
    bridge::pause(kPauseAfterScrollSeconds);
}

void wait(const jobs::Step& step) {
    bridge::pause(step.ms ? std::min(*step.ms / 1000, kLongestWaitSeconds) : kDefaultWaitSeconds);
}

// Presses the element through the accessibility interface, else clicks it with the pointer where that
// reaches the application.
void pressOrClick(const platform::Element& element, size_t index, int32_t pid) {
    if (AX::press(element)) return;
    const auto frame = AX::frame(element);
    if (!frame) throw CaptureError("step " + stepNumber(index) + ": element has no frame");
    pointerClick(centre(*frame), index, "menu", pid);
}

// A menu behind a button of the window: the first title is that button, whose press opens a pop-over, and
// every later title is an item of that pop-over.
void popoverMenu(const jobs::Step& step, size_t index, int32_t pid, const platform::Element& button) {
    const std::vector<std::string>& path = *step.path;
    pressOrClick(button, index, pid);
    bridge::pause(kPauseAfterMenuItemSeconds);
    for (size_t t = 1; t < path.size(); ++t) {
        const auto found = AX::popoverItem(button, path[t]);
        if (!found)
            throw CaptureError("step " + stepNumber(index) + ": menu item " + path[t] +
                                   " not found; closest: " + Suggest::shownMenuTitles(AX::popoverTitles(button), path[t]),
                               "not_found");
        // An item whose press had no effect that could be seen fails the step rather than counting as chosen.
        if (!AX::press(*found))
            throw CaptureError("step " + stepNumber(index) + ": menu item " + path[t] +
                               " was pressed but no effect of it could be seen");
        bridge::pause(kPauseAfterMenuItemSeconds);
    }
    bridge::pause(kPauseAfterLastMenuItemSeconds);
}

CaptureError menuTitleMissing(size_t index, const std::string& title, const std::string& closest) {
    return CaptureError("step " + stepNumber(index) + ": menu item " + title + " not found; closest: " + closest,
                        "not_found");
}

// Presses the menu bar item and then each menu item of the path in turn, each searched inside the item
// pressed before it (whose menu that press opened). A first title that is no menu-bar title but names a
// button of the window (a menu, toggle or pop-up button) opens the menu as a pop-over.
void menu(const jobs::Step& step, size_t index, int32_t pid, const std::optional<platform::Element>& axApp,
          const std::optional<platform::Element>& window) {
    if (!step.path || step.path->empty())
        throw CaptureError("step " + stepNumber(index) + ": menu needs a path", "bad_request");
    const std::string& first = step.path->front();
    const auto bar = axApp ? AX::attr<platform::Element>(*axApp, "AXMenuBar") : std::nullopt;
    const auto barItem = bar ? AX::find(*bar, "AXMenuBarItem", first, AX::kMenuSearchBudget) : std::nullopt;
    if (!barItem) {
        // Without an interface there is nothing to look in, nor to suggest.
        if (!bar && !window) throw CaptureError("no menu bar");
        if (const auto button = window ? AX::menuButton(*window, first) : std::nullopt) {
            popoverMenu(step, index, pid, *button);
            return;
        }
        throw menuTitleMissing(index, first,
                               bar ? Suggest::menuTitles(*bar, first)
                                   : Suggest::shownMenuTitles(AX::menuButtonTitles(*window), first));
    }
    std::optional<platform::Element> current;
    for (const std::string& title : *step.path) {
        // A menu that the application fills as it opens is given the step's time to show its items.
        const auto found = !current ? barItem : AX::itemOnceFilled(*current, title, lookupTimeoutSeconds(step));
        if (!found) {
            const std::vector<platform::Element> opened = AX::children(*current);
            throw menuTitleMissing(index, title, Suggest::menuTitles(opened.empty() ? *current : opened.front(), title));
        }
        AX::press(*found);
        bridge::pause(kPauseAfterMenuItemSeconds);
        current = found;
    }
    bridge::pause(kPauseAfterLastMenuItemSeconds);
}

}  // namespace

std::string targetWords(const std::optional<std::string>& role, const std::optional<std::string>& label) {
    return "role " + role.value_or("*") + " and label " + (label ? "\"" + *label + "\"" : std::string("*"));
}

bool targeted(const jobs::Step& step) {
    if (step.action == "click" || step.action == "focus") return true;
    return (step.action == "type" || step.action == "scroll") && namesTarget(step);
}

bool changesUI(const jobs::Step& step) {
    for (const char* action : {"click", "press", "type", "menu", "scroll"})
        if (step.action == action) return true;
    return false;
}

void perform(const jobs::Step& step, size_t index, int32_t pid, const std::optional<platform::Element>& axApp,
             const std::optional<platform::Element>& window, ClickLog& log) {
    const std::string& action = step.action;
    if (action == "click") {
        click(step, index, pid, axApp, window, log);
    } else if (action == "focus") {
        AX::focus(target(step, index, axApp, window));
    } else if (action == "type") {
        type(step, index, pid, axApp, window, log);
    } else if (action == "press") {
        if (!Input::press(step.key.value_or("enter"), pid)) throw keysNotDelivered(step, index);
        bridge::pause(kPauseAfterKeySeconds);
    } else if (action == "scroll") {
        scroll(step, index, axApp, window, log);
    } else if (action == "wait") {
        wait(step);
    } else if (action == "menu") {
        menu(step, index, pid, axApp, window);
    } else {
        throw CaptureError("unknown step action " + action, "bad_request");
    }
}

}  // namespace run
