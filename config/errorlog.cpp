#include "config/errorlog.h"

#include "platform/SpecialFolders.h"
#include "platform/Text.h"

#include <filesystem>
#include <fstream>

namespace quillbank {

std::string ErrorLogPath()
{
    return AppDataDir() + "/Quillbank/error.log";
}

void WriteErrorLog(std::string_view message)
{
    std::error_code error;
    // The whole chain is created: on a fresh account even the per-user
    // configuration folder may not exist yet.
    std::filesystem::create_directories(AppDataDir() + "/Quillbank", error);
    if (error)
        return;
    // Messages carry names from archives and profiles: whatever they hold,
    // the line stays one line that no terminal reading the log acts upon.
    std::string line = VisibleText(message);
    line += '\n';
    // One open-append-close per line, so two running copies of the program
    // interleave whole lines.
    std::ofstream log(ErrorLogPath(), std::ios::binary | std::ios::app);
    log << line;
}

} // namespace quillbank
