#include "capture/list_windows.h"

#include "app/out.h"

namespace capture {

void listWindows(const std::optional<std::string>&) {
    // Window enumeration arrives with the capture backend; until then the command says so plainly.
    Out::fail("window listing is not available in this build", "external");
}

}  // namespace capture
