#pragma once
// Trimming the blanks a person does not see at the ends of a name.

#include <string>

namespace text {

/// `s` without the spaces and tabs at either end: the Unicode space separators and the tab. Line breaks
/// stay, as does everything else.
std::string withoutSpacesAtEnds(const std::string& s);

}  // namespace text
