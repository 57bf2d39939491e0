#include "fakes/fake_accessibility.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "platform/services.h"

namespace fakes {
namespace {

std::atomic<int> liveHandleCount{0};

struct FakeHandle final : platform::ElementNode {
    FakeHandle(const void* owner, int index) : owner(owner), index(index) { ++liveHandleCount; }
    ~FakeHandle() override { --liveHandleCount; }
    bool sameElement(const platform::ElementNode& other) const override {
        const auto* fake = dynamic_cast<const FakeHandle*>(&other);
        return fake && fake->owner == owner && fake->index == index;
    }
    const void* owner;
    int index;
};

}  // namespace

El::El(std::string role) {
    if (!role.empty()) attributes_["AXRole"] = std::move(role);
}

El& El::id(std::string name) {
    id_ = std::move(name);
    return *this;
}

El& El::attr(std::string name, platform::Value value) {
    attributes_.insert_or_assign(std::move(name), std::move(value));
    return *this;
}

El& El::frame(double x, double y, double width, double height) {
    attr("AXPosition", platform::Point{x, y});
    return attr("AXSize", platform::Size{width, height});
}

El& El::ref(std::string name, std::string target) {
    refs_[std::move(name)] = std::move(target);
    return *this;
}

El& El::actions(std::vector<std::string> names) {
    actions_ = std::move(names);
    return *this;
}

El& El::kids(std::vector<El> children) {
    children_ = std::move(children);
    return *this;
}

struct FakeAccessibility::Node {
    std::string name;
    int parent = -1;
    int pid = 0;
    std::vector<int> children;
    std::map<std::string, platform::Value, std::less<>> attributes;
    std::map<std::string, std::string, std::less<>> refs;
    std::vector<std::string> actions;
    bool hidden = false;
    bool unresponsive = false;
};

FakeAccessibility::FakeAccessibility() = default;
FakeAccessibility::~FakeAccessibility() = default;

int FakeAccessibility::liveHandles() {
    return liveHandleCount;
}

int FakeAccessibility::build(const El& tree, int parent, int pid) {
    const int index = static_cast<int>(nodes_.size());
    auto node = std::make_unique<Node>();
    node->name = tree.id_.empty() ? "#" + std::to_string(index) : tree.id_;
    node->parent = parent;
    node->pid = pid;
    node->attributes = tree.attributes_;
    node->refs = tree.refs_;
    node->actions = tree.actions_;
    nodes_.push_back(std::move(node));
    if (!tree.id_.empty()) named_[tree.id_] = index;
    for (const El& child : tree.children_) {
        const int childIndex = build(child, index, pid);
        nodes_[index]->children.push_back(childIndex);
    }
    return index;
}

platform::Element FakeAccessibility::addApplication(int pid, const El& tree) {
    const int index = build(tree, -1, pid);
    applications_[pid] = index;
    return handle(index);
}

void FakeAccessibility::addChild(const std::string& parent, const El& tree) {
    const int parentIndex = named_.at(parent);
    const int index = build(tree, parentIndex, nodes_[parentIndex]->pid);
    nodes_[parentIndex]->children.push_back(index);
}

platform::Element FakeAccessibility::handle(int index) const {
    return platform::Element(std::make_shared<FakeHandle>(this, index));
}

platform::Element FakeAccessibility::element(const std::string& name) const {
    const auto found = named_.find(name);
    if (found == named_.end()) throw std::out_of_range("no fake element named " + name);
    return handle(found->second);
}

std::string FakeAccessibility::nameOf(const platform::Element& element) const {
    const auto* fake = dynamic_cast<const FakeHandle*>(&element.node());
    if (!fake || fake->owner != this) return "?";
    return nodes_[fake->index]->name;
}

void FakeAccessibility::setHidden(const std::string& name, bool hidden) {
    nodes_[named_.at(name)]->hidden = hidden;
}

void FakeAccessibility::setUnresponsive(const std::string& name, bool unresponsive) {
    nodes_[named_.at(name)]->unresponsive = unresponsive;
}

void FakeAccessibility::setAttribute(const std::string& name, const std::string& attribute, platform::Value value) {
    nodes_[named_.at(name)]->attributes.insert_or_assign(attribute, std::move(value));
}

void FakeAccessibility::onAction(const std::string& name, const std::string& action, std::function<void()> effect) {
    effects_[{named_.at(name), action}] = std::move(effect);
}

size_t FakeAccessibility::touchedElements() const {
    return touched_.size();
}

FakeAccessibility::Node* FakeAccessibility::nodeOf(const platform::Element& element) {
    const auto* fake = dynamic_cast<const FakeHandle*>(&element.node());
    if (!fake || fake->owner != this) return nullptr;
    return nodes_[fake->index].get();
}

FakeAccessibility::Node* FakeAccessibility::answering(const platform::Element& element, const std::string& call,
                                                      std::string_view argument) {
    Node* node = nodeOf(element);
    std::string line = call + " " + (node ? node->name : "?");
    if (!argument.empty()) line += " " + std::string(argument);
    calls.push_back(std::move(line));
    if (!node) return nullptr;
    touched_.insert(static_cast<const FakeHandle&>(element.node()).index);
    return node->unresponsive ? nullptr : node;
}

std::optional<platform::Value> FakeAccessibility::attribute(const platform::Element& element, std::string_view name) {
    if (name == "AXChildren") {
        if (auto list = children(element)) return platform::Value(std::move(*list));
        return std::nullopt;
    }
    if (name == "AXParent") {
        if (auto up = parent(element)) return platform::Value(std::move(*up));
        return std::nullopt;
    }
    if (name == "AXWindows") {
        if (auto list = windows(element)) return platform::Value(std::move(*list));
        return std::nullopt;
    }
    Node* node = answering(element, "attribute", name);
    if (!node) return std::nullopt;
    if (const auto ref = node->refs.find(name); ref != node->refs.end()) {
        const auto target = named_.find(ref->second);
        if (target == named_.end()) return std::nullopt;
        return platform::Value(handle(target->second));
    }
    const auto found = node->attributes.find(name);
    if (found == node->attributes.end()) return std::nullopt;
    return found->second;
}

std::optional<platform::ElementList> FakeAccessibility::children(const platform::Element& element) {
    Node* node = answering(element, "children");
    if (!node) return std::nullopt;
    platform::ElementList list;
    for (int child : node->children) {
        if (!nodes_[child]->hidden) list.push_back(handle(child));
    }
    return list;
}

std::optional<platform::Element> FakeAccessibility::parent(const platform::Element& element) {
    Node* node = answering(element, "parent");
    if (!node || node->parent < 0) return std::nullopt;
    return handle(node->parent);
}

std::optional<platform::ElementList> FakeAccessibility::windows(const platform::Element& application) {
    Node* node = answering(application, "windows");
    if (!node) return std::nullopt;
    platform::ElementList list;
    for (int child : node->children) {
        const Node& candidate = *nodes_[child];
        const auto role = candidate.attributes.find("AXRole");
        if (candidate.hidden || role == candidate.attributes.end()) continue;
        if (role->second == platform::Value(std::string("AXWindow"))) list.push_back(handle(child));
    }
    return list;
}

std::vector<std::string> FakeAccessibility::actionNames(const platform::Element& element) {
    Node* node = answering(element, "actions");
    if (!node) return {};
    return node->actions;
}

bool FakeAccessibility::performAction(const platform::Element& element, std::string_view action) {
    Node* node = answering(element, "perform", action);
    if (!node) return false;
    if (std::find(node->actions.begin(), node->actions.end(), action) == node->actions.end()) return false;
    const int index = static_cast<const FakeHandle&>(element.node()).index;
    if (const auto effect = effects_.find({index, std::string(action)}); effect != effects_.end()) effect->second();
    return true;
}

bool FakeAccessibility::setFocused(const platform::Element& element) {
    Node* node = answering(element, "setFocused");
    if (!node) return false;
    for (auto& each : nodes_) {
        if (each->pid == node->pid) each->attributes.erase("AXFocused");
    }
    node->attributes["AXFocused"] = true;
    return true;
}

bool FakeAccessibility::setPosition(const platform::Element& element, platform::Point position) {
    Node* node = answering(element, "setPosition");
    if (!node) return false;
    node->attributes["AXPosition"] = position;
    return true;
}

bool FakeAccessibility::setSize(const platform::Element& element, platform::Size size) {
    Node* node = answering(element, "setSize");
    if (!node) return false;
    node->attributes["AXSize"] = size;
    return true;
}

bool FakeAccessibility::contains(const Node& node, platform::Point point) const {
    const auto position = node.attributes.find("AXPosition");
    const auto size = node.attributes.find("AXSize");
    if (position == node.attributes.end() || size == node.attributes.end()) return false;
    const auto* origin = std::get_if<platform::Point>(&position->second);
    const auto* extent = std::get_if<platform::Size>(&size->second);
    return origin && extent && point.x >= origin->x && point.y >= origin->y && point.x < origin->x + extent->width &&
           point.y < origin->y + extent->height;
}

// The deepest shown element under the point within the subtree at `index`; later siblings lie on top.
std::optional<int> FakeAccessibility::deepestAt(int index, platform::Point point) const {
    const Node& node = *nodes_[index];
    if (node.hidden) return std::nullopt;
    for (auto child = node.children.rbegin(); child != node.children.rend(); ++child) {
        if (auto deeper = deepestAt(*child, point)) return deeper;
    }
    if (contains(node, point)) return index;
    return std::nullopt;
}

std::optional<platform::Element> FakeAccessibility::elementAtPoint(platform::Point point) {
    calls.push_back("hitTest");
    if (hitTestFails_) return std::nullopt;
    if (hit_) return element(*hit_);
    for (const auto& [pid, index] : applications_) {
        if (auto found = deepestAt(index, point)) return handle(*found);
    }
    return std::nullopt;
}

std::optional<platform::Element> FakeAccessibility::application(int pid) {
    const auto found = applications_.find(pid);
    if (found == applications_.end()) return std::nullopt;
    return handle(found->second);
}

FakeAccessibility::Installed::Installed(FakeAccessibility& backend) : previous_(platform::services().accessibility) {
    platform::services().accessibility = &backend;
}

FakeAccessibility::Installed::~Installed() {
    platform::services().accessibility = previous_;
}

}  // namespace fakes
