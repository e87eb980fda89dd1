// How the wizard's windows look: the language file's font, designed sizes, centring and standard buttons.

#pragma once

#include <QSize>

class QHBoxLayout;
class QPushButton;
class QWidget;

namespace quillbank {

class TInterfaceTexts;

/**
 * The language file's font for a window that is being shown: the face named
 * by "Font", cut to 31 characters; an empty name keeps the font the window
 * has. The character set selects nothing here, since every text is Unicode;
 * it is still read, so a bad value is reported like any other.
 */
void ApplyLanguageFont(QWidget& window, const TInterfaceTexts& texts);

/**
 * Gives a dialog-bordered window its designed client size, in
 * device-independent pixels (so a high-DPI screen scales it), grown only
 * where its layout needs more room for the current font and texts, and keeps
 * the user from resizing it.
 */
void FixDialogSize(QWidget& window, QSize designed);

/**
 * FixDialogSize now and whenever the window's layout asks for room again (a
 * text or font changed while it shows), so no text is cut and the window is
 * never smaller than designed.
 */
void KeepFittedToContents(QWidget& window, QSize designed);

/**
 * Puts a window that is about to show with its client area centred on its
 * owner's, or on the owner's screen when it has none. Qt's own placement
 * guesses the window frame at a first showing and lands off centre.
 */
void CentreOnOwner(QWidget& window);

/// A button of the designed size, 75 by 25, or larger where its text needs
/// more; named for the tests.
QPushButton* SizedButton(const char* name, QWidget* parent);

/// A SizedButton of a dialog's button row, not pressed by Enter unless it is
/// made the default.
QPushButton* DialogButton(const char* name, QWidget* parent);

/// A dialog's OK ("okButton", the default) and Cancel ("cancelButton")
/// buttons, made and set right-aligned in one row.
QHBoxLayout* OkCancelRow(QPushButton*& ok, QPushButton*& cancel, QWidget* dialog);

} // namespace quillbank
