// The ocr command end to end: the built tool reading generated images with the real recogniser.

#include <gtest/gtest.h>

#include <fstream>

#include "support/tool_process.h"
#include "text_images.h"

namespace {

using nlohmann::json;
using toolstest::InkBox;
using toolstest::TextPiece;

json runOcr(const support::TempDir& dir, const json& job, support::ToolRun* run = nullptr) {
    const support::ToolRun finished = support::runTool({"ocr", dir.write("job.json", job.dump())});
    if (run) *run = finished;
    EXPECT_EQ(finished.status, 0) << finished.out << finished.err;
    const json result = finished.last();
    EXPECT_EQ(result.value("type", ""), "result") << finished.out;
    return result.value("results", json::array());
}

// The line whose text contains `text`, or null.
json lineWith(const json& entry, const std::string& text) {
    for (const json& line : entry.value("lines", json::array()))
        if (line["text"].get<std::string>().find(text) != std::string::npos) return line;
    return nullptr;
}

// The line's box, in pixels of the entry's image, surrounds the ink closely: every inked pixel is inside,
// and the box is not more than a few pixels larger on any side.
void expectBoxAround(const json& entry, const json& line, const InkBox& ink) {
    const double width = entry["width"], height = entry["height"];
    const double left = line["x"].get<double>() * width, top = line["y"].get<double>() * height;
    const double right = left + line["w"].get<double>() * width, bottom = top + line["h"].get<double>() * height;
    constexpr double kSlackPixels = 2.5, kMarginPixels = 8;
    EXPECT_LE(left, ink.left + kSlackPixels);
    EXPECT_LE(top, ink.top + kSlackPixels);
    EXPECT_GE(right, ink.right - kSlackPixels);
    EXPECT_GE(bottom, ink.bottom - kSlackPixels);
    EXPECT_GE(left, ink.left - kMarginPixels);
    EXPECT_GE(top, ink.top - kMarginPixels);
    EXPECT_LE(right, ink.right + kMarginPixels);
    EXPECT_LE(bottom, ink.bottom + kMarginPixels);
}

TEST(OcrTool, TextIsReadWhereItIsWithBoxesFromTheTopLeft) {
    support::TempDir dir;
    const std::string path = dir.path() + "/dialog.png";
    const std::vector<InkBox> ink = toolstest::drawTextImage(
        path, 520, 240, {{"Quarterly report settings", 24, 20, 14}, {"Cancel", 300, 190, 13}, {"Export", 40, 110, 13}});
    const json entries = runOcr(dir, {{"images", {path}}});
    ASSERT_EQ(entries.size(), 1u);
    const json& entry = entries[0];
    EXPECT_EQ(entry["image"], path);
    EXPECT_EQ(entry["width"], 520);
    EXPECT_EQ(entry["height"], 240);
    EXPECT_FALSE(entry.contains("error"));

    const json heading = lineWith(entry, "Quarterly report settings");
    ASSERT_FALSE(heading.is_null()) << entry.dump();
    expectBoxAround(entry, heading, ink[0]);
    EXPECT_GT(heading["confidence"].get<double>(), 0.5);
    EXPECT_LE(heading["confidence"].get<double>(), 1.0);
    // The two buttons sit low in the image: a box measured from the bottom would put them near the top.
    const json cancel = lineWith(entry, "Cancel");
    ASSERT_FALSE(cancel.is_null()) << entry.dump();
    expectBoxAround(entry, cancel, ink[1]);
    EXPECT_GT(cancel["y"].get<double>(), 0.7);
    const json exportLine = lineWith(entry, "Export");
    ASSERT_FALSE(exportLine.is_null()) << entry.dump();
    expectBoxAround(entry, exportLine, ink[2]);
}

TEST(OcrTool, LightTextOnADarkInterfaceIsRead) {
    support::TempDir dir;
    const std::string path = dir.path() + "/dark.png";
    const auto ink =
        toolstest::drawTextImage(path, 360, 120, {{"Show hidden files", 16, 16, 12}, {"Apply", 280, 84, 12}},
                                 /*dark=*/true);
    const json entries = runOcr(dir, {{"images", {path}}, {"fast", false}});
    const json line = lineWith(entries[0], "Show hidden files");
    ASSERT_FALSE(line.is_null()) << entries[0].dump();
    expectBoxAround(entries[0], line, ink[0]);
    EXPECT_FALSE(lineWith(entries[0], "Apply").is_null()) << entries[0].dump();
}

TEST(OcrTool, BadImagesGetFailedEntriesAndTheSamePathTwiceIsReadTwice) {
    support::TempDir dir;
    const std::string image = dir.path() + "/label.png";
    toolstest::drawTextImage(image, 300, 60, {{"Remember window size", 10, 18, 14}});
    const std::string text = dir.write("notes.png", "this is not an image\n");
    const std::string empty = dir.write("empty.png", "");
    const std::string missing = dir.path() + "/missing.png";
    // Cut short: the PNG and JPEG readers complain about these, on their own standard error.
    std::ifstream whole(image, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    const std::string cutPng = dir.write("cut.png", bytes.substr(0, bytes.size() / 2));
    const std::string jpeg = dir.path() + "/label.jpg";
    ASSERT_TRUE(toolstest::convertImage(image, jpeg));
    std::ifstream wholeJpeg(jpeg, std::ios::binary);
    const std::string jpegBytes((std::istreambuf_iterator<char>(wholeJpeg)), std::istreambuf_iterator<char>());
    const std::string cutJpeg = dir.write("cut.jpg", jpegBytes.substr(0, 300));
    support::ToolRun run;
    const json entries =
        runOcr(dir, {{"images", {image, missing, text, dir.path(), empty, image, cutPng, cutJpeg}}}, &run);

    const auto lines = run.lines();
    ASSERT_EQ(lines.size(), 9u) << run.out;
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(json::parse(lines[i]),
                  (json{{"type", "progress"}, {"message", "Reading text " + std::to_string(i + 1) + "/8"}}));
    ASSERT_EQ(entries.size(), 8u);
    // Standard error carries the tool's own diagnostics only; the libraries' complaints are not among them.
    EXPECT_EQ(run.err, "");
    for (const std::string& bad : {missing, text, dir.path(), empty}) {
        const auto found =
            std::find_if(entries.begin(), entries.end(), [&](const json& e) { return e["image"] == bad; });
        ASSERT_NE(found, entries.end());
        EXPECT_EQ(*found, (json{{"image", bad}, {"error", "unreadable image"}, {"lines", json::array()}}));
    }
    EXPECT_FALSE(lineWith(entries[0], "Remember window size").is_null()) << entries[0].dump();
    EXPECT_EQ(entries[5], entries[0]);
    EXPECT_EQ(run.err.find("LEAK"), std::string::npos) << run.err;
}

// A tall scroll capture and a wide strip: enlarged, one of their sides would pass the longest page the
// engine takes; one longer than that even unenlarged is read in bands, each line once.
TEST(OcrTool, TallAndWideImagesAreReadWhole) {
    support::TempDir dir;
    const std::string tall = dir.path() + "/tall.png";
    toolstest::drawTextImage(tall, 400, 11000, {{"Top of the list", 20, 30, 14}, {"Bottom of the list", 20, 10940, 14}});
    const std::string wide = dir.path() + "/wide.png";
    toolstest::drawTextImage(wide, 11000, 78, {{"Left status", 20, 30, 14}, {"Right status", 10800, 30, 14}});
    // Enlarged 1.83 times (the page-area bound), 40000 pixels make bands of 17905 that overlap from 17777:
    // the middle line lies in both bands and must be read once. Cairo draws at most 32767 pixels a side, so
    // the image is two halves stacked.
    const std::string upper = dir.path() + "/upper.png", lower = dir.path() + "/lower.png";
    toolstest::drawTextImage(upper, 300, 20000, {{"First entry", 20, 30, 14}, {"Middle entry", 20, 17790, 14}});
    toolstest::drawTextImage(lower, 300, 20000, {{"Last entry", 20, 19950, 14}});
    const std::string longer = dir.path() + "/longer.png";
    ASSERT_EQ(support::runProgram({"ffmpeg", "-v", "error", "-i", upper, "-i", lower, "-filter_complex", "vstack",
                                   longer})
                  .status,
              0);
    support::ToolRun run;
    const json entries = runOcr(dir, {{"images", {tall, wide, longer}}}, &run);
    ASSERT_EQ(entries.size(), 3u);
    for (const json& entry : entries) EXPECT_FALSE(entry.contains("error")) << entry.dump();
    for (const char* text : {"Top of the list", "Bottom of the list"})
        EXPECT_FALSE(lineWith(entries[0], text).is_null()) << text << entries[0].dump();
    for (const char* text : {"Left status", "Right status"})
        EXPECT_FALSE(lineWith(entries[1], text).is_null()) << text << entries[1].dump();
    EXPECT_EQ(entries[2]["lines"].size(), 3u) << entries[2].dump();
    for (const char* text : {"First entry", "Middle entry", "Last entry"})
        EXPECT_FALSE(lineWith(entries[2], text).is_null()) << text << entries[2].dump();
    const json last = lineWith(entries[2], "Last entry");
    if (!last.is_null()) {
        EXPECT_NEAR(last["y"].get<double>() * 40000, 39950, 12) << last;
    }
    EXPECT_EQ(run.err, "");
}

TEST(OcrTool, EveryCommonImageFormatIsDecoded) {
    support::TempDir dir;
    const std::string png = dir.path() + "/source.png";
    toolstest::drawTextImage(png, 320, 80, {{"Open Recent", 12, 20, 16}});
    json images = {png};
    for (const char* suffix : {"jpg", "tiff", "bmp", "webp"}) {
        const std::string converted = dir.path() + "/converted." + suffix;
        ASSERT_TRUE(toolstest::convertImage(png, converted)) << suffix;
        images.push_back(converted);
    }
    const json entries = runOcr(dir, {{"images", images}, {"fast", true}});
    ASSERT_EQ(entries.size(), images.size());
    for (const json& entry : entries) {
        EXPECT_FALSE(entry.contains("error")) << entry.dump();
        EXPECT_EQ(entry["width"], 320) << entry["image"];
        EXPECT_EQ(entry["height"], 80) << entry["image"];
        EXPECT_FALSE(lineWith(entry, "Open Recent").is_null()) << entry.dump();
    }
}

TEST(OcrTool, ARecognitionLanguageWithoutDataFailsEachImageSaying) {
    support::TempDir dir;
    const std::string image = dir.path() + "/label.png";
    toolstest::drawTextImage(image, 200, 50, {{"Close", 10, 12, 14}});
    const json entries = runOcr(dir, {{"images", {image, image}}, {"languages", {"en-US", "fy-NL"}}});
    ASSERT_EQ(entries.size(), 2u);
    for (const json& entry : entries) {
        const std::string error = entry.value("error", "");
        EXPECT_TRUE(error.starts_with("recognition language not installed: fy-NL (fry); installed: ")) << error;
        EXPECT_NE(error.find("eng"), std::string::npos) << error;
        EXPECT_EQ(entry["lines"], json::array());
    }
    // English by its tag works.
    const json english = runOcr(dir, {{"images", {image}}, {"languages", {"en-GB"}}});
    EXPECT_FALSE(lineWith(english[0], "Close").is_null()) << english[0].dump();
}

}  // namespace
