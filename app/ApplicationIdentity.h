#pragma once

namespace quillbank {

/**
 * Names the program to the toolkit and gives it its icon. No display name is
 * set: the toolkit would append it to every window title, and the titles
 * are the program's own texts, shown as they are.
 */
void SetApplicationIdentity();

} // namespace quillbank
