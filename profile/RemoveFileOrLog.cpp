// Removes one file, taking a file already gone as done and logging any other failure.

#include "profile/RemoveFileOrLog.h"

#include "config/errorlog.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace quillbank {

void RemoveFileOrLog(const std::string& path)
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        WriteErrorLog("cannot delete " + path + ": " + std::strerror(errno));
}

} // namespace quillbank
