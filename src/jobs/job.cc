#include "jobs/job.h"

namespace jobs {

Rect decodeRect(const Json& value) {
    const Json& object = requireObject(value);
    return {
        .x = requiredField(object, "x", decodeNumber),
        .y = requiredField(object, "y", decodeNumber),
        .width = requiredField(object, "width", decodeNumber),
        .height = requiredField(object, "height", decodeNumber),
    };
}

Size decodeSize(const Json& value) {
    const Json& object = requireObject(value);
    return {
        .width = requiredField(object, "width", decodeNumber),
        .height = requiredField(object, "height", decodeNumber),
    };
}

Region decodeRegion(const Json& value) {
    const Json& object = requireObject(value);
    return {
        .rect = requiredField(object, "rect", decodeRect),
        .pid = optionalField(object, "pid", decodeInt32),
        .windowFrame = optionalField(object, "windowFrame", decodeRect),
    };
}

Step decodeStep(const Json& value) {
    const Json& object = requireObject(value);
    return {
        .action = requiredField(object, "action", decodeString),
        .role = optionalField(object, "role", decodeString),
        .label = optionalField(object, "label", decodeString),
        .text = optionalField(object, "text", decodeString),
        .value = optionalField(object, "value", decodeString),
        .key = optionalField(object, "key", decodeString),
        .x = optionalField(object, "x", decodeNumber),
        .y = optionalField(object, "y", decodeNumber),
        .ms = optionalField(object, "ms", decodeNumber),
        .path = optionalField(object, "path", decodeStringList),
    };
}

Job decodeJob(const Json& value) {
    const Json& object = requireObject(value);
    const auto decodeSteps = [](const Json& list) { return decodeList(list, decodeStep); };
    const auto decodeFps = [](const Json& number) { return decodeInteger(number); };
    return {
        .app = optionalField(object, "app", decodePath),
        .windowTitle = optionalField(object, "windowTitle", decodeString),
        .windowSize = optionalField(object, "windowSize", decodeSize),
        .steps = optionalField(object, "steps", decodeSteps),
        .out = requiredField(object, "out", decodePath),
        .fps = optionalField(object, "fps", decodeFps),
        .settleMs = optionalField(object, "settleMs", decodeNumber),
        .tailMs = optionalField(object, "tailMs", decodeNumber),
        .recordUser = optionalField(object, "recordUser", decodeBool),
        .durationSec = optionalField(object, "durationSec", decodeNumber),
        .stopFile = optionalField(object, "stopFile", decodePath),
        .launch = optionalField(object, "launch", decodeBool),
        .region = optionalField(object, "region", decodeRegion),
        .startedFile = optionalField(object, "startedFile", decodePath),
    };
}

}  // namespace jobs
