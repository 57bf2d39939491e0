#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

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

// The parser stops at a NUL byte and rounds whole numbers beyond 64 bits to doubles: what follows a NUL
// and an integer below -2^63 must not slip through.
TEST(CaptureJob, OnlyOneJsonTextWithIntegersInRangeIsAJob) {
    EXPECT_TRUE(jobFails(std::string("{\"out\":\"a.mov\"}\0garbage", 23)));
    EXPECT_TRUE(jobFails(std::string("{\"out\":\"a.mov\"}\0", 16)));
    EXPECT_TRUE(jobFails(R"({"out":"o","fps":-9223372036854775809})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","fps":-9223372036854775808.5})"));
    EXPECT_TRUE(jobFails(R"({"out":"o","fps":-1e300})"));
    EXPECT_EQ(job(R"({"out":"o","fps":-9223372036854775808})").fps, INT64_MIN);
    EXPECT_EQ(job(R"({"out":"o","fps":-9223372036854774784.0})").fps, -9223372036854774784);
}

TEST(CaptureJob, APathWithANulCharacterIsRefused) {
    for (const char* key : {"out", "stopFile", "startedFile", "app"}) {
        const std::string base = std::string(R"({"out":"o.mov",")") + key + R"(":)";
        EXPECT_TRUE(jobFails(base + R"("a.mov\u0000.txt"})")) << key;
        EXPECT_FALSE(jobFails(base + R"("a.mov\u0001.txt"})")) << key;
    }
    EXPECT_THROW(jobs::decodeOCRJob(jobs::parseDocument(R"({"images":["a\u0000.png"]})")), DecodeError);
    EXPECT_THROW(jobs::decodeInspectJob(jobs::parseDocument(R"({"app":"gedit\u0000x"})")), DecodeError);
}

TEST(CaptureJob, NestingIsBoundedWhereverItIs) {
    const auto nested = [](size_t depth) {
        return R"({"out":"o","extra":)" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
    };
    EXPECT_FALSE(jobFails(nested(jobs::kMaximumJobNesting)));
    EXPECT_TRUE(jobFails(nested(jobs::kMaximumJobNesting + 1)));
    EXPECT_TRUE(jobFails(std::string(100000, '[')));
    // Brackets inside strings are text, not nesting.
    EXPECT_FALSE(jobFails(R"({"out":")" + std::string(1000, '{') + R"(\"["})"));
}

TEST(JobFile, AFileOverTheLimitIsRefusedUnreadWhileOneAtTheLimitIsRead) {
    const std::string path = testing::TempDir() + "/job_limit.json";
    const auto writeJob = [&](size_t bytes) {
        std::string text = R"({"out":"o"})";
        text.append(bytes - text.size(), ' ');
        FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    };
    writeJob(jobs::kMaximumJobBytes);
    ASSERT_TRUE(jobs::readFileBytes(path));
    EXPECT_EQ(jobs::readFileBytes(path)->size(), jobs::kMaximumJobBytes);
    writeJob(jobs::kMaximumJobBytes + 1);
    EXPECT_FALSE(jobs::readFileBytes(path));
    std::remove(path.c_str());
}

TEST(JobFile, AFifoIsRefusedWithoutWaitingForAWriter) {
    const std::string path = testing::TempDir() + "/job_fifo.json";
    std::remove(path.c_str());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(jobs::readFileBytes(path));  // would block for ever if opened for reading as a file
    EXPECT_FALSE(jobs::readFileBytes("/dev/zero"));
    std::remove(path.c_str());
}

TEST(JobFileDeathTest, AnUnreadableJobQuotesThePathAsGiven) {
    EXPECT_EXIT(jobs::readCaptureJob("no/such/job.json"), testing::ExitedWithCode(1), "");
}

}  // namespace
