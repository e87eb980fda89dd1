#include "app/ApplicationIdentity.h"

#include <QApplication>
#include <QIcon>

namespace quillbank {

void SetApplicationIdentity()
{
    QApplication::setApplicationName(QStringLiteral("Quillbank"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quillbank/quillbank.png")));
}

} // namespace quillbank
