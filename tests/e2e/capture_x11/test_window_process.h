#pragma once
// Starts qc_test_window as a child process and reads where it appeared.

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace capture_test {

class TestWindowProcess {
public:
    /// Starts the window with `arguments` and waits (up to 20 s) for its "ready" line.
    explicit TestWindowProcess(const std::vector<std::string>& arguments) : process_(command(arguments)) {
        readGeometry("ready", 20);
    }

    /// Kills the window's process and waits for it.
    void end() { process_.end(0); }

    /// Reads lines until one starting with `word` arrives, and takes its geometry; false on timeout.
    bool readGeometry(const std::string& word, double timeoutSeconds) {
        const double deadline = support::nowSeconds() + timeoutSeconds;
        while (auto text = process_.readLine(deadline - support::nowSeconds())) {
            std::istringstream line(*text);
            std::string first;
            line >> first;
            if (first == word || first == "moved") {
                line >> window >> x >> y >> width >> height;
                if (first == word) return true;
            }
        }
        if (process_.outputEnded()) throw std::runtime_error("the test window ended");
        if (word == "ready") throw std::runtime_error("the test window did not appear");
        return false;
    }

    /// Takes in any geometry lines already written (the window manager may move the window once more).
    void settle() { readGeometry("none", 0.3); }

    /// The window's process id (still given after `end`).
    pid_t pid() const { return process_.pid(); }

    unsigned long window = 0;
    int x = 0, y = 0, width = 0, height = 0;

private:
    static std::vector<std::string> command(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv{QC_TEST_WINDOW_PATH};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return argv;
    }

    support::ChildProcess process_;
};

}  // namespace capture_test
