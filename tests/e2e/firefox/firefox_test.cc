// Firefox ESR (Debian's firefox-esr) launched cold from its desktop entry by the built tool: a menu that
// Firefox fills only as it opens (View › Zoom › Zoom In), then a page loaded from a data: URL typed into the
// address bar and a button of that page clicked as soon as it is there. Read back from the window's title
// (X11), the page's button (AT-SPI, by the test itself) and the movie (ffprobe).

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "app_process.h"
#include "atspi_reader.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using stepstest::Accessible;
using stepstest::PrivateHome;
using stepstest::describe;

// A profile that starts on a blank page and asks nothing: no welcome tour, default-browser question,
// data-reporting bar, updates or network services (this machine has no network), and a zoom that belongs to
// the tab rather than to a site, so that it carries over to the page loaded after it.
constexpr const char* kProfilePreferences = R"(user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.aboutwelcome.enabled", false);
user_pref("trailhead.firstrun.didSeeAboutWelcome", true);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("startup.homepage_welcome_url", "");
user_pref("startup.homepage_welcome_url.additional", "");
user_pref("browser.startup.page", 0);
user_pref("browser.newtabpage.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("datareporting.policy.dataSubmissionPolicyBypassNotification", true);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("app.update.auto", false);
user_pref("browser.sessionstore.resume_from_crash", false);
user_pref("browser.tabs.warnOnClose", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
user_pref("browser.safebrowsing.malware.enabled", false);
user_pref("browser.safebrowsing.phishing.enabled", false);
user_pref("browser.safebrowsing.downloads.enabled", false);
user_pref("extensions.update.enabled", false);
user_pref("browser.search.suggest.enabled", false);
user_pref("browser.urlbar.suggest.searches", false);
user_pref("browser.zoom.siteSpecific", false);
)";

// Writes the profile as the default one of the private home.
void writeProfile(const PrivateHome& home) {
    const std::string firefox = home.path() + "/.mozilla/firefox";
    fs::create_directories(firefox + "/quorrel.default");
    std::ofstream(firefox + "/profiles.ini")
        << "[General]\nStartWithLastProfile=1\n\n[Profile0]\nName=default\nIsRelative=1\nPath=quorrel.default\nDefault=1\n";
    std::ofstream(firefox + "/quorrel.default/user.js") << kProfilePreferences;
}

// The X window that has the focus, as the window manager says.
std::string activeWindow() {
    const std::string line = support::runProgram({"xprop", "-root", "_NET_ACTIVE_WINDOW"}).out;
    const auto at = line.find("0x");
    return at == std::string::npos ? "" : line.substr(at, line.find_first_of(", \n", at) - at);
}

// What the window manager shows as the focused window's title.
std::string activeWindowTitle() {
    const std::string line = support::runProgram({"xprop", "-id", activeWindow(), "_NET_WM_NAME"}).out;
    const auto open = line.find('"');
    return open == std::string::npos ? "" : line.substr(open + 1, line.rfind('"') - open - 1);
}

pid_t activeWindowProcess() {
    const std::string line = support::runProgram({"xprop", "-id", activeWindow(), "_NET_WM_PID"}).out;
    const auto equals = line.find('=');
    return equals == std::string::npos ? 0 : std::atoi(line.c_str() + equals + 1);
}

// A page whose 200 px button names the document "Clicked" when pressed; typed, so written without quotes.
constexpr const char* kPage =
    "data:text/html,<title>Page</title><button%20style=width:200px%20onclick=document.title=%27Clicked%27>"
    "Change%20title</button>";

TEST(FirefoxFromItsEntry, AMenuFilledAsItOpensIsChosenAndAButtonOfAPageJustLoadedIsClicked) {
    ASSERT_TRUE(fs::exists("/usr/share/applications/firefox-esr.desktop")) << "install firefox-esr (scripts/setup)";
    PrivateHome home;
    writeProfile(home);
    const std::string out = home.path() + "/firefox.mov";
    json job = stepstest::appJob("Firefox ESR", out,
                                 {{{"action", "menu"}, {"path", {"View", "Zoom", "Zoom In"}}},
                                  {{"action", "click"}, {"role", "ComboBox"}, {"label", "Search or enter address"}},
                                  {{"action", "type"}, {"value", std::string(kPage) + "\n"}},
                                  {{"action", "click"}, {"role", "Button"}, {"label", "Change title"}}});
    job["windowSize"] = {{"width", 1024}, {"height", 700}};
    const auto started = std::chrono::steady_clock::now();
    // Firefox makes a profile of its own for each installation unless told to use the default one.
    const support::ToolRun run = home.run(job, 120, {{"MOZ_LEGACY_PROFILES", "1"}});
    std::cout << "Firefox launched cold and driven in "
              << std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() << " s\n";
    ASSERT_EQ(run.status, 0) << describe(run);

    // The zoom menu holds no items until View opens: checked up to View, the rest left to the run.
    const json result = run.last();
    EXPECT_EQ(result["preflight"]["deferred"][0],
              (json{{"step", 1}, {"role", "AXMenuItem"}, {"label", "Zoom"}, {"closestNow", json::array()}}));
    EXPECT_EQ(stepstest::eventually(activeWindowTitle, std::string("Clicked — Mozilla Firefox")),
              "Clicked — Mozilla Firefox");
    // Zoomed in once (110 %, not 120 %: chosen once): the 200 px button is drawn about 220 px wide.
    const Accessible firefox = stepstest::applicationOf(activeWindowProcess());
    const auto button = stepstest::screenExtentsOf(stepstest::findObject(firefox, "push button", "Change title"));
    ASSERT_TRUE(button) << "the page's button is not on the accessibility bus";
    EXPECT_GE(button->width, 215);
    EXPECT_LT(button->width, 230);

    const std::string probe = support::runProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                                   "stream=width,height", "-of", "csv=p=0", out})
                                  .out;
    EXPECT_EQ(probe, "1024,700\n");
    home.endPrograms();
}

}  // namespace
