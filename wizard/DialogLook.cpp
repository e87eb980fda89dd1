// Applies the font, fits and centres windows, and makes buttons no smaller than their designed size.

#include "wizard/DialogLook.h"

#include "config/InterfaceTexts.h"

#include <QEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace quillbank {

namespace {

constexpr int MaxFontNameLength = 31;

constexpr QSize DesignedButtonSize(75, 25);

/// A push button never smaller than designed. (A minimum size set on the
/// widget would let layouts squeeze it below its text's width.)
class TSizedButton final : public QPushButton
{
public:
    using QPushButton::QPushButton;

    QSize sizeHint() const override { return QPushButton::sizeHint().expandedTo(DesignedButtonSize); }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

/// Refits the window it watches each time its layout is to be redone.
class TContentsFitter final : public QObject
{
public:
    TContentsFitter(QWidget& window, QSize designed) : QObject(&window), designed_(designed) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::LayoutRequest)
            FixDialogSize(*static_cast<QWidget*>(watched), designed_);
        return false;
    }

private:
    QSize designed_;
};

} // namespace

void ApplyLanguageFont(QWidget& window, const TInterfaceTexts& texts)
{
    [[maybe_unused]] const int charset = texts.GetCharset();
    const QString name = QString::fromStdString(texts.GetFontName()).left(MaxFontNameLength);
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

void CentreOnOwner(QWidget& window)
{
    const QWidget* owner = window.parentWidget() != nullptr ? window.parentWidget()->window() : nullptr;
    QRect area;
    if (owner != nullptr)
        area = owner->geometry();
    else if (const QScreen* screen = window.screen())
        area = screen->availableGeometry();
    else
        return;
    QRect placed(QPoint(), window.size());
    placed.moveCenter(area.center());
    window.setGeometry(placed);
}

void KeepFittedToContents(QWidget& window, QSize designed)
{
    window.installEventFilter(new TContentsFitter(window, designed));
    FixDialogSize(window, designed);
}

QPushButton* SizedButton(const char* name, QWidget* parent)
{
    auto* button = new TSizedButton(parent);
    button->setObjectName(name);
    return button;
}

QPushButton* DialogButton(const char* name, QWidget* parent)
{
    QPushButton* button = SizedButton(name, parent);
    button->setAutoDefault(false);
    return button;
}

QHBoxLayout* OkCancelRow(QPushButton*& ok, QPushButton*& cancel, QWidget* dialog)
{
    ok = DialogButton("okButton", dialog);
    ok->setDefault(true);
    cancel = DialogButton("cancelButton", dialog);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

} // namespace quillbank
