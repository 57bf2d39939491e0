// The ocr command over an in-memory recogniser: entries in job order, failed entries that do not stop the
// run, boxes as fractions from the top left, and recognition languages.

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "fakes/fake_text_recognizer.h"
#include "tools/ocr_command.h"
#include "tools/ocr_languages.h"
#include "tools/ocr_result.h"

namespace {

using fakes::FakeTextRecognizer;
using nlohmann::json;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

FakeTextRecognizer::Picture picture(int width, int height, std::vector<platform::RecognizedLine> lines = {},
                                    std::optional<std::string> error = std::nullopt) {
    return {width, height, std::move(lines), std::move(error)};
}

jobs::OCRJob ocrJob(std::vector<std::string> images, std::optional<std::vector<std::string>> languages = std::nullopt,
                    std::optional<bool> fast = std::nullopt) {
    return {std::move(images), std::move(languages), fast};
}

platform::RecognizedLine line(std::string text, float confidence, platform::PixelBox box) {
    return {std::move(text), confidence, box};
}

TEST(OcrLine, BoxIsFractionsOfTheImageFromTheTopLeftAndConfidenceIsWidenedUnrounded) {
    const json object = tools::lineObject(line("Save", 0.93f, {40, 30, 200, 60}), 400, 300);
    EXPECT_EQ(object["text"], "Save");
    EXPECT_EQ(object["confidence"].get<double>(), static_cast<double>(0.93f));
    EXPECT_DOUBLE_EQ(object["x"].get<double>(), 0.1);
    EXPECT_DOUBLE_EQ(object["y"].get<double>(), 0.1);
    EXPECT_DOUBLE_EQ(object["w"].get<double>(), 0.5);
    EXPECT_DOUBLE_EQ(object["h"].get<double>(), 0.2);
    EXPECT_EQ(object.size(), 6u);

    // A confidence the engine reports out of range stays within 0 to 1.
    EXPECT_EQ(tools::lineObject(line("x", 1.2f, {}), 10, 10)["confidence"], 1.0);
    EXPECT_EQ(tools::lineObject(line("x", -0.5f, {}), 10, 10)["confidence"], 0.0);
}

class OcrCommand : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    FakeTextRecognizer recognizer;
    FakeTextRecognizer::Installed installed{recognizer};

    json run(const jobs::OCRJob& job, std::string* out = nullptr) {
        CaptureStdout();
        json entries = tools::ocrEntries(job);
        const std::string written = GetCapturedStdout();
        if (out) *out = written;
        return entries;
    }
};

TEST_F(OcrCommand, ABadImageGetsAFailedEntryAndTheRunGoesOn) {
    recognizer.pictures["a.png"] = picture(640, 480, {line("File Edit", 0.9f, {0, 0, 64, 48})});
    recognizer.pictures["c.png"] = picture(100, 50, {});
    recognizer.pictures["broken.png"] = picture(100, 50, {}, "the engine gave up");
    std::string out;
    const json entries = run(ocrJob({"a.png", "missing.png", "c.png", "broken.png"}), &out);

    EXPECT_EQ(out,
              "{\"message\":\"Reading text 1/4\",\"type\":\"progress\"}\n"
              "{\"message\":\"Reading text 2/4\",\"type\":\"progress\"}\n"
              "{\"message\":\"Reading text 3/4\",\"type\":\"progress\"}\n"
              "{\"message\":\"Reading text 4/4\",\"type\":\"progress\"}\n");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0]["image"], "a.png");
    EXPECT_EQ(entries[0]["width"], 640);
    EXPECT_EQ(entries[0]["height"], 480);
    EXPECT_EQ(entries[0]["lines"][0]["text"], "File Edit");
    EXPECT_FALSE(entries[0].contains("error"));
    EXPECT_EQ(entries[1], (json{{"image", "missing.png"}, {"error", "unreadable image"}, {"lines", json::array()}}));
    EXPECT_EQ(entries[2], (json{{"image", "c.png"}, {"width", 100}, {"height", 50}, {"lines", json::array()}}));
    EXPECT_EQ(entries[3], (json{{"image", "broken.png"}, {"error", "the engine gave up"}, {"lines", json::array()}}));

    // No images: no progress line, no entry, no engine.
    EXPECT_EQ(run(ocrJob({}), &out), json::array());
    EXPECT_EQ(out, "");
}

TEST_F(OcrCommand, TheSamePathTwiceIsReadTwiceWithTheSameSettings) {
    recognizer.pictures["same.png"] = picture(10, 10, {line("Hi", 0.5f, {1, 1, 2, 2})});
    const json entries = run(ocrJob({"same.png", "same.png"}));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], entries[1]);
    EXPECT_EQ(recognizer.decoded, (std::vector<std::string>{"same.png", "same.png"}));
    ASSERT_EQ(recognizer.recognitions.size(), 2u);
    EXPECT_EQ(recognizer.recognitions[0], recognizer.recognitions[1]);
    EXPECT_EQ(recognizer.installedQueries, 0);  // no languages named: nothing to check

    run(ocrJob({"same.png", "same.png"}, std::vector<std::string>{"en"}));
    EXPECT_EQ(recognizer.installedQueries, 1);  // once per run
}

TEST_F(OcrCommand, FastAndLanguagesReachTheRecognizer) {
    recognizer.pictures["a.png"] = picture(10, 10, {});
    run(ocrJob({"a.png"}));
    run(ocrJob({"a.png"}, std::vector<std::string>{}, false));
    run(ocrJob({"a.png"}, std::vector<std::string>{"en-US", "en-GB"}, true));
    ASSERT_EQ(recognizer.recognitions.size(), 3u);
    EXPECT_EQ(recognizer.recognitions[0].level, platform::RecognitionLevel::accurate);
    EXPECT_TRUE(recognizer.recognitions[0].languages.empty());
    EXPECT_EQ(recognizer.recognitions[1], recognizer.recognitions[0]);  // empty list: as absent
    EXPECT_EQ(recognizer.recognitions[2].level, platform::RecognitionLevel::fast);
    EXPECT_EQ(recognizer.recognitions[2].languages, std::vector<std::string>{"eng"});
}

TEST_F(OcrCommand, AMissingLanguageFailsEveryReadableImageAndNothingIsRecognized) {
    recognizer.pictures["a.png"] = picture(10, 10, {});
    recognizer.pictures["b.png"] = picture(10, 10, {});
    const json entries = run(ocrJob({"a.png", "gone.png", "b.png"}, std::vector<std::string>{"de-DE", "en"}));
    const std::string expected = "recognition language not installed: de-DE (deu); installed: eng";
    EXPECT_EQ(entries[0]["error"], expected);
    EXPECT_EQ(entries[1]["error"], "unreadable image");
    EXPECT_EQ(entries[2]["error"], expected);
    EXPECT_TRUE(recognizer.recognitions.empty());

    EXPECT_EQ(run(ocrJob({"a.png"}, std::vector<std::string>{"xx-YY"}))[0]["error"],
              "unsupported recognition language: xx-YY");
}

TEST(OcrLanguages, TagsMapToLanguageDataByLanguageScriptAndRegion) {
    const std::pair<const char*, const char*> cases[] = {
        {"en", "eng"},        {"en-US", "eng"},          {"EN_gb", "eng"},     {"de", "deu"},
        {"de-DE", "deu"},     {"fr-CA", "fra"},          {"pt-BR", "por"},     {"ja", "jpn"},
        {"zh", "chi_sim"},    {"zh-Hans", "chi_sim"},    {"zh-CN", "chi_sim"}, {"zh-Hant", "chi_tra"},
        {"zh-TW", "chi_tra"}, {"zh-Hant-HK", "chi_tra"}, {"sr", "srp"},        {"sr-Latn", "srp_latn"},
        {"nb-NO", "nor"},     {"uz-Cyrl", "uzb_cyrl"},
    };
    for (const auto& [tag, name] : cases) EXPECT_EQ(tools::languageDataName(tag), name) << tag;
    EXPECT_EQ(tools::languageDataName("xx"), std::nullopt);
    EXPECT_EQ(tools::languageDataName(""), std::nullopt);
}

TEST(OcrLanguages, ChoiceKeepsPreferenceOrderOnceEachAndNamesWhatIsMissing) {
    const std::vector<std::string> installed{"chi_sim", "deu", "eng", "osd"};
    auto choice = tools::chooseLanguages(std::vector<std::string>{"de", "en-US", "de-AT", "zh-Hans"}, installed);
    EXPECT_EQ(choice.dataNames, (std::vector<std::string>{"deu", "eng", "chi_sim"}));
    EXPECT_FALSE(choice.problem);

    EXPECT_TRUE(tools::chooseLanguages(std::nullopt, installed).dataNames.empty());
    choice = tools::chooseLanguages(std::vector<std::string>{"fr", "en", "ja"}, installed);
    EXPECT_EQ(choice.problem, "recognition language not installed: fr (fra), ja (jpn); installed: chi_sim, deu, eng");
    EXPECT_EQ(tools::chooseLanguages(std::vector<std::string>{"en"}, {"osd"}).problem,
              "recognition language not installed: en (eng); installed: none");
}

}  // namespace
