// Acting on the fixture through the backend: pressing, confirming, menus, a control that changes the
// interface, a second window, moving and resizing, raising, and hit testing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "ax/ax.h"
#include "ax/search.h"
#include "fixture_elements.h"
#include "ax/main_window.h"

namespace {

using support::FixtureProcess;

class FixtureActions : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture.ready()) << "the fixture application did not start";
        auto found = e2e::fixtureElements(fixture.pid());
        ASSERT_TRUE(found) << "the fixture application did not appear on the accessibility bus";
        elements.emplace(std::move(*found));
    }

    const AX::Element& app() const { return elements->app; }
    const AX::Element& window() const { return elements->window; }

    std::optional<AX::Element> find(const std::optional<std::string>& role, const std::optional<std::string>& label) {
        return AX::find(window(), role, label);
    }

    bool reported(const std::string& event, const std::string& key, const std::string& value) {
        return fixture
            .waitFor(
                [&](const nlohmann::json& line) {
                    return line.value("event", "") == event && line.value(key, "") == value;
                },
                5)
            .has_value();
    }

    FixtureProcess fixture;
    std::optional<e2e::FixtureElements> elements;
};

TEST_F(FixtureActions, PressClicksButtonsAndChoosesMenuItems) {
    const auto save = find("Button", "Save");
    ASSERT_TRUE(save);
    EXPECT_TRUE(AX::press(*save));
    EXPECT_TRUE(reported("clicked", "widget", "Save"));

    // A text field offers only AXConfirm: pressing it is Enter.
    const auto name = find("TextField", "Name");
    ASSERT_TRUE(name);
    EXPECT_TRUE(AX::press(*name));
    EXPECT_TRUE(reported("activate", "widget", "name-field"));

    // The button named only by its texts offers no action: press says so, and a click is the caller's way.
    const auto exportButton = find("Button", "Export");
    ASSERT_TRUE(exportButton);
    EXPECT_FALSE(AX::press(*exportButton));

    const auto png = AX::wait(app(), window(), "MenuItem", "PNG", 2);
    ASSERT_TRUE(png);
    EXPECT_TRUE(AX::press(*png));
    EXPECT_TRUE(reported("menu", "item", "File/Export…/PNG"));

    const auto check = find("CheckBox", "Remember me");
    ASSERT_TRUE(check);
    EXPECT_TRUE(AX::press(*check));
    EXPECT_TRUE(fixture.waitForEvent("toggled", 5).has_value());
    EXPECT_EQ(AX::attr<double>(*check, "AXValue"), 1.0);
}

TEST_F(FixtureActions, FocusMovesTheKeyboardFocus) {
    const auto name = find("TextField", "Name");
    ASSERT_TRUE(name);
    AX::focus(*name);
    EXPECT_TRUE(reported("focus", "widget", "name-field"));
    // The application reports the focus before its accessible state follows; give it a moment.
    bool focused = false;
    for (int attempt = 0; attempt < 50 && !focused; ++attempt) {
        focused = AX::attr<bool>(*name, "AXFocused") == true;
        if (!focused) usleep(100'000);
    }
    EXPECT_TRUE(focused);
}

TEST_F(FixtureActions, WaitSeesAButtonThatAppearsOnlyAfterAClick) {
    EXPECT_FALSE(find("Button", "Done")) << "a hidden button must not be in the tree";
    EXPECT_FALSE(AX::wait(app(), window(), "Button", "Done", 0));
    const auto reveal = find("Button", "Reveal");
    ASSERT_TRUE(reveal);
    ASSERT_TRUE(AX::press(*reveal));
    const auto done = AX::wait(app(), window(), "Button", "Done", 5);
    ASSERT_TRUE(done);
    EXPECT_TRUE(AX::press(*done));
    EXPECT_TRUE(reported("clicked", "widget", "Done"));
}

TEST_F(FixtureActions, SecondWindowIsAmongTheWindowsAndRaiseActivatesTheFirst) {
    const auto newWindow = find("Button", "New Window");
    ASSERT_TRUE(newWindow);
    ASSERT_TRUE(AX::press(*newWindow));
    ASSERT_TRUE(fixture.waitForEvent("window", 5));
    const auto ok = AX::wait(app(), window(), "Button", "OK", 5);
    ASSERT_TRUE(ok) << "the second window's button was not found through the application's windows";
    std::vector<std::string> titles;
    for (const AX::Element& each : AX::windows(app())) titles.push_back(AX::string(each, "AXTitle").value_or("?"));
    EXPECT_EQ(titles.size(), 2u);
    EXPECT_NE(std::find(titles.begin(), titles.end(), "Second Window"), titles.end());

    const auto actions = AX::attrActions(window());
    EXPECT_NE(std::find(actions.begin(), actions.end(), "AXRaise"), actions.end());
    EXPECT_TRUE(AX::backend()->performAction(window(), "AXRaise"));
    bool active = false;
    for (int attempt = 0; attempt < 50 && !active; ++attempt) {
        active = AX::attr<bool>(window(), "AXMain") == true;
        if (!active) usleep(100'000);
    }
    EXPECT_TRUE(active) << "the raised window did not become the active one";
}

TEST_F(FixtureActions, MainWindowIsFoundByTitleOrAsTheActiveWindow) {
    const auto main = AX::mainWindow(app(), std::nullopt, 5);
    ASSERT_TRUE(main);
    EXPECT_TRUE(*main == window());
    const auto byTitle = AX::mainWindow(app(), std::string("quorrel fix"), 5);
    ASSERT_TRUE(byTitle);
    EXPECT_TRUE(*byTitle == window());

    const auto newWindow = find("Button", "New Window");
    ASSERT_TRUE(newWindow);
    ASSERT_TRUE(AX::press(*newWindow));
    const auto second = AX::mainWindow(app(), std::string("Second"), 5);
    ASSERT_TRUE(second);
    EXPECT_EQ(AX::string(*second, "AXTitle"), "Second Window");
    EXPECT_FALSE(AX::mainWindow(app(), std::string("No Such Window"), 0.3));
}

TEST_F(FixtureActions, SetFrameMovesAndResizesTheWindow) {
    const auto before = AX::frame(window());
    ASSERT_TRUE(before);
    const platform::Rect client = e2e::widgetFrame(fixture, "window");
    const double decorationWidth = before->width - client.width;
    const double decorationHeight = before->height - client.height;

    const platform::Rect wanted{120, 90, 720, 520};
    AX::setFrame(window(), wanted.origin(), wanted.size());
    const auto after = AX::frame(window());
    ASSERT_TRUE(after);
    EXPECT_EQ(*after, wanted);

    // The application itself sees the new client area.
    const auto geometry = fixture.waitFor(
        [&](const nlohmann::json& line) {
            return line.value("event", "") == "geometry" &&
                   line["widgets"]["window"].value("width", 0.0) == wanted.width - decorationWidth;
        },
        5);
    ASSERT_TRUE(geometry);
    EXPECT_EQ((*geometry)["widgets"]["window"].value("height", 0.0), wanted.height - decorationHeight);

    // Size alone keeps the position.
    AX::setFrame(window(), std::nullopt, platform::Size{600, 480});
    const auto resized = AX::frame(window());
    ASSERT_TRUE(resized);
    EXPECT_EQ(*resized, (platform::Rect{wanted.x, wanted.y, 600, 480}));
}

TEST_F(FixtureActions, HitTestFindsTheControlUnderThePoint) {
    const auto save = find("Button", "Save");
    ASSERT_TRUE(save);
    const auto hit = AX::elementAt(e2e::center(e2e::widgetFrame(fixture, "Save")));
    ASSERT_TRUE(hit);
    EXPECT_TRUE(*hit == *save);

    // Over the text inside the button named by its texts, the backend hits the static text and the climb
    // gives the button.
    const auto exportButton = find("Button", "Export");
    ASSERT_TRUE(exportButton);
    const platform::Point overText = e2e::center(e2e::widgetFrame(fixture, "Export Report"));
    const auto deepest = AX::backend()->elementAtPoint({overText.x - 20, overText.y});
    ASSERT_TRUE(deepest);
    EXPECT_EQ(AX::role(*deepest), "AXStaticText");
    const auto attributed = AX::elementAt({overText.x - 20, overText.y});
    ASSERT_TRUE(attributed);
    EXPECT_TRUE(*attributed == *exportButton);

    // Outside every window there is nothing to hit.
    EXPECT_FALSE(AX::elementAt({2, 2}));

    // Over an item of an open menu (a pop-up window of its own), the item.
    const auto bar = AX::attr<AX::Element>(app(), "AXMenuBar");
    ASSERT_TRUE(bar);
    const auto file = AX::find(*bar, "MenuBarItem", "File", AX::kMenuSearchBudget);
    ASSERT_TRUE(file);
    ASSERT_TRUE(AX::press(*file));
    const auto saveAs = AX::find(*file, "MenuItem", "Save As…", AX::kMenuSearchBudget);
    ASSERT_TRUE(saveAs);
    std::optional<platform::Rect> itemFrame;
    for (int attempt = 0; attempt < 50 && !itemFrame; ++attempt) {
        itemFrame = AX::frame(*saveAs);
        if (!itemFrame) usleep(100'000);
    }
    ASSERT_TRUE(itemFrame) << "the open menu's item has no frame";
    const auto overItem = AX::elementAt(e2e::center(*itemFrame));
    ASSERT_TRUE(overItem);
    EXPECT_TRUE(*overItem == *saveAs) << AX::describe(*overItem).label.value_or("*");
}

}  // namespace
