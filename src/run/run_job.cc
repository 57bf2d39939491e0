#include "run/run_job.h"

#include "app/out.h"
#include "app/permissions.h"
#include "jobs/job_file.h"

namespace run {

void runJob(const std::string& path) {
    const jobs::Job job = jobs::readCaptureJob(path);
    const bool regionCapture = job.region.has_value();
    const bool needAX = !regionCapture && !job.recordUser.value_or(false);
    Permissions::require(needAX, /*prompt=*/true, /*needScreen=*/true);
    // The capture pipeline arrives with the recorder; until then the command says so plainly.
    Out::fail("recording is not available in this build", "external");
}

}  // namespace run
