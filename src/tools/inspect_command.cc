#include "tools/inspect_command.h"

#include "app/out.h"
#include "app/permissions.h"
#include "jobs/job_file.h"

namespace tools {

void runInspect(const std::string& path) {
    const jobs::InspectJob job = jobs::readInspectJob(path);
    Permissions::require(/*needAX=*/true, /*prompt=*/true, /*needScreen=*/false);
    // Inspection arrives with the accessibility layer; until then the command says so plainly.
    Out::fail("inspect is not available in this build", "external");
}

}  // namespace tools
