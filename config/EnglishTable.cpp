#include "config/l10n.h"

namespace quillbank {

std::string Tl10n::GetDefaultText(std::string_view)
{
    return {};
}

} // namespace quillbank
