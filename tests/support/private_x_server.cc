#include "support/private_x_server.h"

namespace support {

PrivateXServer::PrivateXServer(const std::string& screen)
    // Xvfb picks the display number and writes it to the descriptor -displayfd names.
    : server_({"Xvfb", "-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp"}, {.err = ChildStream::discard()}) {
    if (auto number = server_.readLine(30)) display_ = ":" + *number;
}

}  // namespace support
