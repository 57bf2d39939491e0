#pragma once
// An in-memory accessibility backend: element trees built from literals, with real state. Windows move and
// resize, focus moves, actions are logged and may change the tree, elements may be hidden or stop answering,
// and every call the core makes is logged so that tests can check what was read and written, and in which
// order.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/accessibility.h"

namespace fakes {

/// A literal description of one element and its subtree.
class El {
public:
    /// An element with the role `role`; an empty role leaves `AXRole` unset.
    explicit El(std::string role = "");

    /// A name the test uses to get the element back (`FakeAccessibility::element`).
    El& id(std::string name);
    El& attr(std::string name, platform::Value value);
    El& title(std::string text) { return attr("AXTitle", std::move(text)); }
    El& description(std::string text) { return attr("AXDescription", std::move(text)); }
    El& help(std::string text) { return attr("AXHelp", std::move(text)); }
    El& subrole(std::string text) { return attr("AXSubrole", std::move(text)); }
    El& value(std::string text) { return attr("AXValue", std::move(text)); }
    El& number(double v) { return attr("AXValue", v); }
    El& frame(double x, double y, double width, double height);
    /// An attribute whose value is the element named `target` (by `id`), looked up when read.
    El& ref(std::string name, std::string target);
    El& actions(std::vector<std::string> names);
    El& kids(std::vector<El> children);

private:
    friend class FakeAccessibility;
    std::string id_;
    std::map<std::string, platform::Value, std::less<>> attributes_;
    std::map<std::string, std::string, std::less<>> refs_;
    std::vector<std::string> actions_;
    std::vector<El> children_;
};

/// The in-memory backend. Install it with `platform::install` or `Installed`.
class FakeAccessibility final : public platform::Accessibility {
public:
    FakeAccessibility();
    ~FakeAccessibility() override;

    /// Adds an application with process id `pid` whose tree is `tree`; returns its element. Its windows are
    /// its children with the role "AXWindow".
    platform::Element addApplication(int pid, const El& tree);

    /// Adds `tree` as the last child of the element named `parent`.
    void addChild(const std::string& parent, const El& tree);

    /// The element named `name`; fails the test (throws) when there is none.
    platform::Element element(const std::string& name) const;

    /// The name of `element` (its `id`, or "#<number>" when it has none).
    std::string nameOf(const platform::Element& element) const;

    /// Hides or shows an element: hidden elements are left out of their parent's children.
    void setHidden(const std::string& name, bool hidden);

    /// Makes every read of the element come back absent and every write fail, like a frozen application.
    void setUnresponsive(const std::string& name, bool unresponsive);

    /// Sets or replaces one attribute.
    void setAttribute(const std::string& name, const std::string& attribute, platform::Value value);

    /// What performing `action` on the element named `name` does, besides being logged.
    void onAction(const std::string& name, const std::string& action, std::function<void()> effect);

    /// The element the hit test reports for any point; unset: the deepest shown element containing the point.
    void setHit(std::optional<std::string> name) { hit_ = std::move(name); }

    /// Makes the hit test fail.
    void setHitTestFails(bool fails) { hitTestFails_ = fails; }

    /// Every call made, in order, as "<call> <element name>[ <argument>]": "attribute save AXTitle",
    /// "children window", "actions save", "perform save AXPress", "setSize window", "setPosition window",
    /// "setFocused field", "hitTest", "parent label".
    std::vector<std::string> calls;

    /// The distinct elements the core has touched since the last `clearCalls`.
    size_t touchedElements() const;
    void clearCalls() {
        calls.clear();
        touched_.clear();
    }

    /// Element handles currently alive (each node is released exactly once when its last handle goes).
    static int liveHandles();

    std::optional<platform::Value> attribute(const platform::Element& element, std::string_view name) override;
    std::optional<platform::ElementList> children(const platform::Element& element) override;
    std::optional<platform::Element> parent(const platform::Element& element) override;
    std::optional<platform::ElementList> windows(const platform::Element& application) override;
    std::vector<std::string> actionNames(const platform::Element& element) override;
    bool performAction(const platform::Element& element, std::string_view action) override;
    bool setFocused(const platform::Element& element) override;
    bool setPosition(const platform::Element& element, platform::Point position) override;
    bool setSize(const platform::Element& element, platform::Size size) override;
    std::optional<platform::Element> elementAtPoint(platform::Point point) override;
    std::optional<platform::Element> application(int pid) override;

    /// Installs a backend for the lifetime of the object, keeping the other services.
    class Installed {
    public:
        explicit Installed(FakeAccessibility& backend);
        ~Installed();
        Installed(const Installed&) = delete;
        Installed& operator=(const Installed&) = delete;

    private:
        platform::Accessibility* previous_;
    };

private:
    struct Node;
    int build(const El& tree, int parent, int pid);
    platform::Element handle(int index) const;
    Node* nodeOf(const platform::Element& element);
    Node* answering(const platform::Element& element, const std::string& call, std::string_view argument = {});
    bool contains(const Node& node, platform::Point point) const;
    std::optional<int> deepestAt(int index, platform::Point point) const;

    std::vector<std::unique_ptr<Node>> nodes_;
    std::map<std::string, int> named_;
    std::map<int, int> applications_;  // pid to node
    std::map<std::pair<int, std::string>, std::function<void()>> effects_;
    std::optional<std::string> hit_;
    bool hitTestFails_ = false;
    std::set<int> touched_;
};

}  // namespace fakes
