#include "ax/tree.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/accessibility.h"
#include "platform/services.h"
#include "text/rounding.h"
#include "text/unicode.h"

namespace Tree {
namespace {

struct Pending {
    AX::Element element;
    int depth;
};

// `value` shortened, when it is a non-empty string.
std::optional<std::string> shortenedIfAny(const std::optional<std::string>& value) {
    if (!value || value->empty()) return std::nullopt;
    return shortened(*value);
}

// The first label, unless it merely repeats the title, description, identifier or value already recorded.
std::optional<std::string> distinctLabel(const ElementRecord& record, const std::vector<std::string>& labels) {
    if (labels.empty()) return std::nullopt;
    const std::string& first = labels.front();
    if (record.title == first || record.description == first || record.identifier == first) return std::nullopt;
    std::string cut = shortened(first);
    if (record.value == cut) return std::nullopt;
    return cut;
}

// Tells the accessibility service that a walk under `root` follows, so that it can fetch ahead what the walk
// reads, and that it has ended.
class WalkAhead {
public:
    WalkAhead(const AX::Element& root, long maxNodes, long maxDepth)
        : service_(platform::services().accessibility) {
        if (service_) service_->walkBegins(root, maxNodes, maxDepth);
    }
    ~WalkAhead() {
        if (service_) service_->walkEnded();
    }
    WalkAhead(const WalkAhead&) = delete;
    WalkAhead& operator=(const WalkAhead&) = delete;

private:
    platform::Accessibility* service_;
};

bool isHiddenAction(const std::string& action) {
    return action == "AXShowMenu" || action == "AXScrollToVisible";
}

// The record of one element. Each attribute is read once: the label list is built from the same reads as
// the record's strings, and the static-text fallback uses the children the walk reads anyway.
ElementRecord read(const AX::Element& element, int depth, AX::Point origin, const std::vector<AX::Element>& children) {
    ElementRecord record;
    record.depth = depth;
    record.role = AX::role(element).value_or("?");
    record.subrole = shortenedIfAny(AX::string(element, "AXSubrole"));
    const AX::LabelSources own = AX::readLabelSources(element);
    record.title = shortenedIfAny(own.title);
    record.description = shortenedIfAny(own.description);
    record.identifier = shortenedIfAny(own.identifier);
    record.help = shortenedIfAny(own.help);
    record.placeholder = shortenedIfAny(own.placeholder);
    record.value = shortenedIfAny(own.value);
    record.label = distinctLabel(record, AX::labels(element, own, &children));
    if (const std::optional<AX::Rect> frame = AX::frame(element)) {
        // A rectangle with a negative extent is read as its standard form: smallest x and y, positive size.
        const double left = std::min(frame->x, frame->x + frame->width);
        const double top = std::min(frame->y, frame->y + frame->height);
        record.frame = AX::Rect{r1(left - origin.x), r1(top - origin.y), r1(std::abs(frame->width)),
                             r1(std::abs(frame->height))};
    }
    record.actions = AX::attrActions(element);
    std::erase_if(record.actions, isHiddenAction);
    return record;
}

}  // namespace

double r1(double v) {
    return text::roundHalfAwayFromZero(v * 10) / 10;
}

std::string shortened(const std::string& s) {
    return text::graphemePrefix(s, kLongestRecordString);
}

Dump dump(const AX::Element& root, AX::Point origin, long maxNodes, long maxDepth) {
    Dump result;
    const WalkAhead ahead(root, maxNodes, maxDepth);
    std::vector<Pending> stack{{root, 0}};
    while (!stack.empty()) {
        Pending entry = std::move(stack.back());
        stack.pop_back();
        if (static_cast<long>(result.nodes.size()) >= maxNodes) {
            result.truncated = true;
            break;
        }
        std::vector<AX::Element> children = AX::children(entry.element);
        result.nodes.push_back(read(entry.element, entry.depth, origin, children));
        if (const long skipped = AX::childrenLeftOut(entry.element); skipped > 0)
            result.nodes.back().childrenSkipped = skipped;

        if (entry.depth < maxDepth) {
            for (auto child = children.rbegin(); child != children.rend(); ++child)
                stack.push_back({std::move(*child), entry.depth + 1});
        } else if (!children.empty()) {
            result.truncated = true;
        }
    }
    return result;
}

std::vector<std::string> menuBar(const AX::Element& app) {
    std::vector<std::string> titles;
    const std::optional<AX::Element> bar = AX::attr<AX::Element>(app, "AXMenuBar");
    if (!bar) return titles;
    for (const AX::Element& item : AX::children(*bar)) {
        std::optional<std::string> title = AX::string(item, "AXTitle");
        if (title && !title->empty()) titles.push_back(std::move(*title));
    }
    return titles;
}

Out::Message json(const ElementRecord& record) {
    Out::Message message = Out::Message::object();
    message["depth"] = record.depth;
    message["role"] = record.role;
    const std::pair<const char*, const std::optional<std::string>*> strings[] = {
        {"subrole", &record.subrole},       {"title", &record.title}, {"description", &record.description},
        {"identifier", &record.identifier}, {"help", &record.help},   {"placeholder", &record.placeholder},
        {"value", &record.value},           {"label", &record.label}};
    for (const auto& [key, value] : strings) {
        if (*value) message[key] = **value;
    }
    if (record.frame) {
        message["frame"] = {{"x", record.frame->x},
                            {"y", record.frame->y},
                            {"width", record.frame->width},
                            {"height", record.frame->height}};
    }
    if (!record.actions.empty()) message["actions"] = record.actions;
    if (record.childrenSkipped) message["childrenSkipped"] = *record.childrenSkipped;
    return message;
}

}  // namespace Tree
