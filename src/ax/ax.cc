#include "ax/ax.h"

#include <algorithm>
#include <cmath>

#include "platform/services.h"
#include "text/unicode.h"

namespace AX {
namespace {

bool isFinite(Point p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}
bool isFinite(Size s) {
    return std::isfinite(s.width) && std::isfinite(s.height);
}

// The hit test works in single precision; the narrowed value is kept in a float so that it is not folded away.
double singlePrecision(double v) {
    volatile float narrowed = static_cast<float>(v);
    return narrowed;
}

bool offers(const std::vector<std::string>& actions, std::string_view name) {
    return std::find(actions.begin(), actions.end(), name) != actions.end();
}

}  // namespace

platform::Accessibility* backend() {
    return platform::services().accessibility;
}

std::optional<Element> application(int pid) {
    platform::Accessibility* accessibility = backend();
    if (!accessibility) return std::nullopt;
    return accessibility->application(pid);
}

std::optional<std::string> string(const Element& element, std::string_view name) {
    return attr<std::string>(element, name);
}

std::optional<std::string> role(const Element& element) {
    return string(element, "AXRole");
}

std::vector<Element> children(const Element& element) {
    platform::Accessibility* accessibility = backend();
    if (!accessibility) return {};
    return accessibility->children(element).value_or(std::vector<Element>{});
}

long childrenLeftOut(const Element& element) {
    platform::Accessibility* accessibility = backend();
    return accessibility ? accessibility->childrenLeftOut(element) : 0;
}

long unansweredRequests(const Element& element) {
    platform::Accessibility* accessibility = backend();
    return accessibility ? accessibility->unansweredRequests(element) : 0;
}

std::vector<Element> windows(const Element& application) {
    platform::Accessibility* accessibility = backend();
    if (!accessibility) return {};
    return accessibility->windows(application).value_or(std::vector<Element>{});
}

std::optional<Point> point(const Element& element, std::string_view name) {
    return attr<Point>(element, name);
}

std::optional<Size> size(const Element& element, std::string_view name) {
    return attr<Size>(element, name);
}

std::optional<Rect> frame(const Element& element) {
    const std::optional<Point> origin = point(element, "AXPosition");
    if (!origin) return std::nullopt;
    const std::optional<Size> extent = size(element, "AXSize");
    if (!extent) return std::nullopt;
    return Rect::of(*origin, *extent);
}

void setFrame(const Element& element, std::optional<Point> origin, std::optional<Size> extent) {
    platform::Accessibility* accessibility = backend();
    if (!accessibility) return;
    // Size first: a window moved first could be pushed back on screen by its old size.
    if (extent && isFinite(*extent)) accessibility->setSize(element, *extent);
    if (origin && isFinite(*origin)) accessibility->setPosition(element, *origin);
}

LabelSources readLabelSources(const Element& element) {
    return {string(element, "AXTitle"), string(element, "AXDescription"),      string(element, "AXIdentifier"),
            string(element, "AXHelp"),  string(element, "AXPlaceholderValue"), string(element, "AXLabel"),
            string(element, "AXValue")};
}

std::vector<std::string> labels(const Element& element) {
    return labels(element, readLabelSources(element));
}

std::vector<std::string> labels(const Element& element, const LabelSources& own, const std::vector<Element>* children) {
    std::vector<std::string> found;
    for (const std::optional<std::string>* value :
         {&own.title, &own.description, &own.identifier, &own.help, &own.placeholder, &own.label}) {
        if (*value && !(*value)->empty()) found.push_back(**value);
    }
    if (own.value && !own.value->empty() && text::graphemeCount(*own.value) <= kMaxValueLabelLength)
        found.push_back(*own.value);
    if (!found.empty()) return found;

    std::vector<Element> read;
    if (!children) {
        read = AX::children(element);
        children = &read;
    }
    const size_t looked = std::min(children->size(), kLabelChildrenLooked);
    for (size_t i = 0; i < looked; ++i) {
        const Element& child = (*children)[i];
        if (role(child) != kStaticTextRole) continue;
        std::optional<std::string> text = string(child, "AXValue");
        if (text && !text->empty()) found.push_back(std::move(*text));
    }
    return found;
}

Description describe(const Element& element) {
    Description description{role(element), std::nullopt};
    std::vector<std::string> found = labels(element);
    if (!found.empty()) description.label = std::move(found.front());
    return description;
}

std::vector<std::string> attrActions(const Element& element) {
    platform::Accessibility* accessibility = backend();
    if (!accessibility) return {};
    return accessibility->actionNames(element);
}

bool press(const Element& element) {
    platform::Accessibility* accessibility = backend();
    if (!accessibility) return false;
    const std::vector<std::string> actions = attrActions(element);
    if (offers(actions, "AXPress")) return accessibility->performAction(element, "AXPress");
    if (offers(actions, "AXConfirm")) return accessibility->performAction(element, "AXConfirm");
    return false;
}

void focus(const Element& element) {
    if (platform::Accessibility* accessibility = backend()) accessibility->setFocused(element);
}

std::optional<Element> elementAt(Point at) {
    platform::Accessibility* accessibility = backend();
    if (!accessibility || !isFinite(at)) return std::nullopt;
    std::optional<Element> hit = accessibility->elementAtPoint({singlePrecision(at.x), singlePrecision(at.y)});
    if (!hit) return std::nullopt;

    std::optional<Element> considered = hit;
    for (int i = 0; i < kHitTestClimb && considered; ++i) {
        const std::optional<std::string> itsRole = role(*considered);
        if (itsRole && std::ranges::find(kTextEntryRoles, *itsRole) != std::end(kTextEntryRoles)) return considered;
        if (itsRole && *itsRole != kStaticTextRole && !labels(*considered).empty()) return considered;
        if (i + 1 < kHitTestClimb) considered = accessibility->parent(*considered);
    }
    return hit;
}

}  // namespace AX
