// Texts of the About box.
#pragma once

#include <string>

// "Version: 3.0 (2182-0)", followed by ", Build " and the special-build text when
// there is one.
std::string FormatAboutVersionLine(int major, int minor, unsigned build, unsigned revision,
                                   const std::string& specialBuild);

// A row of the firmware list: " " + "Ver. ..." + " - <model>".
std::string FormatAboutRow(const std::string& versionText, const std::string& modelText);
