#pragma once

#include <string>
#include <string_view>

namespace quillbank {

/// The error log: "Quillbank/error.log" in the per-user application-data folder.
std::string ErrorLogPath();

/// Appends `message` to the error log as one line (its line breaks and other
/// control characters written as escapes, see VisibleText), creating the
/// folder and the file when needed. Never fails towards its caller: when the
/// log cannot be written the message is lost.
void WriteErrorLog(std::string_view message);

} // namespace quillbank
