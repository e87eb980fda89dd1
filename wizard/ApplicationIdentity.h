// The program's name and icon as the toolkit and the desktop know them.

#pragma once

#include <QIcon>

namespace quillbank {

/// The program's icon, drawn at 64 and at 128 pixels, so that it stays sharp
/// on a screen scaled to 200%.
QIcon ProgramIcon();

/**
 * Names the program to the toolkit and gives it its icon. No display name is
 * set: the toolkit would append it to every window title, and the titles
 * are the program's own texts, shown as they are.
 */
void SetApplicationIdentity();

} // namespace quillbank
