#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/out.h"

namespace {

using Out::Message;
using Out::serialize;

TEST(JsonLine, SortsKeysAtEveryLevelWithoutSpaces) {
    const Message line = {{"type", "error"},
                          {"message", "usage: quorrel-capture run <job.json>"},
                          {"code", "bad_request"},
                          {"nested", {{"z", 1}, {"a", {{"y", true}, {"b", nullptr}}}}}};
    EXPECT_EQ(serialize(line),
              R"({"code":"bad_request","message":"usage: quorrel-capture run <job.json>",)"
              R"("nested":{"a":{"b":null,"y":true},"z":1},"type":"error"})");
}

TEST(JsonLine, NumbersKeepTheirKind) {
    EXPECT_EQ(serialize(Message(42)), "42");
    EXPECT_EQ(serialize(Message(-7)), "-7");
    EXPECT_EQ(serialize(Message(1700000000123LL)), "1700000000123");
    EXPECT_EQ(serialize(Message(0.1)), "0.1");
    EXPECT_EQ(serialize(Message(2.5)), "2.5");
    EXPECT_EQ(serialize(Message(1.0 / 3.0)), "0.3333333333333333");
    EXPECT_EQ(serialize(Message(3.0)), "3");
    EXPECT_EQ(serialize(Message(-0.0)), "0");
    EXPECT_EQ(std::stod(serialize(Message(1e300))), 1e300);
}

TEST(JsonLine, NonFiniteNumbersBecomeNullSoTheLineIsStillWritten) {
    const Message line = {{"durationSec", std::nan("")},
                          {"a", std::numeric_limits<double>::infinity()},
                          {"b", -std::numeric_limits<double>::infinity()}};
    EXPECT_EQ(serialize(line), R"({"a":null,"b":null,"durationSec":null})");
}

TEST(JsonLine, WritesUtf8AndEscapesOnlyWhatJsonRequires) {
    EXPECT_EQ(serialize(Message("app\u2019s window \u65e5\u672c \U0001F600")),
              "\"app\u2019s window \u65e5\u672c \U0001F600\"");
    EXPECT_EQ(serialize(Message("a\"b\\c\nd\te\x01/")), R"("a\"b\\c\nd\te\u0001/")");
}

TEST(JsonLine, InvalidUtf8BecomesReplacementCharacters) {
    // A lone continuation byte, a truncated sequence, an overlong encoding and a UTF-16 surrogate.
    EXPECT_EQ(serialize(Message(std::string("a\x80z"))), "\"a\uFFFDz\"");
    EXPECT_EQ(serialize(Message(std::string("ab\xE6\x97"))), "\"ab\uFFFD\uFFFD\"");
    EXPECT_EQ(serialize(Message(std::string("\xC0\xAF"))), "\"\uFFFD\uFFFD\"");
    EXPECT_EQ(serialize(Message(std::string("\xED\xA0\x80"))), "\"\uFFFD\uFFFD\uFFFD\"");
    // Keys are strings too.
    EXPECT_EQ(serialize(Message{{std::string("k\xFF"), 1}}), "{\"k\uFFFD\":1}");
}

TEST(OutputChannel, ProgressAndErrorFieldsWinOverExtraEntries) {
    const Message line = Out::errorLine("boom", "not_found", {{"type", "result"}, {"code", "x"}, {"missing", {"a"}}});
    EXPECT_EQ(serialize(line), R"({"code":"not_found","message":"boom","missing":["a"],"type":"error"})");
}

TEST(OutputChannel, OnlyThePermissionCodeExitsWithTwo) {
    EXPECT_EQ(Out::exitStatusFor("permission"), 2);
    EXPECT_EQ(Out::exitStatusFor("Permission"), 1);
    EXPECT_EQ(Out::exitStatusFor("bad_request"), 1);
    EXPECT_EQ(Out::exitStatusFor("external"), 1);
}

TEST(OutputChannelDeathTest, FailWritesTheLineAndExitsWithTheCodesStatus) {
    EXPECT_EXIT(Out::fail("nope", "permission"), testing::ExitedWithCode(2), "");
    EXPECT_EXIT(Out::fail("nope", "not_found"), testing::ExitedWithCode(1), "");
    EXPECT_EXIT(Out::fail(std::runtime_error("platform broke")), testing::ExitedWithCode(1), "");
    EXPECT_EXIT(Out::fail(CaptureError("denied", "permission")), testing::ExitedWithCode(2), "");
}

}  // namespace
