// quillbank-cli: the command-line face of Quillbank, for scripts and terminals.

#include "cli/CommandLine.h"
#include "platform/Locale.h"

int main(int argc, char* argv[])
{
    quillbank::KeepLocalTimeZoneLoaded();
    return quillbank::cli::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc),
                                          quillbank::cli::ProcessConsole());
}
