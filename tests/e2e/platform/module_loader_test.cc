// The loader of the backend's shared modules: a missing module or entry point is a CaptureError that names it
// and the loader's reason, raised when a service of the module is first used; a module that is there gives
// one service object for the process.

#include <gtest/gtest.h>

#include "base/capture_error.h"
#include "platform/linux/module_loader.h"
#include "platform/movie_writer.h"

namespace {

using platform::Services;
using platform::linux_desktop::executableDirectory;
using platform::linux_desktop::LazyModule;
using platform::linux_desktop::ModuleContext;
using platform::linux_desktop::ModuleFile;

constexpr ModuleFile kMovieWriterModule{"quorrel-capture-ffmpeg.so", "movie writer"};

template <typename Use>
std::string failureOf(Use use) {
    try {
        use();
    } catch (const CaptureError& error) {
        EXPECT_EQ(error.code(), "external");
        return error.description();
    }
    return "(no error)";
}

TEST(ModuleLoader, AMissingModuleOrEntryPointIsAnErrorNamingIt) {
    LazyModule missing({"quorrel-capture-absent.so", "absent"}, ModuleContext{});
    const std::string message = failureOf([&] { missing.table(); });
    EXPECT_EQ(message.rfind("cannot load the absent module: ", 0), 0u) << message;
    EXPECT_NE(message.find(executableDirectory() + "/quorrel-capture-absent.so"), std::string::npos) << message;

    // A service slot of the missing module is there (a command can tell it is installed) until it is used.
    Services services;
    missing.offers<&Services::movies>(services);
    EXPECT_TRUE(services.movies);
    EXPECT_EQ(failureOf([&] { services.movies->makeWriter("/tmp/unused.mov"); }),
              message);

    // A shared library of the modules is no module: it has no entry point.
    LazyModule library({"quorrel-capture-desktop.so", "desktop"}, ModuleContext{});
    EXPECT_EQ(failureOf([&] { library.table(); }),
              "cannot load the desktop module: quorrel-capture-desktop.so has no qc_module_services");
}

TEST(ModuleLoader, AModuleGivesOneServiceForTheProcess) {
    LazyModule first(kMovieWriterModule, ModuleContext{});
    LazyModule second(kMovieWriterModule, ModuleContext{});
    Services one, other;
    first.offers<&Services::movies>(one);
    second.offers<&Services::movies>(other);
    ASSERT_NE(one.movies.get(), nullptr);
    EXPECT_EQ(one.movies.get(), other.movies.get());
    EXPECT_EQ(one.movies.get(), one.movies.get());
}

}  // namespace
