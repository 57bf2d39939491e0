#pragma once
// Answers fetched ahead for a walk of a subtree (a tree dump): the requests of one level of the tree go out
// together on the application's connection and their answers are collected afterwards, so a walk waits for
// one round trip per level and kind of request instead of one per element and attribute. The reads of
// atspi_reads.cc answer from here while the walk lasts and ask the application for anything missing.

#include <atspi/atspi.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/linux/atspi/atspi_reads.h"

namespace platform::linux_desktop {

/// What was fetched ahead about one object; an absent field was not fetched (the read asks the application).
struct PrefetchedObject {
    std::optional<AtspiRole> role;
    std::optional<AccessibleProperties> properties;
    std::optional<std::vector<AtspiAccessible*>> children;  // references held by the prefetch
    std::optional<int> childCount;  // when the properties were not fetched together
    std::optional<std::vector<AtspiStateType>> states;
    std::optional<std::optional<Extents>> extents;  // fetched; empty inside when the object has none
    std::optional<std::vector<std::string>> actionNames;
    std::optional<std::optional<std::string>> text;  // fetched; empty inside when the object has none
    std::optional<std::vector<AtspiAccessible*>> labelledBy;  // the "labelled-by" targets, when fetched
};

/// Fetches ahead what a walk of up to `maxObjects` objects under `root`, no deeper than `maxDepth` below it,
/// reads; replaces what an earlier call fetched.
void prefetchSubtree(AtspiAccessible* root, long maxObjects, long maxDepth);

/// Forgets everything fetched ahead.
void dropPrefetched();

/// What was fetched ahead about `object`, or null.
const PrefetchedObject* prefetched(AtspiAccessible* object);

}  // namespace platform::linux_desktop
