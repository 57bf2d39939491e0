#include "platform/linux/atspi/atspi_node.h"

#include "platform/linux/atspi/atspi_prefetch.h"
#include "platform/linux/atspi/atspi_session.h"

namespace platform::linux_desktop {

AtspiNode::AtspiNode(AtspiAccessible* object, NodeKind kind) : object_(object), kind_(kind) {}

AtspiNode::~AtspiNode() {
    if (object_) g_object_unref(object_);
    if (topLevel_) g_object_unref(topLevel_);
    if (popover_ && *popover_) g_object_unref(*popover_);
}

void AtspiNode::rememberPopover(std::optional<AtspiAccessible*> popover) const {
    if (!popover || popover_) return;
    popover_ = *popover ? static_cast<AtspiAccessible*>(g_object_ref(*popover)) : nullptr;
}

void AtspiNode::rememberTopLevel(AtspiAccessible* topLevel) const {
    if (!topLevel || topLevel_) return;
    topLevel_ = static_cast<AtspiAccessible*>(g_object_ref(topLevel));
}

bool AtspiNode::sameElement(const ElementNode& other) const {
    const auto* node = dynamic_cast<const AtspiNode*>(&other);
    if (!node || node->kind_ != kind_) return false;
    if (node->object_ == object_) return true;
    return busNameOf(object_) == busNameOf(node->object_) && objectPathOf(object_) == objectPathOf(node->object_);
}

std::optional<AtspiRole> AtspiNode::atspiRole() const {
    if (!role_) {
        if (const PrefetchedObject* ahead = prefetched(object_); ahead && ahead->role) return role_ = ahead->role;
        role_ = atspiCall(
            object_, [&](GError** error) { return atspi_accessible_get_role(object_, error); },
            [](AtspiRole role) { return role == ATSPI_ROLE_INVALID; });
    }
    return role_;
}

std::optional<AccessibleProperties> freshProperties(const AtspiNode& node) {
    const auto& memo = node.propertiesMemo();
    if (memo && detail::nowSeconds() - memo->first <= kPropertiesFreshSeconds) return memo->second;
    return std::nullopt;
}

std::optional<AccessibleProperties> accessibleProperties(const AtspiNode& node) {
    if (auto fresh = freshProperties(node)) return fresh;
    auto read = readAccessibleProperties(node.object());
    if (read)
        node.propertiesMemo() = std::pair{detail::nowSeconds(), *read};
    else
        node.propertiesMemo().reset();
    return read;
}

Element adoptElement(AtspiAccessible* object, NodeKind kind) {
    return Element(std::make_shared<const AtspiNode>(object, kind));
}

const AtspiNode& nodeOf(const Element& element) { return static_cast<const AtspiNode&>(element.node()); }

}  // namespace platform::linux_desktop
