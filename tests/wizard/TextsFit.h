// Helpers that check no window of the wizard cuts its texts, with longer translations or a larger font.

#pragma once

// Checks that a window shows its texts whole: with translations longer than
// the English ones and with a larger font, no label, check box or button may
// be narrower than its text.

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QStringList>
#include <QWidget>
#include <cmath>

namespace quillbank::testing {

/// Copies the language file at `source` to `target` with every text 40%
/// longer (whole words of wide letters added); the font settings stay.
inline bool WriteLongerLanguageFile(const QString& source, const QString& target)
{
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    for (QByteArray line : in.readAll().split('\n')) {
        const bool crlf = line.endsWith('\r');
        if (crlf)
            line.chop(1);
        const qsizetype equals = line.indexOf('=');
        const QByteArray key = line.left(equals);
        if (equals > 0 && !line.startsWith('[') && key != "Font" && key != "DefaultCharset") {
            const auto extra = static_cast<qsizetype>(std::ceil((line.size() - equals - 1) * 0.4));
            QByteArray words;
            while (words.size() < extra)
                words += " Wmw";
            line += words.left(std::max<qsizetype>(extra, 0));
        }
        out.write(line + (crlf ? "\r\n" : "\n"));
    }
    return true;
}

/// The object names of the texts `window` shows cut: a visible label, check
/// box, radio button or push button narrower than its text, or a wrapping
/// label lower than its lines.
inline QStringList CutTexts(QWidget& window)
{
    // A change of text or font is laid out through one posted event per level.
    for (int level = 0; level < 10; ++level)
        QCoreApplication::sendPostedEvents();
    QStringList cut;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisible() ||
            (!qobject_cast<QLabel*>(widget) && !qobject_cast<QAbstractButton*>(widget)))
            continue;
        const auto* label = qobject_cast<QLabel*>(widget);
        if (label != nullptr && !label->pixmap().isNull())
            continue; // a picture is scaled to its frame
        const bool fits = label != nullptr && label->wordWrap()
                              ? widget->height() >= widget->heightForWidth(widget->width())
                              : widget->width() >= widget->sizeHint().width();
        if (!fits)
            cut << QStringLiteral("%1 (%2 wide, needs %3)")
                       .arg(widget->objectName())
                       .arg(widget->width())
                       .arg(widget->sizeHint().width());
    }
    return cut;
}

} // namespace quillbank::testing

/// Fails the test naming the texts `window` shows cut.
#define QUILLBANK_VERIFY_TEXTS_FIT(window)                                                                   \
    do {                                                                                                     \
        const QStringList cut = quillbank::testing::CutTexts(window);                                        \
        QVERIFY2(cut.isEmpty(), qPrintable((window).objectName() + ": " + cut.join(", ")));                  \
    } while (false)
