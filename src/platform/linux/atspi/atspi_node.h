#pragma once
// The element node behind an AX handle on this desktop: one AT-SPI object, or the menu that a menu-opening
// item holds (which AT-SPI does not have as an object of its own).

#include <atspi/atspi.h>

#include <optional>
#include <utility>

#include "platform/accessibility.h"
#include "platform/linux/atspi/atspi_reads.h"
#include "platform/linux/atspi/atspi_roles.h"

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

    /// The AX role once worked out (what it depends on does not change over an object's life).
    std::optional<AxRole>& axRoleMemo() const { return axRole_; }

    /// Extents read for AXPosition, kept for the AXSize read that (in a frame) follows at once: the read time
    /// on the monotonic clock and the extents. Taken by that read, whatever its age.
    std::optional<std::pair<double, Extents>>& extentsForSize() const { return extentsForSize_; }

    /// The name, description, id and child count fetched together (see accessibleProperties below).
    std::optional<std::pair<double, AccessibleProperties>>& propertiesMemo() const { return properties_; }

    /// The top-level object that holds this one, when known (atspi_geometry.h); the node keeps a reference.
    AtspiAccessible* topLevelMemo() const { return topLevel_; }
    void rememberTopLevel(AtspiAccessible* topLevel) const;

    /// The pop-over that holds this object (null for none), once known (atspi_geometry.h); kept referenced.
    std::optional<AtspiAccessible*> popoverMemo() const { return popover_; }
    void rememberPopover(std::optional<AtspiAccessible*> popover) const;

    /// The AT-SPI role of the object's parent, when the walk that found the object knows it (the object is one
    /// of that parent's children): the AX role of some objects depends on it.
    std::optional<AtspiRole> parentRoleMemo() const { return parentRole_; }
    void rememberParentRole(std::optional<AtspiRole> role) const {
        if (!parentRole_) parentRole_ = role;
    }

private:
    AtspiAccessible* object_;
    NodeKind kind_;
    mutable std::optional<AtspiRole> role_;
    mutable std::optional<AxRole> axRole_;
    mutable std::optional<std::pair<double, Extents>> extentsForSize_;
    mutable std::optional<std::pair<double, AccessibleProperties>> properties_;
    mutable AtspiAccessible* topLevel_ = nullptr;
    mutable std::optional<AtspiAccessible*> popover_;
    mutable std::optional<AtspiRole> parentRole_;
};

/// How long properties fetched together answer later reads of the same handle: the reads a dump, a label
/// list or a search make of one element follow each other within a few milliseconds.
inline constexpr double kPropertiesFreshSeconds = 0.05;

/// The node's name, description, id and child count: fetched together in one request and kept for
/// kPropertiesFreshSeconds; nothing when the request fails (callers then read one property at a time).
std::optional<AccessibleProperties> accessibleProperties(const AtspiNode& node);

/// The properties fetched within the last kPropertiesFreshSeconds, without asking the application.
std::optional<AccessibleProperties> freshProperties(const AtspiNode& node);

/// A handle for `object`, taking over the caller's reference.
Element adoptElement(AtspiAccessible* object, NodeKind kind = NodeKind::object);

/// The node behind `element` (every element this backend sees is its own).
const AtspiNode& nodeOf(const Element& element);

}  // namespace platform::linux_desktop
