// JPEG decoding, and the picture of the wizard's left strip.

#pragma once

#include <QByteArray>
#include <QImage>

namespace quillbank {

/// Decodes a JPEG picture with libjpeg; a null image when the bytes are no
/// JPEG picture or are damaged.
QImage DecodeJpeg(const QByteArray& bytes);

/// The picture of the wizard's left strip, embedded in the program at twice
/// its size (device pixel ratio 2).
QImage WizardPicture();

} // namespace quillbank
