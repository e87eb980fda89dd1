// The names the command line gives the components ("bookmarks", "history"...) and how a run picks them.

#pragma once

#include "vocabulary/ComponentBoxes.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank::cli {

/// A component as the command line names it.
struct TComponentName
{
    std::string_view Name;
    TComponentBox Box;
};

/// Every component name, in the order the help lists them.
std::span<const TComponentName> ComponentNames();

/// The command-line name of a component.
std::string_view ComponentName(TComponentBox box);

/// The components of a comma-separated list ("bookmarks,history"), each
/// once, in the order given; blanks around names are ignored. Throws
/// EUsageError naming a name it does not know, or for an empty list.
std::vector<TComponentBox> ParseComponentList(std::string_view list);

/// The components a run takes: those `available` ticks when `wanted` is
/// empty, else the `wanted` ones, each of which must be available (throws
/// EUsageError saying that `source`, "the profile" or "the backup", holds
/// none). "Accounts settings only" wanted takes the place of Emails.
TComponentBoxes ChooseComponents(TComponentBoxes available, const std::vector<TComponentBox>& wanted,
                                 std::string_view source);

/// The names of the ticked components, in the order the help lists them.
std::vector<std::string> TickedComponentNames(const TComponentBoxes& boxes);

} // namespace quillbank::cli
