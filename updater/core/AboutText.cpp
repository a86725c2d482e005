#include "AboutText.h"

#include <cstdio>

std::string FormatAboutVersionLine(int major, int minor, unsigned build, unsigned revision,
                                   const std::string& specialBuild)
{
    char numbers[64];
    std::snprintf(numbers, sizeof(numbers), "%d.%d (%u-%u)", major, minor, build, revision);
    std::string line = std::string("Version: ") + numbers;
    if (!specialBuild.empty()) line += ", Build " + specialBuild;
    return line;
}

std::string FormatAboutRow(const std::string& versionText, const std::string& modelText)
{
    return " " + versionText + modelText;
}
