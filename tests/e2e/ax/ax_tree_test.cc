// The fixture's window read through the AT-SPI backend and the AX operations: roles, labels, values, frames,
// actions, the menus' shape, and the dump of the window against an expected file.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/json_line.h"
#include "ax/ax.h"
#include "ax/search.h"
#include "ax/suggest.h"
#include "ax/tree.h"
#include "fixture_elements.h"
#include "text/unicode.h"

namespace {

using support::FixtureProcess;

class FixtureTree : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture.ready()) << "the fixture application did not start";
        auto found = e2e::fixtureElements(fixture.pid());
        ASSERT_TRUE(found) << "the fixture application did not appear on the accessibility bus";
        elements.emplace(std::move(*found));
    }

    const AX::Element& app() const { return elements->app; }
    const AX::Element& window() const { return elements->window; }

    AX::Element need(const std::optional<std::string>& role, const std::optional<std::string>& label) {
        auto found = AX::find(window(), role, label);
        EXPECT_TRUE(found) << role.value_or("*") << " " << label.value_or("*");
        return found ? *found : window();
    }

    FixtureProcess fixture;
    std::optional<e2e::FixtureElements> elements;
};

TEST_F(FixtureTree, ControlsHaveTheirAXRolesLabelsAndValues) {
    EXPECT_EQ(AX::role(window()), "AXWindow");
    EXPECT_EQ(AX::string(window(), "AXSubrole"), "AXStandardWindow");
    EXPECT_EQ(AX::role(app()), "AXApplication");

    for (const char* title : {"Save", "Save As…", "Open", "Close", "Reveal", "New Window"}) {
        const AX::Element button = need("Button", title);
        EXPECT_EQ(AX::role(button), "AXButton") << title;
        EXPECT_EQ(AX::string(button, "AXTitle"), title);
        EXPECT_EQ(AX::attrActions(button), std::vector<std::string>{"AXPress"}) << title;
    }

    // A text field is named by its label and shows its placeholder; its value is its text.
    const AX::Element name = need("AXTextField", "Name");
    EXPECT_EQ(AX::string(name, "AXDescription"), "Name");
    EXPECT_EQ(AX::string(name, "AXPlaceholderValue"), "Your full name");
    EXPECT_EQ(AX::string(name, "AXValue"), "");
    EXPECT_EQ(AX::labels(name), (std::vector<std::string>{"Name", "Your full name"}));
    EXPECT_EQ(AX::attrActions(name), std::vector<std::string>{"AXConfirm"});

    const AX::Element password = need("AXSecureTextField", "Password");
    EXPECT_EQ(AX::role(password), "AXTextField");

    // A check box's value is the number 0 or 1, never a string label.
    const AX::Element check = need("CheckBox", "Remember me");
    EXPECT_EQ(AX::attr<double>(check, "AXValue"), 0.0);
    EXPECT_EQ(AX::labels(check), std::vector<std::string>{"Remember me"});

    // Text of more than 199 characters is a value but not a label.
    const auto longText = AX::find(window(), "StaticText", "deliberately long");
    EXPECT_FALSE(longText) << "a value over 199 characters must not label its element";

    // The multi-line notes field is a text area.
    EXPECT_TRUE(AX::find(window(), "AXTextArea", std::nullopt));
}

TEST_F(FixtureTree, LabelsComeFromStaticTextChildrenWhenAnElementHasNone) {
    const AX::Element exportButton = need("Button", "Export");
    EXPECT_EQ(AX::string(exportButton, "AXTitle"), std::nullopt);
    EXPECT_EQ(AX::labels(exportButton), (std::vector<std::string>{"Export", "Report"}));

    const AX::Element status = need("AXGroup", "Status: idle");
    EXPECT_EQ(AX::labels(status), std::vector<std::string>{"Status: idle"});
}

TEST_F(FixtureTree, FramesAreTheWidgetsScreenRectangles) {
    const struct {
        const char* widget;
        const char* role;
        const char* label;
    } widgets[] = {{"Save", "Button", "Save"},          {"Save As…", "Button", "Save As…"},
                   {"Open", "Button", "Open"},          {"Close", "Button", "Close"},
                   {"name-field", "TextField", "Name"}, {"password-field", "AXSecureTextField", "Password"},
                   {"check", "CheckBox", "Remember me"}};
    for (const auto& each : widgets) {
        const auto frame = AX::frame(need(each.role, each.label));
        ASSERT_TRUE(frame) << each.widget;
        EXPECT_EQ(*frame, e2e::widgetFrame(fixture, each.widget)) << each.widget;
    }
    // The window's frame holds its client area (the window manager's decorations are part of the frame).
    const auto windowFrame = AX::frame(window());
    ASSERT_TRUE(windowFrame);
    const platform::Rect client = e2e::widgetFrame(fixture, "window");
    EXPECT_LE(windowFrame->x, client.x);
    EXPECT_LE(windowFrame->y, client.y);
    EXPECT_GE(windowFrame->x + windowFrame->width, client.x + client.width);
    EXPECT_GE(windowFrame->y + windowFrame->height, client.y + client.height);
}

TEST_F(FixtureTree, MenusHaveTheShapeOfAMenuBarWithMenus) {
    EXPECT_EQ(Tree::menuBar(app()), (std::vector<std::string>{"File", "Edit"}));
    const auto bar = AX::attr<AX::Element>(app(), "AXMenuBar");
    ASSERT_TRUE(bar);
    EXPECT_EQ(AX::role(*bar), "AXMenuBar");
    // As on macOS, the menu bar belongs to the application, not to the window GTK draws it in.
    const auto barParent = AX::backend()->parent(*bar);
    ASSERT_TRUE(barParent);
    EXPECT_TRUE(*barParent == app());
    EXPECT_FALSE(AX::find(window(), "MenuBar", std::nullopt));
    EXPECT_FALSE(AX::find(window(), "MenuItem", "Save As…"));

    const auto file = AX::find(*bar, "MenuBarItem", "File", AX::kMenuSearchBudget);
    ASSERT_TRUE(file);
    const auto fileChildren = AX::children(*file);
    ASSERT_EQ(fileChildren.size(), 1u) << "a menu bar item holds exactly one menu";
    const AX::Element& fileMenu = fileChildren[0];
    EXPECT_EQ(AX::role(fileMenu), "AXMenu");
    std::vector<std::string> titles;
    for (const AX::Element& item : AX::children(fileMenu)) titles.push_back(AX::string(item, "AXTitle").value_or("?"));
    // "Close" carries accelerator padding in its accessible name; the title is what the menu shows.
    EXPECT_EQ(titles, (std::vector<std::string>{"New", "Open…", "Save", "Save As…", "Export…", "Close"}));

    const auto exportItem = AX::find(fileMenu, "MenuItem", "Export…", AX::kMenuSearchBudget);
    ASSERT_TRUE(exportItem);
    const auto exportChildren = AX::children(*exportItem);
    ASSERT_EQ(exportChildren.size(), 1u);
    EXPECT_EQ(AX::role(exportChildren[0]), "AXMenu");
    const auto png = AX::find(exportChildren[0], "MenuItem", "PNG", AX::kMenuSearchBudget);
    ASSERT_TRUE(png);

    // Parents lead back the same way: item, menu, menu-opening item.
    platform::Accessibility& ax = *AX::backend();
    const auto pngParent = ax.parent(*png);
    ASSERT_TRUE(pngParent);
    EXPECT_TRUE(*pngParent == exportChildren[0]);
    EXPECT_FALSE(*pngParent == *exportItem);
    const auto menuParent = ax.parent(*pngParent);
    ASSERT_TRUE(menuParent);
    EXPECT_TRUE(*menuParent == *exportItem);

    // Search and wait reach menu items from the application, which holds no menu bar of its own in GTK.
    const auto saveAs = AX::wait(app(), window(), "MenuItem", "Save As…", 2);
    ASSERT_TRUE(saveAs);
    EXPECT_EQ(AX::role(*saveAs), "AXMenuItem");
    EXPECT_TRUE(AX::find(*bar, std::nullopt, "JPEG", AX::kMenuSearchBudget));
}

TEST_F(FixtureTree, HandlesOfTheSameElementAreEqual) {
    const AX::Element first = need("Button", "Open");
    const AX::Element second = need(std::nullopt, "Open");
    EXPECT_TRUE(first == second);
    EXPECT_FALSE(first == need("Button", "Close"));
    const auto parent = AX::backend()->parent(first);
    ASSERT_TRUE(parent);
    bool listed = false;
    for (const AX::Element& child : AX::children(*parent)) listed = listed || child == first;
    EXPECT_TRUE(listed);
}

TEST_F(FixtureTree, SuggestionsForAMisspeltLabelRankTheRightButtonFirst) {
    const auto suggestions = Suggest::closest("Button", "Svae", {window()});
    ASSERT_FALSE(suggestions.empty());
    EXPECT_EQ(suggestions[0], Suggest::suggestionText({"AXButton", "Save"}));
    const auto opened = Suggest::closest("Button", "Opne", {window()});
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(opened[0], Suggest::suggestionText({"AXButton", "Open"}));
}

// The dump of a small fixture window, as `inspect` would print it.
std::string dumpLines(const AX::Element& window) {
    const auto frame = AX::frame(window);
    if (!frame) return "";
    const Tree::Dump dump = Tree::dump(window, frame->origin(), 400, 40);
    std::string lines;
    for (const Tree::ElementRecord& record : dump.nodes) lines += Out::serialize(Tree::json(record)) + "\n";
    lines += dump.truncated ? "truncated\n" : "complete\n";
    return lines;
}

TEST(FixtureDump, DumpOfTheWindowIsStableAndMatchesTheExpectedFile) {
    std::string dumps[2];
    for (std::string& dump : dumps) {
        FixtureProcess fixture({"--rows", "5"});
        ASSERT_TRUE(fixture.ready());
        const auto elements = e2e::fixtureElements(fixture.pid());
        ASSERT_TRUE(elements);
        dump = dumpLines(elements->window);
    }
    EXPECT_EQ(dumps[0], dumps[1]) << "two runs of the same window gave different dumps";
    const std::string expectedPath = std::string(QC_E2E_AX_DIR) + "/expected/fixture_window.jsonl";
    if (std::getenv("QC_UPDATE_EXPECTED")) std::ofstream(expectedPath) << dumps[0];
    std::ifstream expectedFile(expectedPath);
    std::stringstream expected;
    expected << expectedFile.rdbuf();
    EXPECT_EQ(dumps[0], expected.str()) << "set QC_UPDATE_EXPECTED=1 to rewrite " << expectedPath;
}

}  // namespace
