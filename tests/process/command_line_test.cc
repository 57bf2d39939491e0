// The tool as a host sees it: lines on standard output and the exit status, outside any desktop.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "support/tool_process.h"

namespace {

using support::runTool;
using support::TempDir;
using support::ToolOptions;

const std::string kGeneralUsage =
    R"({"code":"bad_request","message":"usage: quorrel-capture permissions|windows|run|inspect|ocr|version","type":"error"})";
const std::string kScreenText = "Quorrel needs Screen Recording permission to record your app\u2019s window.";
const std::string kAXText = "Quorrel needs Accessibility permission to click and type in the app while recording.";

// No X display and no session bus: the state of a process started outside any desktop.
ToolOptions outsideDesktop() {
    ToolOptions options;
    options.unset = {"DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "AT_SPI_BUS_ADDRESS"};
    options.timeoutSeconds = 20;
    return options;
}

TEST(CommandLine, UsageErrorsAreExactAndExitWithOne) {
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {""}, {"Run"}, {"VERSION"}, {"record"}}) {
        const auto run = runTool(args);
        EXPECT_EQ(run.out, kGeneralUsage + "\n");
        EXPECT_EQ(run.status, 1);
    }
    for (const std::string word : {"run", "inspect", "ocr"}) {
        const auto run = runTool({word});
        EXPECT_EQ(run.out, R"({"code":"bad_request","message":"usage: quorrel-capture )" + word +
                               R"( <job.json>","type":"error"})" "\n");
        EXPECT_EQ(run.status, 1);
    }
}

TEST(CommandLine, VersionIgnoresFurtherWords) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"version"}, {"version", "extra", "words"}}) {
        const auto run = runTool(args);
        EXPECT_EQ(run.out, R"({"features":["region","ocr","inspect","preflight"],"type":"result","version":"2"})" "\n");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
    }
}

TEST(CommandLine, AnUnreadableJobIsRefusedBeforeAnythingElseWithThePathAsGiven) {
    TempDir dir;
    dir.write("bad.json", "{\"out\": 5}");
    dir.write("empty.json", "");
    dir.write("array.json", "[]");
    std::filesystem::create_directory(dir.path() + "/folder.json");
    ToolOptions inDir = outsideDesktop();
    inDir.workingDirectory = dir.path();
    for (const std::string word : {"run", "inspect", "ocr"}) {
        for (const std::string path : {"missing.json", "bad.json", "empty.json", "array.json", "folder.json",
                                       "./missing.json", "../nowhere.json"}) {
            const auto run = runTool({word, path, "ignored.json"}, inDir);
            EXPECT_EQ(run.lines().size(), 1u) << word << " " << path;
            EXPECT_EQ(run.last(), nlohmann::json({{"type", "error"}, {"code", "bad_request"},
                                                  {"message", "cannot read job " + path}}))
                << word << " " << path;
            EXPECT_EQ(run.status, 1);
        }
    }
}

// What is not one bounded JSON text is refused before anything else, whatever the command: text after a
// NUL byte, an integer below -2^63, a file over 16 MiB, nesting past 64, a NUL inside a path, a FIFO.
TEST(CommandLine, AJobThatIsNotOneBoundedJsonTextIsRefused) {
    TempDir dir;
    const std::string bigJob = R"({"out":"a.mov","app":"x","images":[]})" + std::string(16 * 1024 * 1024, ' ');
    const std::map<std::string, std::string> jobs{
        {"nul.json", std::string(R"({"out":"a.mov","app":"x","images":[]})") + std::string(1, '\0') + "garbage"},
        {"below.json", R"({"out":"a.mov","fps":-9223372036854775809,"app":"x","maxNodes":-9223372036854775809,"images":[],"fast":false})"},
        {"big.json", bigJob},
        {"deep.json", R"({"out":"a.mov","app":"x","images":[],"deep":)" + std::string(70, '[') + std::string(70, ']') + "}"},
        {"nul-path.json", R"({"out":"a.mov\u0000.txt","app":"x\u0000y","images":["a\u0000.png"]})"},
    };
    for (const auto& [name, text] : jobs) dir.write(name, text);
    ASSERT_EQ(::mkfifo((dir.path() + "/fifo.json").c_str(), 0600), 0);
    ToolOptions inDir = outsideDesktop();
    inDir.workingDirectory = dir.path();
    for (const std::string word : {"run", "inspect", "ocr"}) {
        for (const std::string path : {"nul.json", "big.json", "deep.json", "fifo.json", "nul-path.json"}) {
            const auto run = runTool({word, path}, inDir);
            EXPECT_EQ(run.out, R"({"code":"bad_request","message":"cannot read job )" + path + R"(","type":"error"})" "\n")
                << word << " " << path;
            EXPECT_EQ(run.status, 1);
        }
    }
    for (const std::string word : {"run", "inspect"}) {
        const auto run = runTool({word, "below.json"}, inDir);
        EXPECT_EQ(run.last()["message"], "cannot read job below.json") << word;
    }
}

TEST(CommandLine, OutsideADesktopPermissionsAreReportedNotCrashedOn) {
    const auto run = runTool({"permissions"}, outsideDesktop());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.last(), nlohmann::json({{"type", "result"},
                                          {"screenRecording", false},
                                          {"accessibility", false},
                                          {"explain", {{"screenRecording", kScreenText}, {"accessibility", kAXText}}}}));
    // Asking changes nothing where there is no desktop to ask, and answers just the same.
    const auto request = runTool({"permissions", "--request"}, outsideDesktop());
    EXPECT_EQ(request.status, 0);
    EXPECT_EQ(request.out, run.out);
}

TEST(CommandLine, OutsideADesktopEachCommandNamesWhatItMisses) {
    TempDir dir;
    const auto job = dir.write("job.json", R"({"out":"/tmp/qc-never.mov","app":"x"})");
    const auto userJob = dir.write("user.json", R"({"out":"/tmp/qc-never.mov","recordUser":true})");
    const auto regionJob = dir.write("region.json", R"({"out":"/tmp/qc-never.mov","region":{"rect":{"x":0,"y":0,"width":10,"height":10}}})");
    const auto inspectJob = dir.write("inspect.json", R"({"app":"x"})");
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> missing;
    };
    const std::vector<Case> cases = {
        {{"windows"}, {"screenRecording"}},
        {{"windows", "--app", "gedit"}, {"screenRecording"}},
        {{"run", job}, {"screenRecording", "accessibility"}},
        {{"run", userJob}, {"screenRecording"}},
        {{"run", regionJob}, {"screenRecording"}},
        {{"inspect", inspectJob}, {"accessibility"}},
    };
    for (const auto& c : cases) {
        const auto run = runTool(c.args, outsideDesktop());
        std::string message;
        for (const auto& name : c.missing) message += (message.empty() ? "" : " ") + (name == "screenRecording" ? kScreenText : kAXText);
        EXPECT_EQ(run.lines().size(), 1u) << c.args[0];
        EXPECT_EQ(run.last(), nlohmann::json({{"type", "error"}, {"code", "permission"}, {"message", message},
                                              {"missing", c.missing}}))
            << c.args[0];
        EXPECT_EQ(run.status, 2) << c.args[0];
    }
}

TEST(CommandLine, OutputIsUtf8WithTheTypographicApostrophe) {
    const auto run = runTool({"permissions"}, outsideDesktop());
    EXPECT_NE(run.out.find("app\xE2\x80\x99s window"), std::string::npos);
}

}  // namespace

namespace {

// The tool copied alone into an empty directory: its backend modules are not beside it.
TEST(CommandLine, AMissingBackendModuleEndsInOneErrorLineNamingIt) {
    TempDir folder;
    const std::string lonely = folder.path() + "/quorrel-capture";
    std::filesystem::copy_file(support::toolPath(), lonely);
    std::filesystem::permissions(lonely, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);

    const auto version = support::runProgram({lonely, "version"}, outsideDesktop());
    EXPECT_EQ(version.status, 0) << version.err;  // needs no module

    const auto run = support::runProgram({lonely, "permissions"}, outsideDesktop());
    ASSERT_EQ(run.lines().size(), 1u) << run.out << run.err;
    const auto line = run.last();
    EXPECT_EQ(line["type"], "error");
    EXPECT_EQ(line["code"], "external");
    EXPECT_EQ(line["message"].get<std::string>().rfind(
                  "cannot load the X11 desktop module: " + folder.path() + "/quorrel-capture-x11.so: ", 0),
              0u)
        << line;
    EXPECT_EQ(run.status, 1);

    // The recogniser's module is missing too: every image gets an entry saying so, in a result line.
    const std::string job = folder.write("ocr.json", R"({"images": ["a.png", "b.png"]})");
    const auto ocr = support::runProgram({lonely, "ocr", job}, outsideDesktop());
    EXPECT_EQ(ocr.status, 0) << ocr.out << ocr.err;
    const auto result = ocr.last();
    ASSERT_EQ(result["type"], "result") << ocr.out;
    ASSERT_EQ(result["results"].size(), 2u) << result;
    for (const auto& entry : result["results"]) {
        EXPECT_EQ(entry["error"].get<std::string>().rfind("cannot load the ", 0), 0u) << entry;
        EXPECT_EQ(entry["lines"], nlohmann::json::array());
    }
}

}  // namespace
