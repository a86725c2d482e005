// The program's console streams. Texts are ANSI in the system code page, as the
// library's are: into a file or pipe they are written unchanged; on a console they are
// shown through the wide interface, so they look right whatever its code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ombrel_cli {

// False when standard output has gone (its reader has ended).
bool WriteOut(std::string_view text);
// UTF-8 text (the tables' names): shown as it is on a console, whatever its code page;
// into a file or pipe in the system code page like the rest.
bool WriteOutUtf8(std::string_view utf8);
// For a verb whose whole result is this text: kExitOk when it was written, otherwise
// says so on stderr and gives kExitFailed (a full disk must not look like success).
int WriteResult(std::string_view text);
// The same for a UTF-8 text (names of any script), written as WriteOutUtf8 does.
int WriteResultUtf8(std::string_view utf8);
void WriteErr(std::string_view text);
// "ombrel: " + message + line end, on stderr.
void ReportError(std::string_view message);
// The same, then the failure's next step when it has one (NextStep); gives `exitCode`.
int ReportFailure(int exitCode, std::string_view message);
// The same, and where to find the right usage: the verb's help, or the general one
// when `verb` is empty.
void ReportUsageError(std::string_view verb, std::string_view message);

bool OutIsConsole();
bool InputIsConsole();

// One line of standard input without its line end; nothing at the end of input.
std::optional<std::string> ReadInputLine();

// The local time of day, "14:02:03" or with the milliseconds "14:02:03.125", for the
// lines of the verbs that follow a tuner.
std::string LocalClockText(bool milliseconds);

// A library text (system code page) as UTF-8, for JSON.
std::string AnsiToUtf8(std::string_view ansi);

}  // namespace ombrel_cli
