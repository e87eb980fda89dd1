// Creating a new profile: the new-profile dialog's answer checked, and the application run to make it.

#pragma once

#include "apps/AppStatus.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

class TInterfaceTexts;
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

/// How an installation is started: "snap run NAME" for a snap,
/// "flatpak run ID" for a flatpak (so that the profile lands where that
/// installation looks), else `executable` itself.
std::vector<std::string> LaunchCommand(const std::string& executable, const std::string& installDir);

/**
 * Checks the dialog's answer and, when it is valid, runs the selected
 * application so that it creates the profile, waits for it to end and
 * checks that a profile registry of the application now lists the profile.
 * A name that is empty, holds a character a profile name cannot hold, has a
 * blank while a location was chosen (the applications split the two at the
 * first blank), or names an existing profile is refused with a warning; so
 * is a profile the application did not make. Returns whether the profile
 * was made.
 */
bool CreateNewProfile(const TNewProfileAnswer& answer, const TWizardState& state,
                      const TAppStatusTable& status, const TInterfaceTexts& texts, TUserInterface& ui);

/// A folder path as the new-profile dialog shows it: whole up to 31
/// characters, else its first 3 characters, "..." and its last 31.
std::string ShortenPathForDisplay(std::string_view path);

} // namespace quillbank
