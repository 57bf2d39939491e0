#include <gtest/gtest.h>

#include "jobs/job_file.h"

namespace {

using jobs::DecodeError;
using jobs::Json;

jobs::Job job(const std::string& text) { return jobs::decodeJob(jobs::parseDocument(text)); }
bool jobFails(const std::string& text) {
    try {
        job(text);
        return false;
    } catch (const DecodeError&) {
        return true;
    } catch (const Json::exception&) {
        return true;
    }
}

TEST(CaptureJob, OutAloneDecodesWithEverythingElseAbsent) {
    const auto decoded = job(R"({"out":"/tmp/a.mov"})");
    EXPECT_EQ(decoded.out, "/tmp/a.mov");
    EXPECT_FALSE(decoded.app || decoded.windowTitle || decoded.windowSize || decoded.steps || decoded.fps ||
                 decoded.settleMs || decoded.tailMs || decoded.recordUser || decoded.durationSec ||
                 decoded.stopFile || decoded.launch || decoded.region || decoded.startedFile);
}

TEST(CaptureJob, DecodesEveryField) {
    const auto decoded = job(R"({
        "app":"org.example.Editor","windowTitle":"Doc","windowSize":{"width":800,"height":600.5},
        "steps":[{"action":"click","role":"AXButton","label":"Save"},
                 {"action":"menu","path":["File","Export…"]},
                 {"action":"scroll","x":0,"y":-120.5,"ms":300},
                 {"action":"type","text":"a","value":"b","key":"cmd+s"}],
        "out":"o.mov","fps":30,"settleMs":500,"tailMs":250.5,"recordUser":false,"durationSec":1.5,
        "stopFile":"/tmp/stop","launch":true,"startedFile":"/tmp/started",
        "region":{"rect":{"x":-1,"y":2,"width":-3,"height":4},"pid":-5,"windowFrame":{"x":0,"y":0,"width":9,"height":9}}})");
    EXPECT_EQ(decoded.app, "org.example.Editor");
    EXPECT_EQ(decoded.windowSize->height, 600.5);
    ASSERT_EQ(decoded.steps->size(), 4u);
    EXPECT_EQ((*decoded.steps)[1].path, (std::vector<std::string>{"File", "Export…"}));
    EXPECT_EQ((*decoded.steps)[2].y, -120.5);
    EXPECT_EQ((*decoded.steps)[3].value, "b");
    EXPECT_EQ(decoded.fps, 30);
    EXPECT_EQ(decoded.settleMs, 500.0);
    EXPECT_EQ(decoded.recordUser, false);
    EXPECT_EQ(decoded.region->rect.width, -3);  // negative sizes are taken over unchanged
    EXPECT_EQ(decoded.region->pid, -5);
    EXPECT_EQ(decoded.region->windowFrame->width, 9);
}

TEST(CaptureJob, NullIsMissing) {
    EXPECT_TRUE(jobFails(R"({"out":null})"));
    const auto decoded = job(R"({"out":"o","app":null,"steps":null,"region":null})");
    EXPECT_FALSE(decoded.app || decoded.steps || decoded.region);
}

TEST(CaptureJob, TypesAreStrict) {
    EXPECT_TRUE(jobFails(R"({"out":"o","fps":"30"})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","fps":29.97})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","fps":true})"));
    EXPECT_TRUE(jobFails(R"({"out":7})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","recordUser":1})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","launch":"yes"})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","settleMs":"500"})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","windowSize":[800,600]})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","steps":{"action":"click"}})"));
    EXPECT_EQ(job(R"({"out":"o","settleMs":500})").settleMs, 500.0);
}

TEST(CaptureJob, WholeNumbersWithFractionOrExponentAreIntegers) {
    EXPECT_EQ(job(R"({"out":"o","fps":30.0})").fps, 30);
    EXPECT_EQ(job(R"({"out":"o","fps":3e1})").fps, 30);
    EXPECT_TRUE(jobFails(R"({"out":"o","fps":1e19})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","fps":18446744073709551615})"));
    EXPECT_EQ(job(R"({"out":"o","fps":9223372036854775807})").fps, INT64_MAX);
}

TEST(CaptureJob, NestedFailureFailsTheWholeDocument) {
    EXPECT_TRUE(jobFails(R"({"out":"o","steps":[{"action":"click"},{"role":"AXButton"}]})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","steps":[{"action":"menu","path":["File",3]}]})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","windowSize":{"width":800}})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","region":{"pid":1}})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","region":{"rect":{"x":0,"y":0,"width":1}}})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","region":{"rect":{"x":0,"y":0,"width":1,"height":1},"windowFrame":5}})"));
    EXPECT_EQ(job(R"({"out":"o","steps":[{"action":"dance"}]})").steps->at(0).action, "dance");
}

TEST(CaptureJob, RegionPidIsA32BitInteger) {
    const char* base = R"({"out":"o","region":{"rect":{"x":0,"y":0,"width":1,"height":1},"pid":)";
    EXPECT_EQ(job(std::string(base) + "2147483647}}").region->pid, INT32_MAX);
    EXPECT_EQ(job(std::string(base) + "-2147483648}}").region->pid, INT32_MIN);
    EXPECT_TRUE(jobFails(std::string(base) + "2147483648}}"));
    EXPECT_TRUE(jobFails(std::string(base) + "-2147483649}}"));
    const auto onlyRect = job(R"({"out":"o","region":{"rect":{"x":0,"y":0,"width":1,"height":1}}})");
    EXPECT_FALSE(onlyRect.region->pid || onlyRect.region->windowFrame);
}

TEST(CaptureJob, KeysMatchExactlyAndUnknownKeysAreIgnored) {
    EXPECT_TRUE(jobFails(R"({"Out":"o"})"));
    const auto decoded = job(R"({"out":"o","Out":5,"FPS":"x","extra":{"deep":[null]},"steps":[{"action":"wait","Ms":"x"}]})");
    EXPECT_EQ(decoded.out, "o");
    EXPECT_FALSE(decoded.fps);
}

TEST(CaptureJob, DocumentShapesThatAreRefused) {
    for (const char* text : {"", "{}", "[]", "[{\"out\":\"o\"}]", "\"o\"", "null", "42", "not json",
                             "{\"out\":\"o\"} trailing", "{\"out\":\"o\",}"})
        EXPECT_TRUE(jobFails(text)) << text;
}

TEST(CaptureJob, TheLastOfRepeatedKeysWinsAndAUtf8ByteOrderMarkIsAccepted) {
    EXPECT_EQ(job(R"({"out":"first","out":"second"})").out, "second");
    EXPECT_EQ(job("\xEF\xBB\xBF{\"out\":\"o\"}").out, "o");
    EXPECT_TRUE(jobFails(std::string("{\"out\":\"\xFF\"}")));
}

TEST(InspectJob, AppIsRequiredAndTheRestIsOptional) {
    const auto decode = [](const std::string& text) { return jobs::decodeInspectJob(jobs::parseDocument(text)); };
    EXPECT_THROW(decode(R"({})"), DecodeError);
    EXPECT_THROW(decode(R"({"app":null})"), DecodeError);
    const auto onlyApp = decode(R"({"app":"gedit"})");
    EXPECT_FALSE(onlyApp.windowTitle || onlyApp.maxNodes || onlyApp.maxDepth || onlyApp.launch);
    EXPECT_EQ(decode(R"({"app":"a","maxNodes":-5,"maxDepth":-1})").maxNodes, -5);
    EXPECT_THROW(decode(R"({"app":"a","maxNodes":10.5})"), DecodeError);
    EXPECT_THROW(decode(R"({"app":"a","maxDepth":2.5})"), DecodeError);
    EXPECT_THROW(decode(R"({"app":"a","launch":"false"})"), DecodeError);
}

TEST(OCRJob, ImagesAreRequiredAndEveryElementMustBeAString) {
    const auto decode = [](const std::string& text) { return jobs::decodeOCRJob(jobs::parseDocument(text)); };
    EXPECT_THROW(decode(R"({"languages":["en-US"]})"), DecodeError);
    EXPECT_TRUE(decode(R"({"images":[]})").images.empty());
    EXPECT_THROW(decode(R"({"images":["a.png",3]})"), DecodeError);
    EXPECT_TRUE(decode(R"({"images":["a.png"],"languages":[]})").languages->empty());
    EXPECT_THROW(decode(R"({"images":[],"fast":1})"), DecodeError);
    EXPECT_EQ(decode(R"({"images":[],"fast":true})").fast, true);
}

TEST(JobFile, OnlyRegularReadableFilesGiveBytes) {
    EXPECT_FALSE(jobs::readFileBytes("/nonexistent/job.json"));
    EXPECT_FALSE(jobs::readFileBytes("/tmp"));
}

TEST(JobFileDeathTest, AnUnreadableJobQuotesThePathAsGiven) {
    EXPECT_EXIT(jobs::readCaptureJob("no/such/job.json"), testing::ExitedWithCode(1), "");
}

}  // namespace
