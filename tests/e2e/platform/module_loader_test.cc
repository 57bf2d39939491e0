// The loader of the backend's shared modules: a missing module or entry point is a CaptureError that names it
// and the loader's reason; a module that is there gives one service object for the process.

#include <gtest/gtest.h>

#include "base/capture_error.h"
#include "platform/linux/module_services.h"

namespace {

using platform::linux_desktop::executableDirectory;
using platform::linux_desktop::kMovieWriterModule;
using platform::linux_desktop::ModuleService;
using platform::linux_desktop::ModuleEntry;
using platform::linux_desktop::moduleFactory;

std::string failureOf(const ModuleEntry& entry) {
    try {
        moduleFactory(entry);
    } catch (const CaptureError& error) {
        EXPECT_EQ(error.code(), "external");
        return error.description();
    }
    return "(no error)";
}

TEST(ModuleLoader, AMissingModuleOrEntryPointIsAnErrorNamingIt) {
    const ModuleEntry missing{"quorrel-capture-absent.so", "qc_absent", "absent"};
    const std::string message = failureOf(missing);
    EXPECT_EQ(message.rfind("cannot load the absent module: ", 0), 0u) << message;
    EXPECT_NE(message.find(executableDirectory() + "/quorrel-capture-absent.so"), std::string::npos) << message;

    const ModuleEntry wrongEntry{kMovieWriterModule.fileName, "qc_no_such_entry", "movie writer"};
    EXPECT_EQ(failureOf(wrongEntry),
              "cannot load the movie writer module: quorrel-capture-ffmpeg.so has no qc_no_such_entry");
}

TEST(ModuleLoader, AModuleGivesOneServiceForTheProcess) {
    ModuleService<platform::MovieWriters> first{kMovieWriterModule};
    ModuleService<platform::MovieWriters> second{kMovieWriterModule};
    EXPECT_EQ(&first.get(), &second.get());
    EXPECT_EQ(&first.get(), &first.get());
}

}  // namespace
