// quorrel-capture: records and drives desktop applications for a host process, answering in JSON lines.

#include <string>
#include <vector>

#include "app/dispatch.h"
#include "app/interruption.h"
#include "app/standard_streams.h"
#include "platform/services.h"

int main(int argc, char** argv) {
    app::holdClosedStandardStreams();
    app::installInterruptHandling();
    const std::vector<std::string> args(argv, argv + argc);
    platform::installSystemServices();
    return app::dispatch(args);
}
