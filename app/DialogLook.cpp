#include "app/DialogLook.h"

#include "config/l10n.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLayout>
#include <QPushButton>
#include <QWidget>
#include <algorithm>

namespace quillbank {

namespace {

constexpr int MaxFontNameLength = 31;

} // namespace

void ApplyLanguageFont(QWidget& window, const Tl10n& l10n)
{
    [[maybe_unused]] const int charset = l10n.GetCharset();
    const QString name = QString::fromStdString(l10n.GetFontName()).left(MaxFontNameLength);
    if (name.isEmpty())
        return;
    QFont font = window.font();
    font.setFamily(name);
    window.setFont(font);
}

void FixDialogSize(QWidget& window, QSize designed)
{
    QSize size = designed;
    if (QLayout* layout = window.layout()) {
        layout->activate();
        size = size.expandedTo(layout->totalMinimumSize());
        if (layout->hasHeightForWidth())
            size.setHeight(std::max(size.height(), layout->totalHeightForWidth(size.width())));
    }
    window.setFixedSize(size);
}

QPushButton* DialogButton(const char* name, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setMinimumSize(75, 25);
    return button;
}

QHBoxLayout* OkCancelRow(QPushButton*& ok, QPushButton*& cancel, QWidget* dialog)
{
    ok = DialogButton("Button1", dialog);
    ok->setDefault(true);
    cancel = DialogButton("Button2", dialog);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

} // namespace quillbank
