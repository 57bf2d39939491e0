#pragma once
// Images with known text at known places, drawn with Cairo and Pango, for the ocr command's tests.

#include <string>
#include <vector>

namespace toolstest {

/// One piece of text to draw: its top-left corner and pixel size.
struct TextPiece {
    std::string text;
    double x = 0;
    double y = 0;
    double pixelSize = 14;
};

/// Where a piece's ink landed, in pixels from the image's top-left corner.
struct InkBox {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

/// Draws `pieces` in DejaVu Sans on a `width` × `height` canvas, dark on light or (with `dark`) light on
/// dark, anti-aliased as a screen shows text, and writes it as PNG to `path`. Returns each piece's ink box.
std::vector<InkBox> drawTextImage(const std::string& path, int width, int height, const std::vector<TextPiece>& pieces,
                                  bool dark = false);

/// Converts the image at `from` to the format `to`'s suffix names (jpg, tiff, bmp, webp) with ffmpeg;
/// true when the file was written.
bool convertImage(const std::string& from, const std::string& to);

}  // namespace toolstest
