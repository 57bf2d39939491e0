#pragma once
// The element node behind an AX handle on this desktop: one AT-SPI object, or the menu that a menu-opening
// item holds (which AT-SPI does not have as an object of its own).

#include <atspi/atspi.h>

#include <optional>

#include "platform/accessibility.h"

namespace platform::linux_desktop {

/// What a node stands for.
enum class NodeKind {
    object,       // the AT-SPI object itself
    menuOfOpener  // the AXMenu held by a menu-opening item: its children are the item's AT-SPI children
};

class AtspiNode final : public ElementNode {
public:
    /// Takes over one reference to `object`, released when the node goes.
    AtspiNode(AtspiAccessible* object, NodeKind kind);
    ~AtspiNode() override;
    AtspiNode(const AtspiNode&) = delete;
    AtspiNode& operator=(const AtspiNode&) = delete;

    bool sameElement(const ElementNode& other) const override;

    AtspiAccessible* object() const { return object_; }
    NodeKind kind() const { return kind_; }

    /// The AT-SPI role, read once: an object keeps its role for its whole life.
    std::optional<AtspiRole> atspiRole() const;

private:
    AtspiAccessible* object_;
    NodeKind kind_;
    mutable std::optional<AtspiRole> role_;
};

/// A handle for `object`, taking over the caller's reference.
Element adoptElement(AtspiAccessible* object, NodeKind kind = NodeKind::object);

/// The node behind `element` (every element this backend sees is its own).
const AtspiNode& nodeOf(const Element& element);

}  // namespace platform::linux_desktop
