#include "platform/services.h"

namespace platform {
namespace {
Services current;
}

Services& services() { return current; }

Services install(const Services& installed) {
    const Services previous = current;
    current = installed;
    return previous;
}

}  // namespace platform
