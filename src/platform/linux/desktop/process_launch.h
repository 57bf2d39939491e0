#pragma once
// Starting a program that outlives this one.

#include <sys/types.h>

#include <string>
#include <vector>

namespace platform::linux_desktop {

/// Starts `arguments` (the first is the program's path; no shell) in a session of its own, detached from
/// this process (it is not this process's child), with standard input, output and error on /dev/null and
/// no other inherited descriptors, in `workingDirectory` when it is not empty. Returns the program's
/// process id once it has been executed; throws std::runtime_error with "cannot launch <program>: <reason>"
/// when it cannot be.
pid_t launchDetached(const std::vector<std::string>& arguments, const std::string& workingDirectory);

/// What a launch adds to the environment the program inherits.
struct LaunchEnvironment {
    /// "NAME=value" settings, each replacing an inherited variable of that name.
    std::vector<std::string> settings;
    /// The name of a variable set to the program's own process id, when not empty.
    std::string pidVariable;
};

/// `launchDetached` with `environment` added to what the program inherits.
pid_t launchDetached(const std::vector<std::string>& arguments, const std::string& workingDirectory,
                     const LaunchEnvironment& environment);

/// Whether the process `pid` has ended (it no longer exists, or only as a zombie).
bool processEnded(pid_t pid);

/// Whether `ancestor` is the parent of `pid`, or its parent's parent, and so on (from /proc/<pid>/stat).
/// A process whose parent ended was adopted by init or a subreaper and no longer descends from it.
bool processDescendsFrom(pid_t pid, pid_t ancestor);

}  // namespace platform::linux_desktop
