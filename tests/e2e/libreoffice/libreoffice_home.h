#pragma once
// A private home for LibreOffice and the tool in the desktop tests: settings, profile and caches of one test
// only, with a profile whose first start asks nothing.

#include <filesystem>
#include <fstream>
#include <string>

#include "app_process.h"
#include "support/tool_process.h"

namespace libreofficetest {

// No first-run wizard, no tip of the day, no "what's new" bar.
inline constexpr const char* kProfileSettings = R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="ShowTipOfTheDay" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Setup/Product"><prop oor:name="ooSetupLastVersion" oor:op="fuse"><value>7.4</value></prop></item>
</oor:items>
)";

/// The home, with the profile in its default place; the programs started with it end with it.
class LibreOfficeHome {
public:
    LibreOfficeHome() {
        std::filesystem::create_directories(profile());
        std::ofstream(profile() + "/registrymodifications.xcu") << kProfileSettings;
    }
    ~LibreOfficeHome() { home_.endPrograms(); }
    const std::string& path() const { return home_.path(); }
    std::string profile() const { return path() + "/.config/libreoffice/4/user"; }
    /// The tool's options: this home's environment, LibreOffice's GTK 3 plugin, and the time limit.
    support::ToolOptions options(double timeoutSeconds) const {
        support::ToolOptions options;
        options.set = home_.environment();
        options.set["SAL_USE_VCLPLUGIN"] = "gtk3";
        options.timeoutSeconds = timeoutSeconds;
        return options;
    }

private:
    stepstest::PrivateHome home_;
};

}  // namespace libreofficetest
