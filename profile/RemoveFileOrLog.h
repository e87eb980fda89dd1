// Removing a file during clean-up: a failure goes to the error log instead of stopping the work.

#pragma once

#include <string>

namespace quillbank {

/// Removes the file `path`. A file already gone is no error; any other
/// failure is one line in the error log, and the caller's clean-up goes on.
void RemoveFileOrLog(const std::string& path);

} // namespace quillbank
