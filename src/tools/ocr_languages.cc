#include "tools/ocr_languages.h"

#include <algorithm>
#include <map>

namespace tools {
namespace {

std::string lowered(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::vector<std::string> subtags(const std::string& tag) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : tag) {
        if (c == '-' || c == '_') {
            parts.push_back(lowered(part));
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(lowered(part));
    return parts;
}

// Primary language subtags (ISO 639-1, or ISO 639-2/3 where there is no two-letter code) to data names.
const std::map<std::string, std::string>& byLanguage() {
    static const std::map<std::string, std::string> table = {
        {"af", "afr"}, {"am", "amh"},     {"ar", "ara"}, {"as", "asm"}, {"az", "aze"}, {"be", "bel"},  {"bg", "bul"},
        {"bn", "ben"}, {"bo", "bod"},     {"bs", "bos"}, {"br", "bre"}, {"ca", "cat"}, {"cs", "ces"},  {"cy", "cym"},
        {"da", "dan"}, {"de", "deu"},     {"dv", "div"}, {"dz", "dzo"}, {"el", "ell"}, {"en", "eng"},  {"eo", "epo"},
        {"es", "spa"}, {"et", "est"},     {"eu", "eus"}, {"fa", "fas"}, {"fi", "fin"}, {"fil", "fil"}, {"fo", "fao"},
        {"fr", "fra"}, {"fy", "fry"},     {"ga", "gle"}, {"gd", "gla"}, {"gl", "glg"}, {"gu", "guj"},  {"he", "heb"},
        {"hi", "hin"}, {"hr", "hrv"},     {"ht", "hat"}, {"hu", "hun"}, {"hy", "hye"}, {"id", "ind"},  {"is", "isl"},
        {"it", "ita"}, {"iu", "iku"},     {"ja", "jpn"}, {"jv", "jav"}, {"ka", "kat"}, {"kk", "kaz"},  {"km", "khm"},
        {"kn", "kan"}, {"ko", "kor"},     {"ku", "kmr"}, {"ky", "kir"}, {"la", "lat"}, {"lb", "ltz"},  {"lo", "lao"},
        {"lt", "lit"}, {"lv", "lav"},     {"mi", "mri"}, {"mk", "mkd"}, {"ml", "mal"}, {"mn", "mon"},  {"mr", "mar"},
        {"ms", "msa"}, {"mt", "mlt"},     {"my", "mya"}, {"ne", "nep"}, {"nl", "nld"}, {"nb", "nor"},  {"nn", "nor"},
        {"no", "nor"}, {"oc", "oci"},     {"or", "ori"}, {"pa", "pan"}, {"pl", "pol"}, {"ps", "pus"},  {"pt", "por"},
        {"qu", "que"}, {"ro", "ron"},     {"ru", "rus"}, {"sa", "san"}, {"sd", "snd"}, {"si", "sin"},  {"sk", "slk"},
        {"sl", "slv"}, {"sq", "sqi"},     {"sr", "srp"}, {"su", "sun"}, {"sv", "swe"}, {"sw", "swa"},  {"ta", "tam"},
        {"te", "tel"}, {"tg", "tgk"},     {"th", "tha"}, {"ti", "tir"}, {"tl", "tgl"}, {"to", "ton"},  {"tr", "tur"},
        {"tt", "tat"}, {"ug", "uig"},     {"uk", "ukr"}, {"ur", "urd"}, {"uz", "uzb"}, {"vi", "vie"},  {"yi", "yid"},
        {"yo", "yor"}, {"zh", "chi_sim"},
    };
    return table;
}

bool has(const std::vector<std::string>& parts, const std::string& subtag) {
    return std::find(parts.begin() + 1, parts.end(), subtag) != parts.end();
}

}  // namespace

std::optional<std::string> languageDataName(const std::string& tag) {
    const std::vector<std::string> parts = subtags(tag);
    const auto found = byLanguage().find(parts.front());
    if (found == byLanguage().end()) return std::nullopt;
    const std::string& language = parts.front();
    // Languages written in more than one script: the script subtag decides, else the region's usual script.
    if (language == "zh") {
        if (has(parts, "hant") || has(parts, "tw") || has(parts, "hk") || has(parts, "mo")) return "chi_tra";
        return "chi_sim";
    }
    if (language == "sr" && has(parts, "latn")) return "srp_latn";
    if (language == "uz" && has(parts, "cyrl")) return "uzb_cyrl";
    if (language == "az" && has(parts, "cyrl")) return "aze_cyrl";
    return found->second;
}

LanguageChoice chooseLanguages(const std::optional<std::vector<std::string>>& tags,
                               const std::vector<std::string>& installed) {
    LanguageChoice choice;
    if (!tags) return choice;
    std::vector<std::string> missing;
    for (const std::string& tag : *tags) {
        const std::optional<std::string> name = languageDataName(tag);
        if (!name) {
            choice.problem = "unsupported recognition language: " + tag;
            return choice;
        }
        if (std::find(installed.begin(), installed.end(), *name) == installed.end())
            missing.push_back(tag + " (" + *name + ")");
        else if (std::find(choice.dataNames.begin(), choice.dataNames.end(), *name) == choice.dataNames.end())
            choice.dataNames.push_back(*name);
    }
    if (!missing.empty()) {
        std::string message = "recognition language not installed: ";
        for (size_t i = 0; i < missing.size(); ++i) message += (i ? ", " : "") + missing[i];
        message += "; installed:";
        bool any = false;
        for (const std::string& name : installed) {
            if (name == "osd") continue;  // orientation data, not a language
            message += (any ? ", " : " ") + name;
            any = true;
        }
        if (!any) message += " none";
        choice.problem = message;
    }
    return choice;
}

}  // namespace tools
