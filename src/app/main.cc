// quorrel-capture: records and drives desktop applications for a host process, answering in JSON lines.

#include <signal.h>

#include <exception>
#include <string>
#include <vector>

#include "app/dispatch.h"
#include "base/out.h"
#include "app/standard_streams.h"
#include "platform/desktop_lost.h"
#include "platform/services.h"

int main(int argc, char** argv) {
    app::holdClosedStandardStreams();
    // A host that closes its end of the pipe must not end a recording: writes to it fail instead (and are
    // ignored), and the movie is still finished.
    signal(SIGPIPE, SIG_IGN);
    // A display server that goes away ends the command with an error line; a recording finishes its movie
    // first (it installs its own handler while it runs).
    platform::setDesktopLostHandler([](const std::string& what) { Out::fail(what, "external"); });
    const std::vector<std::string> args(argv, argv + argc);
    platform::installSystemServices();
    try {
        Out::exit(app::dispatch(args));
    } catch (const std::exception& error) {
        // What a handler lets through (a backend module that cannot be loaded, say) still ends in one error
        // line rather than an abort.
        Out::fail(error);
    }
}
