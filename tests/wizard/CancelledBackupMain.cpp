// Walks a Firefox backup through the wizard and closes the window, answering
// Yes to the exit question, as soon as the new archive is being written: the
// program then ends as the wizard does. WizardWindowTest runs it in a home it made
// and looks at what the cancelled backup left.
//
// Arguments: the program folder, the folder the backup is written to.

#include "config/InterfaceTexts.h"
#include "tests/wizard/ScriptedWizardDialogs.h"
#include "wizard/WizardWindow.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

using namespace quillbank;

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 2;
    const std::string programDir = argv[1];
    const std::filesystem::path folder = argv[2];
    QApplication application(argc, argv);
    const TInterfaceTexts l10n(programDir + "/Default.lng");
    testing::TScriptedWizardDialogs dialogs;
    dialogs.endsProcess = true;
    TWizardWindow form(l10n, programDir, dialogs);
    form.show();
    auto click = [&form](const char* name) {
        QTest::mouseClick(form.findChild<QPushButton*>(name), Qt::LeftButton);
    };
    auto select = [&form](const char* name, const QString& text) {
        auto* list = form.findChild<QListWidget*>(name);
        list->setCurrentItem(list->findItems(text, Qt::MatchExactly).value(0));
    };
    click("Button1");
    select("ListBox1", QStringLiteral("Mozilla Firefox 115.0"));
    click("Button1");
    select("ListBox2", QStringLiteral("default"));
    dialogs.boxes.QueueAnswer(TBoxAnswer::No); // no password
    click("Button1");
    if (form.PageIndex() != 4)
        return 3;
    dialogs.boxes.QueueAnswer(TBoxAnswer::Yes); // "Do you really want to exit the program?"
    // The first time the window gets its turn while the archive is being
    // written (under a hidden name beside its target), the user closes it.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().starts_with('.'))
                form.close();
    });
    poll.start(0);
    click("Button1");
    return 0; // the backup ran to its end
}
