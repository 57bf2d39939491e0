#pragma once
// Other applications' interface elements, in the AX vocabulary: roles such as "AXButton", attributes such as
// "AXTitle", actions such as "AXPress". A backend presents its desktop's accessibility objects this way so
// that the core's search, labels and dumps mean the same everywhere.
//
// Nothing here throws: a failed, refused or timed-out call is absence (an empty optional, an empty list or
// false). Geometry is in global screen coordinates, origin at the top-left corner of the main screen, y down.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/geometry.h"

namespace platform {

/// The backend's own object behind an element handle. The backend releases what it holds in its destructor,
/// which runs exactly once, when the last handle to it goes away.
class ElementNode {
public:
    virtual ~ElementNode() = default;

    /// True when `other` denotes the same interface element (for example the same bus name and object path).
    virtual bool sameElement(const ElementNode& other) const = 0;
};

/// A reference-counted handle to one element of another application's interface. Copies share the node;
/// a handle is never null (absence is an empty optional).
class Element {
public:
    explicit Element(std::shared_ptr<const ElementNode> node) : node_(std::move(node)) {}

    /// The backend's node; backends downcast it to their own type.
    const ElementNode& node() const { return *node_; }

    /// True when both handles denote the same interface element.
    bool operator==(const Element& other) const { return node_ == other.node_ || node_->sameElement(*other.node_); }

private:
    std::shared_ptr<const ElementNode> node_;
};

using ElementList = std::vector<Element>;

/// An attribute's value. Text is UTF-8; numbers are doubles (a check box's state is the number 0 or 1).
using Value = std::variant<std::string, bool, double, Point, Size, Element, ElementList>;

/// Reads and writes the interface elements of other applications.
class Accessibility {
public:
    virtual ~Accessibility() = default;

    /// The value of the attribute named `name` ("AXRole", "AXTitle", "AXPosition", "AXMenuBar", ...), or
    /// nothing when the element has no such attribute, has no value for it, or does not answer. Answers
    /// "AXChildren", "AXParent" and "AXWindows" too, with the same values as the three reads below.
    virtual std::optional<Value> attribute(const Element& element, std::string_view name) = 0;

    /// The element's children in their order ("AXChildren"), or nothing when they cannot be read.
    virtual std::optional<ElementList> children(const Element& element) = 0;

    /// The element's parent ("AXParent"), or nothing (an application has no parent).
    virtual std::optional<Element> parent(const Element& element) = 0;

    /// An application element's top-level windows in their order ("AXWindows"), or nothing.
    virtual std::optional<ElementList> windows(const Element& application) = 0;

    /// The names of the actions the element offers now ("AXPress", "AXConfirm", "AXShowMenu", "AXRaise",
    /// ...), in the backend's order; empty when there are none or they cannot be read.
    virtual std::vector<std::string> actionNames(const Element& element) = 0;

    /// Performs the action named `action`; true exactly when the application reports success.
    virtual bool performAction(const Element& element, std::string_view action) = 0;

    /// Gives the element keyboard focus ("AXFocused" set to true); true when the request was accepted.
    virtual bool setFocused(const Element& element) = 0;

    /// Moves the element (a window) so that its top-left corner is at `position` ("AXPosition").
    virtual bool setPosition(const Element& element, Point position) = 0;

    /// Resizes the element (a window) to `size` ("AXSize").
    virtual bool setSize(const Element& element, Size size) = 0;

    /// The deepest element under the screen point `point`, or nothing when there is none or the hit test
    /// fails.
    virtual std::optional<Element> elementAtPoint(Point point) = 0;

    /// The application element of the process `pid`, or nothing when no such application exposes its
    /// interface.
    virtual std::optional<Element> application(int pid) = 0;

    /// How many of the element's children `children` left out because asking for them could hurt the
    /// application (a table of millions of cells, which its toolkit would build on demand); 0 when none.
    virtual long childrenLeftOut(const Element& element) {
        (void)element;
        return 0;
    }

    /// How many requests of this process the application behind `element` has let go unanswered (time out)
    /// so far: reads from it meanwhile may have come back empty although it had something to say.
    virtual long unansweredRequests(const Element& element) {
        (void)element;
        return 0;
    }

    /// Whether the window element `window` is a splash screen or something like it, no window a person works
    /// in: its toolkit or the window system says it is a splash screen, it bypasses the window manager, it
    /// takes no input, or it has no size anywhere. False when the backend cannot tell.
    virtual bool isSplashWindow(const Element& window) {
        (void)window;
        return false;
    }

    /// Says that a walk of the elements under `root` follows (at most `maxElements` of them, no deeper than
    /// `maxDepth` below it), reading each element's attributes, actions and children. A backend may fetch
    /// what the walk will read ahead, in fewer requests, and answer from that until `walkEnded`; the answers
    /// are the same as without it.
    virtual void walkBegins(const Element& root, long maxElements, long maxDepth) {
        (void)root, (void)maxElements, (void)maxDepth;
    }

    /// Ends what `walkBegins` started: later reads ask the application again.
    virtual void walkEnded() {}
};

}  // namespace platform
