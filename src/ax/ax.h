#pragma once
// Small, stateless operations on other applications' interface elements: typed attribute reads, geometry,
// the human-facing labels of an element, pressing, focusing and hit testing.
//
// A failed platform call is never an error here: every operation turns a missing value, a value of the
// wrong type or an unanswered call into absence (an empty optional, an empty list or false). Nothing here
// writes output or throws.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/accessibility.h"

namespace AX {

using Element = platform::Element;
using Point = platform::Point;
using Size = platform::Size;
using Rect = platform::Rect;

/// Role of the plain text pieces that label the controls around them.
inline constexpr std::string_view kStaticTextRole = "AXStaticText";

/// Longest `AXValue`, in user-perceived characters, that counts as a label of its own element.
inline constexpr size_t kMaxValueLabelLength = 199;

/// How many children the static-text label fallback looks at.
inline constexpr size_t kLabelChildrenLooked = 4;

/// How many elements the hit test considers: the element hit and up to three ancestors.
inline constexpr int kHitTestClimb = 4;

/// Roles of the places where text is typed (a document, a terminal's screen, an entry): a click there puts
/// the caret in that element, so the hit test attributes it to the element, labelled or not.
inline constexpr std::string_view kTextEntryRoles[] = {"AXTextArea", "AXTextField"};

/// The installed accessibility backend, or null when none is installed (every read is then absent).
platform::Accessibility* backend();

/// The attribute `name` of `element` when it is present and of type `T` (std::string, bool, double, Point,
/// Size, Element or platform::ElementList); otherwise nothing.
template <typename T>
std::optional<T> attr(const Element& element, std::string_view name) {
    platform::Accessibility* accessibility = backend();
    if (!accessibility) return std::nullopt;
    std::optional<platform::Value> value = accessibility->attribute(element, name);
    if (!value) return std::nullopt;
    if (T* typed = std::get_if<T>(&*value)) return std::move(*typed);
    return std::nullopt;
}

/// The application element of the process `pid`, or nothing when it exposes no interface.
std::optional<Element> application(int pid);

/// The attribute `name` read as a string.
std::optional<std::string> string(const Element& element, std::string_view name);

/// The element's `AXRole`.
std::optional<std::string> role(const Element& element);

/// The element's children in order; empty when they cannot be read.
std::vector<Element> children(const Element& element);

/// How many of the element's children `children` left out because asking for them could hurt the
/// application (the backend lists only those on screen, or none); 0 when none.
long childrenLeftOut(const Element& element);

/// How many requests the application behind `element` has let go unanswered so far (reads meanwhile may
/// have come back empty although it had something to say).
long unansweredRequests(const Element& element);

/// An application element's windows in order; empty when they cannot be read.
std::vector<Element> windows(const Element& application);

/// The attribute `name` read as a point.
std::optional<Point> point(const Element& element, std::string_view name);

/// The attribute `name` read as a size.
std::optional<Size> size(const Element& element, std::string_view name);

/// The element's frame from `AXPosition` and `AXSize`; nothing when either is missing.
std::optional<Rect> frame(const Element& element);

/// Writes the size first, then the origin; a value not given (or not finite) is not written, and the
/// backend's answers are ignored.
void setFrame(const Element& element, std::optional<Point> origin, std::optional<Size> size);

/// The element's labels, in order: its non-empty title, description, identifier, help, placeholder and
/// label attributes as they are, then a string `AXValue` of 1 to 199 characters. When that gives nothing,
/// the non-empty values of the static texts among its first four children.
std::vector<std::string> labels(const Element& element);

/// The string attributes an element's own labels come from, read once so that callers that also show them
/// do not ask the application twice.
struct LabelSources {
    std::optional<std::string> title;        // AXTitle
    std::optional<std::string> description;  // AXDescription
    std::optional<std::string> identifier;   // AXIdentifier
    std::optional<std::string> help;         // AXHelp
    std::optional<std::string> placeholder;  // AXPlaceholderValue
    std::optional<std::string> label;        // AXLabel
    std::optional<std::string> value;        // AXValue
};

/// Reads the label attributes of `element`.
LabelSources readLabelSources(const Element& element);

/// The labels of `element` from its already-read attributes; `children`, when given, are its children as
/// already read, used by the static-text fallback instead of reading them again.
std::vector<std::string> labels(const Element& element, const LabelSources& own,
                                const std::vector<Element>* children = nullptr);

/// An element's role and first label, either of which may be missing.
struct Description {
    std::optional<std::string> role;
    std::optional<std::string> label;
};

/// The element's role and its first label.
Description describe(const Element& element);

/// The names of the actions the element offers, in the backend's order; empty when unreadable.
std::vector<std::string> attrActions(const Element& element);

/// Performs "AXPress" when offered, else "AXConfirm" when offered; true exactly when the action was
/// performed successfully. Sends nothing and answers false when neither is offered.
bool press(const Element& element);

/// Asks for keyboard focus on the element; the answer is ignored.
void focus(const Element& element);

/// The element under the screen point, attributed to the nearest labelled, non-static-text element or text
/// entry (`kTextEntryRoles`) among the element hit and its first three ancestors; the element hit itself
/// when none qualifies. Nothing when the hit test fails.
std::optional<Element> elementAt(Point point);

}  // namespace AX
