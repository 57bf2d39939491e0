#pragma once
// Recognition languages: the BCP 47 tags a job names ("en-US", "de", "zh-Hans") turned into the names of
// the recogniser's language data, which follow ISO 639-2/T with a script suffix where one language is
// written in several scripts ("eng", "deu", "chi_sim", "srp_latn").

#include <optional>
#include <string>
#include <vector>

namespace tools {

/// The language data name for one BCP 47 tag, letter case ignored ("en-US" and "EN" give "eng"; "zh-Hant",
/// "zh-TW" and "zh-HK" give "chi_tra"; "zh", "zh-Hans" and "zh-CN" give "chi_sim"); none for a language
/// the table does not know.
std::optional<std::string> languageDataName(const std::string& tag);

/// The data names a run recognises with, or why it cannot.
struct LanguageChoice {
    /// In the job's order of preference, each name once; empty: the recogniser's default.
    std::vector<std::string> dataNames;
    /// Set when a tag is unknown or its data is not installed; then every image of the run fails with it.
    std::optional<std::string> problem;
};

/// The choice for a job's "languages" (absent or empty: the recogniser's default) given the installed data
/// names.
LanguageChoice chooseLanguages(const std::optional<std::vector<std::string>>& tags,
                               const std::vector<std::string>& installed);

}  // namespace tools
