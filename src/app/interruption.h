#pragma once
// What SIGTERM and SIGINT do to the tool.

namespace app {

/// From now on SIGTERM and SIGINT, while a recording runs, finish its movie as an ordinary movie and end
/// the process with the error line "the recording was interrupted" (code "external", exit status 1).
/// With no recording running they end the process as they would have without this. Call once, before a
/// command that may record begins.
void installInterruptHandling();

}  // namespace app
