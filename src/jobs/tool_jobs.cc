#include "jobs/tool_jobs.h"

namespace jobs {

InspectJob decodeInspectJob(const Json& value) {
    const Json& object = requireObject(value);
    const auto decodeWhole = [](const Json& number) { return decodeInteger(number); };
    return {
        .app = requiredField(object, "app", decodePath),
        .windowTitle = optionalField(object, "windowTitle", decodeString),
        .maxNodes = optionalField(object, "maxNodes", decodeWhole),
        .maxDepth = optionalField(object, "maxDepth", decodeWhole),
        .launch = optionalField(object, "launch", decodeBool),
    };
}

OCRJob decodeOCRJob(const Json& value) {
    const Json& object = requireObject(value);
    return {
        .images = requiredField(object, "images", decodePathList),
        .languages = optionalField(object, "languages", decodeStringList),
        .fast = optionalField(object, "fast", decodeBool),
    };
}

}  // namespace jobs
