// quorrel-capture: records and drives desktop applications for a host process, answering in JSON lines.

#include <exception>
#include <string>
#include <vector>

#include "app/dispatch.h"
#include "app/out.h"
#include "platform/services.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv, argv + argc);
    platform::installSystemServices();
    try {
        return app::dispatch(args);
    } catch (const std::exception& error) {
        // What a handler lets through (a backend module that cannot be loaded, say) still ends in one error
        // line rather than an abort.
        Out::fail(error);
    }
}
