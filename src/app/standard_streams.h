#pragma once
// The process's standard input, output and error at start.

namespace app {

/// Opens /dev/null on each of file descriptors 0, 1 and 2 that is closed. A host may start the tool with
/// one of them closed (`>&-`); the next file or socket opened would take its number, and result lines
/// would go into a job file, a movie or a bus connection.
void holdClosedStandardStreams();

}  // namespace app
