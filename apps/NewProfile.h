#pragma once

#include "apps/AppStatus.h"

#include <string>
#include <string_view>

namespace quillbank {

class Tl10n;
class TUserInterface;
struct TWizardState;

/// What the new-profile dialog hands over.
struct TNewProfileAnswer
{
    /// Whether the dialog was closed with OK.
    bool NameAccepted = false;
    /// The typed name.
    std::string Name;
    /// The folder chosen with the dialog's browse button; empty for none.
    std::string LocationPath;
};

/// The parameter text that asks an application to create the profile `name`
/// (already lower-cased) in `location`, or in its profile root when empty.
std::string CreateProfileParameters(std::string_view name, std::string_view location);

/**
 * Checks the dialog's answer and, when it is valid, starts the selected
 * application so that it creates the profile; returns at once, without
 * waiting for the application. A name that is empty, holds a character a
 * profile name cannot hold, or names an existing profile is refused with a
 * warning. Returns whether the application was started.
 */
bool CreateNewProfile(const TNewProfileAnswer& answer, const TWizardState& state,
                      const TAppStatusTable& status, const Tl10n& l10n, TUserInterface& ui);

/// A folder path as the new-profile dialog shows it: whole up to 31
/// characters, else its first 3 characters, "..." and its last 31.
std::string ShortenPathForDisplay(std::string_view path);

} // namespace quillbank
