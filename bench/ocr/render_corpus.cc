// ocr_render_corpus: draws real GTK 3 widgets with known text into PNG files, one per font, pixel size and
// theme, each with the text it shows beside it (NAME.txt, one widget's text per line).
//
//   ocr_render_corpus OUTPUT_DIR
//
// Needs an X display (run it inside scripts/desktop-session). The widgets are laid out in an offscreen
// window, so nothing shows on screen and nothing depends on a window manager.

#include <gtk/gtk.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

const char* const kFonts[] = {"DejaVu Sans", "Liberation Sans", "Cantarell"};
const int kPixelSizes[] = {10, 12, 14, 16};

// Interface text as applications show it: menu titles, labels, check boxes, buttons, field contents.
const char* const kMenus[][4] = {
    {"File", "Edit", "View", "Help"},
    {"Document", "Search", "Tools", "Window"},
    {"Project", "Build", "Debug", "Settings"},
};
const char* const kHeadings[] = {"Print preview settings", "Keyboard shortcuts", "Search and replace",
                                 "Connection details",     "Appearance options", "Recent documents",
                                 "Backup schedule",        "Account information"};
const char* const kChecks[] = {"Show line numbers",  "Wrap long lines",     "Match whole words only",
                               "Highlight brackets", "Check spelling",      "Remember window size",
                               "Use system font",    "Show hidden files",   "Open last session",
                               "Notify on updates",  "Confirm before quit", "Auto save every minute"};
const char* const kFields[] = {"report-2024.txt", "Quarterly summary", "user@example.com", "192.168.1.20",
                               "Monday 9:30",     "Draft version 3",   "/home/anna/notes", "Tab width: 4"};
const char* const kButtons[][2] = {{"Cancel", "Apply"},    {"Close", "Save As"},  {"Back", "Next"},
                                   {"Reset", "Open File"}, {"Discard", "Export"}, {"Help", "Connect"}};
const char* const kRadios[] = {"Landscape", "Portrait", "Plain text", "Rich text", "Left aligned", "Centered"};

struct Page {
    std::string name;
    std::string font;
    int pixels;
    bool dark;
};

void applyStyle(const Page& page) {
    GtkSettings* settings = gtk_settings_get_default();
    g_object_set(settings, "gtk-theme-name", "Adwaita", "gtk-application-prefer-dark-theme", page.dark ? TRUE : FALSE,
                 nullptr);
    static GtkCssProvider* provider = nullptr;
    if (!provider) {
        provider = gtk_css_provider_new();
        gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                                  GTK_STYLE_PROVIDER_PRIORITY_USER);
    }
    const std::string css =
        "* { font-family: \"" + page.font + "\"; font-size: " + std::to_string(page.pixels) + "px; }";
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
}

GtkWidget* menuBar(const char* const titles[4], std::vector<std::string>& truth) {
    GtkWidget* bar = gtk_menu_bar_new();
    std::string line;
    for (int i = 0; i < 4; ++i) {
        gtk_menu_shell_append(GTK_MENU_SHELL(bar), gtk_menu_item_new_with_label(titles[i]));
        line += (i ? " " : "") + std::string(titles[i]);
    }
    truth.push_back(line);
    return bar;
}

// One window's worth of widgets for page number `n`; `truth` receives their text.
GtkWidget* content(int n, std::vector<std::string>& truth) {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_box_pack_start(GTK_BOX(box), menuBar(kMenus[n % 3], truth), FALSE, FALSE, 0);

    GtkWidget* body = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(body), 12);
    gtk_box_pack_start(GTK_BOX(box), body, TRUE, TRUE, 0);

    const char* heading = kHeadings[n % 8];
    GtkWidget* label = gtk_label_new(heading);
    gtk_widget_set_halign(label, GTK_ALIGN_START);
    gtk_box_pack_start(GTK_BOX(body), label, FALSE, FALSE, 0);
    truth.push_back(heading);

    for (int i = 0; i < 2; ++i) {
        const char* text = kChecks[(n * 2 + i) % 12];
        GtkWidget* check = gtk_check_button_new_with_label(text);
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), (n + i) % 2 == 0);
        gtk_box_pack_start(GTK_BOX(body), check, FALSE, FALSE, 0);
        truth.push_back(text);
    }

    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    const char* fieldLabel = n % 2 ? "Name:" : "Value:";
    gtk_box_pack_start(GTK_BOX(row), gtk_label_new(fieldLabel), FALSE, FALSE, 0);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), kFields[n % 8]);
    gtk_box_pack_start(GTK_BOX(row), entry, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(body), row, FALSE, FALSE, 0);
    truth.push_back(std::string(fieldLabel) + " " + kFields[n % 8]);

    GtkWidget* radios = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    GtkWidget* first = gtk_radio_button_new_with_label(nullptr, kRadios[(n * 2) % 6]);
    GtkWidget* second = gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(first), kRadios[(n * 2 + 1) % 6]);
    gtk_box_pack_start(GTK_BOX(radios), first, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(radios), second, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(body), radios, FALSE, FALSE, 0);
    truth.push_back(std::string(kRadios[(n * 2) % 6]) + " " + kRadios[(n * 2 + 1) % 6]);

    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_widget_set_halign(buttons, GTK_ALIGN_END);
    for (int i = 0; i < 2; ++i)
        gtk_box_pack_start(GTK_BOX(buttons), gtk_button_new_with_label(kButtons[n % 6][i]), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(body), buttons, FALSE, FALSE, 0);
    truth.push_back(std::string(kButtons[n % 6][0]) + " " + kButtons[n % 6][1]);
    return box;
}

bool render(const Page& page, int n, const std::string& dir) {
    applyStyle(page);
    std::vector<std::string> truth;
    GtkWidget* window = gtk_offscreen_window_new();
    gtk_container_add(GTK_CONTAINER(window), content(n, truth));
    gtk_widget_set_size_request(window, 18 * page.pixels + 160, -1);
    gtk_widget_show_all(window);
    for (int i = 0; i < 50 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
    while (gtk_events_pending()) gtk_main_iteration();
    GdkPixbuf* pixbuf = gtk_offscreen_window_get_pixbuf(GTK_OFFSCREEN_WINDOW(window));
    if (!pixbuf) return false;
    const std::string base = dir + "/" + page.name;
    const bool saved = gdk_pixbuf_save(pixbuf, (base + ".png").c_str(), "png", nullptr, nullptr);
    g_object_unref(pixbuf);
    gtk_widget_destroy(window);
    std::ofstream text(base + ".txt");
    for (const auto& line : truth) text << line << "\n";
    return saved;
}

std::string slug(const std::string& font) {
    std::string out;
    for (char c : font) out += c == ' ' ? '-' : static_cast<char>(g_ascii_tolower(c));
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ocr_render_corpus OUTPUT_DIR\n");
        return 64;
    }
    g_setenv("GDK_SCALE", "1", TRUE);
    g_setenv("GTK_THEME", "", TRUE);
    gtk_init(&argc, &argv);
    const std::string dir = argv[1];
    int n = 0;
    for (const char* font : kFonts) {
        for (int pixels : kPixelSizes) {
            for (bool dark : {false, true}) {
                const Page page{slug(font) + "-" + std::to_string(pixels) + "px-" + (dark ? "dark" : "light"), font,
                                pixels, dark};
                if (!render(page, n, dir)) {
                    std::fprintf(stderr, "could not render %s\n", page.name.c_str());
                    return 1;
                }
                ++n;
            }
        }
    }
    return 0;
}
