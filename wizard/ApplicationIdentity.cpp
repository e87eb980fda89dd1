// Sets the program's name and gives it its icon from the embedded pictures at both sizes.

#include "wizard/ApplicationIdentity.h"

#include <QApplication>

namespace quillbank {

QIcon ProgramIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/quillbank/quillbank.png"));
    icon.addFile(QStringLiteral(":/quillbank/quillbank@2x.png"));
    return icon;
}

void SetApplicationIdentity()
{
    QApplication::setApplicationName(QStringLiteral("Quillbank"));
    QApplication::setWindowIcon(ProgramIcon());
}

} // namespace quillbank
