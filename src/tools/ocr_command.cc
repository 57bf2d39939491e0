#include "tools/ocr_command.h"

#include "app/out.h"
#include "jobs/job_file.h"

namespace tools {

void runOCR(const std::string& path) {
    const jobs::OCRJob job = jobs::readOCRJob(path);
    // Text recognition arrives with the recogniser backend; until then the command says so plainly.
    Out::fail("ocr is not available in this build", "external");
}

}  // namespace tools
