// The desktop-entry Exec splitting on arbitrary entries: never fails other than by giving no arguments,
// and a command without quotes, escapes or field codes splits exactly at its spaces.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/linux/desktop/desktop_entry_command.h"

using platform::linux_desktop::DesktopEntry;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    DesktopEntry entry;
    entry.name = input.ConsumeRandomLengthString(32);
    entry.icon = input.ConsumeRandomLengthString(32);
    entry.path = input.ConsumeRandomLengthString(32);
    entry.exec = input.ConsumeRemainingBytesAsString();
    const std::vector<std::string> arguments = platform::linux_desktop::commandArguments(entry);

    if (entry.exec.find_first_of("\"\\%\n\t") != std::string::npos) return 0;
    std::vector<std::string> words;
    std::istringstream split(entry.exec);
    for (std::string word; split >> word;) words.push_back(word);
    // istringstream also splits at \v, \f and \r, which the entry rules keep inside words.
    if (entry.exec.find_first_of("\v\f\r") != std::string::npos) return 0;
    if (arguments != words) {
        std::fprintf(stderr, "fuzz_desktop_exec: a plain command split differently\n");
        std::abort();
    }
    return 0;
}
