#include "movie_probe.h"

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "support/tool_process.h"

namespace capture_test {
namespace {

double number(const nlohmann::json& object, const char* key) {
    if (!object.contains(key)) return 0;
    const auto& value = object[key];
    return value.is_string() ? std::stod(value.get<std::string>()) : value.get<double>();
}

}  // namespace

MovieFacts probeMovie(const std::string& path) {
    MovieFacts facts;
    const auto run = support::runProgram(
        {"ffprobe", "-v", "error", "-print_format", "json", "-show_format", "-show_streams", path});
    if (run.status != 0) return facts;
    const auto probe = nlohmann::json::parse(run.out, nullptr, false);
    if (probe.is_discarded() || !probe.contains("streams") || probe["streams"].empty()) return facts;
    facts.readable = true;
    const auto& stream = probe["streams"][0];
    const auto& format = probe["format"];
    facts.formatName = format.value("format_name", "");
    if (format.contains("tags")) facts.majorBrand = format["tags"].value("major_brand", "");
    facts.codecName = stream.value("codec_name", "");
    facts.codecTag = stream.value("codec_tag_string", "");
    facts.width = stream.value("width", 0);
    facts.height = stream.value("height", 0);
    facts.frameCount = stream.contains("nb_frames") ? static_cast<long long>(number(stream, "nb_frames")) : -1;
    facts.streamSeconds = number(stream, "duration");
    facts.formatSeconds = number(format, "duration");
    facts.hasBFrames = stream.value("has_b_frames", 0) != 0;

    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    facts.fragmented = bytes.find("moof") != std::string::npos;
    return facts;
}

DecodeResult decodeMovie(const std::string& path) {
    DecodeResult result;
    const auto decode = support::runProgram({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "null", "-"});
    result.errors = decode.err;
    result.status = decode.status;
    if (decode.status != 0 && result.errors.empty()) {
        result.errors = "ffmpeg ended with status " + std::to_string(decode.status);
    }

    const auto frames = support::runProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                             "frame=pts_time,duration_time", "-print_format", "json", path});
    const auto list = nlohmann::json::parse(frames.out, nullptr, false);
    if (list.is_discarded() || !list.contains("frames")) return result;
    for (const auto& frame : list["frames"]) {
        ++result.frames;
        result.endSeconds = std::max(result.endSeconds, number(frame, "pts_time") + number(frame, "duration_time"));
    }
    return result;
}

std::vector<std::vector<uint8_t>> decodeBgraFrames(const std::string& path, int width, int height) {
    const auto decode = support::runProgram(
        {"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "bgra", "-fps_mode", "passthrough", "-"});
    std::vector<std::vector<uint8_t>> frames;
    const size_t frameBytes = size_t(width) * size_t(height) * 4;
    for (size_t offset = 0; frameBytes > 0 && offset + frameBytes <= decode.out.size(); offset += frameBytes) {
        frames.emplace_back(decode.out.begin() + long(offset), decode.out.begin() + long(offset + frameBytes));
    }
    return frames;
}

}  // namespace capture_test
