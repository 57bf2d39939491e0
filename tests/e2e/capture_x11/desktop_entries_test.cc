// Matching running programs to desktop entries (folders, precedence, the matching order).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/linux/desktop/desktop_entries.h"

namespace {

namespace fs = std::filesystem;
using platform::linux_desktop::ApplicationHints;
using platform::linux_desktop::loadDesktopEntries;
using platform::linux_desktop::matchDesktopEntry;

class DesktopEntries : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("qc-entries-" + std::to_string(getpid()));
        fs::create_directories(root_ / "home/applications/vendor");
        fs::create_directories(root_ / "system/applications");
        setenv("XDG_DATA_HOME", (root_ / "home").c_str(), 1);
        setenv("XDG_DATA_DIRS", ((root_ / "nothing-here").string() + ":" + (root_ / "system").string()).c_str(), 1);
    }
    void TearDown() override { fs::remove_all(root_); }

    void write(const std::string& relative, const std::string& body) {
        std::ofstream(root_ / relative) << body;
    }

    fs::path root_;
};

TEST_F(DesktopEntries, EarlierFoldersWinHiddenEntriesHideAndSubfoldersGiveDashedIds) {
    write("home/applications/org.example.Editor.desktop",
          "[Desktop Entry]\nType=Application\nName=My Editor\nExec=editor %F\n");
    write("system/applications/org.example.Editor.desktop",
          "[Desktop Entry]\nType=Application\nName=Editor\nExec=editor\n");
    write("home/applications/org.example.Gone.desktop", "[Desktop Entry]\nType=Application\nHidden=true\n");
    write("system/applications/org.example.Gone.desktop", "[Desktop Entry]\nType=Application\nName=Gone\n");
    write("home/applications/vendor/tool.desktop", "[Desktop Entry]\r\nType=Application\r\nName=Vendor Tool\r\n");
    write("system/applications/link.desktop", "[Desktop Entry]\nType=Link\nName=A link\n");
    write("system/applications/actions.desktop",
          "[Desktop Entry]\nType=Application\nName=Main\n[Desktop Action new]\nName=Not the name\n");

    std::map<std::string, std::string> names;
    for (const auto& entry : loadDesktopEntries()) names[entry.id] = entry.name;
    EXPECT_EQ(names["org.example.Editor"], "My Editor");
    EXPECT_FALSE(names.count("org.example.Gone"));
    EXPECT_EQ(names["vendor-tool"], "Vendor Tool");
    EXPECT_FALSE(names.count("link"));
    EXPECT_EQ(names["actions"], "Main");
}

TEST_F(DesktopEntries, MatchesByApplicationIdThenWindowClassThenExecutable) {
    const std::string program = (root_ / "bin/prog").string();
    fs::create_directories(root_ / "bin");
    write("bin/prog", "#!/bin/sh\n");
    fs::permissions(root_ / "bin/prog", fs::perms::owner_all);
    write("home/applications/org.example.ById.desktop", "[Desktop Entry]\nType=Application\nName=By Id\n");
    write("home/applications/by-class.desktop",
          "[Desktop Entry]\nType=Application\nName=By Class\nStartupWMClass=Fancy\n");
    write("home/applications/Plain.desktop", "[Desktop Entry]\nType=Application\nName=Plain\n");
    write("home/applications/by-program.desktop",
          "[Desktop Entry]\nType=Application\nName=By Program\nExec=\"" + program + "\" --flag \"%f\"\n");
    const auto entries = loadDesktopEntries();
    auto match = [&](ApplicationHints hints) {
        auto entry = matchDesktopEntry(entries, hints);
        return entry ? entry->id : std::string("(none)");
    };
    EXPECT_EQ(match({"org.example.ById", "Fancy", "Fancy", program}), "org.example.ById");
    EXPECT_EQ(match({"org.example.Unknown", "fancy", "Fancy", program}), "by-class");
    EXPECT_EQ(match({"", "fancy", "fancy", program}), "by-program");  // StartupWMClass is case-sensitive
    EXPECT_EQ(match({"", "plain", "PLAIN", ""}), "Plain");            // the id against the class is not
    EXPECT_EQ(match({"", "", "", program}), "by-program");
    EXPECT_EQ(match({"", "", "", "/usr/bin/elsewhere"}), "(none)");
    EXPECT_EQ(match({}), "(none)");
}

TEST_F(DesktopEntries, MatchesTheProgramThatThePathFindsThroughLinksAndSkipsWhatCannotRun) {
    // $PATH: a folder whose "tool" cannot run, a link to the next folder, that folder, whose "tool" links to
    // the real program elsewhere, and a folder that does not exist.
    fs::create_directories(root_ / "first");
    fs::create_directories(root_ / "second");
    fs::create_directories(root_ / "real");
    fs::create_symlink(root_ / "second", root_ / "second-link");
    write("first/tool", "#!/bin/sh\n");
    fs::permissions(root_ / "first/tool", fs::perms::owner_read | fs::perms::owner_write);
    write("real/tool-1.2", "#!/bin/sh\n");
    fs::permissions(root_ / "real/tool-1.2", fs::perms::owner_all);
    fs::create_symlink(root_ / "real/tool-1.2", root_ / "second/tool");
    write("second/helper", "#!/bin/sh\n");
    fs::permissions(root_ / "second/helper", fs::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH",
           ((root_ / "first").string() + ":" + (root_ / "second-link").string() + "::" + (root_ / "second").string() +
            ":" + (root_ / "missing").string())
               .c_str(),
           1);
    write("home/applications/other.desktop", "[Desktop Entry]\nType=Application\nName=Other\nExec=absent-tool\n");
    write("home/applications/tool.desktop", "[Desktop Entry]\nType=Application\nName=Tool\nExec=tool --new %U\n");
    write("home/applications/wrapped.desktop",
          "[Desktop Entry]\nType=Application\nName=Wrapped\nExec=env A=1 helper\nTryExec=helper\n");
    const auto entries = loadDesktopEntries();
    auto match = [&](const fs::path& executable) {
        ApplicationHints hints;
        hints.executablePath = executable.string();
        auto entry = matchDesktopEntry(entries, hints);
        return entry ? entry->id : std::string("(none)");
    };
    const auto real = fs::canonical(root_ / "real/tool-1.2");
    const auto helper = fs::canonical(root_ / "second/helper");
    EXPECT_EQ(match(real), "tool");
    EXPECT_EQ(match(helper), "wrapped");  // by TryExec, the Exec line running env
    EXPECT_EQ(match(root_ / "first/tool"), "(none)");
    EXPECT_EQ(platform::linux_desktop::resolveProgram("tool"), real.string());
    EXPECT_EQ(platform::linux_desktop::resolveProgram("\"helper\" -x"), helper.string());
    setenv("PATH", oldPath.c_str(), 1);
}

}  // namespace
