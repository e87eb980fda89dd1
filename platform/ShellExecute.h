// Starting other programs and waiting for them, with arguments split by the Windows command-line rules.

#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/// Splits a parameter text into arguments by the Windows command-line rules:
/// blanks separate arguments, double quotes group, backslashes are literal
/// except before a double quote (2n backslashes + quote: n backslashes and a
/// quote toggle; 2n+1: n backslashes and a literal quote), and "" inside a
/// quoted argument is a literal quote.
std::vector<std::string> SplitWindowsCommandLine(std::string_view parameters);

/// Runs `command` (the program, found on PATH unless it names a folder, then
/// its arguments) and waits for it to end, calling `whileWaiting` every few
/// milliseconds meanwhile. False when it could not be started.
bool RunAndWait(const std::vector<std::string>& command, const std::function<void()>& whileWaiting);

} // namespace quillbank
