#include "text_images.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <filesystem>

#include "support/tool_process.h"

namespace toolstest {

std::vector<InkBox> drawTextImage(const std::string& path, int width, int height, const std::vector<TextPiece>& pieces,
                                  bool dark) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    const double background = dark ? 0.16 : 0.98;
    const double ink = dark ? 0.93 : 0.12;
    cairo_set_source_rgb(cr, background, background, background);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, ink, ink, ink);

    std::vector<InkBox> boxes;
    for (const TextPiece& piece : pieces) {
        PangoLayout* layout = pango_cairo_create_layout(cr);
        PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans");
        pango_font_description_set_absolute_size(font, piece.pixelSize * PANGO_SCALE);
        pango_layout_set_font_description(layout, font);
        pango_layout_set_text(layout, piece.text.c_str(), -1);
        cairo_move_to(cr, piece.x, piece.y);
        pango_cairo_show_layout(cr, layout);
        PangoRectangle inkRect{}, logicalRect{};
        pango_layout_get_pixel_extents(layout, &inkRect, &logicalRect);
        boxes.push_back({piece.x + inkRect.x, piece.y + inkRect.y, piece.x + inkRect.x + inkRect.width,
                         piece.y + inkRect.y + inkRect.height});
        pango_font_description_free(font);
        g_object_unref(layout);
    }
    cairo_surface_write_to_png(surface, path.c_str());
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return boxes;
}

bool convertImage(const std::string& from, const std::string& to) {
    std::vector<std::string> argv{"ffmpeg", "-v", "error", "-y", "-i", from};
    if (to.ends_with(".webp")) argv.insert(argv.end(), {"-c:v", "libwebp", "-lossless", "1"});
    argv.push_back(to);
    const auto run = support::runProgram(argv);
    return run.status == 0 && std::filesystem::exists(to);
}

}  // namespace toolstest
