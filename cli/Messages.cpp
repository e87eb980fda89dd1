// Remembers the command that runs, so that every message and warning names it.

#include "cli/Messages.h"

#include "platform/Text.h"

namespace quillbank::cli {

namespace {

std::string& CommandName()
{
    static std::string name;
    return name;
}

} // namespace

void SetCommandName(std::string_view name)
{
    CommandName() = name;
}

std::string MessagePrefix()
{
    return CommandName().empty() ? "quillbank-cli: " : "quillbank-cli " + CommandName() + ": ";
}

void Warn(std::ostream& err, const std::string& text)
{
    err << MessagePrefix() << "warning: " << VisibleText(text) << std::endl;
}

} // namespace quillbank::cli
