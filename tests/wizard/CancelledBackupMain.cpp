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
    const TInterfaceTexts texts(programDir + "/Default.lng");
    testing::TScriptedWizardDialogs dialogs;
    dialogs.endsProcess = true;
    TWizardWindow window(texts, programDir, dialogs);
    window.show();
    auto click = [&window](const char* name) {
        QTest::mouseClick(window.findChild<QPushButton*>(name), Qt::LeftButton);
    };
    auto select = [&window](const char* name, const QString& text) {
        auto* list = window.findChild<QListWidget*>(name);
        list->setCurrentItem(list->findItems(text, Qt::MatchExactly).value(0));
    };
    click("nextButton");
    select("applicationList", QStringLiteral("Mozilla Firefox 115.0"));
    click("nextButton");
    select("profileList", QStringLiteral("default"));
    dialogs.boxes.QueueAnswer(TBoxAnswer::No); // no password
    click("nextButton");
    if (window.Page() != TWizardPage::Components)
        return 3;
    dialogs.boxes.QueueAnswer(TBoxAnswer::Yes); // "Do you really want to exit the program?"
    // The first time the window gets its turn while the archive is being
    // written (under a hidden name beside its target), the user closes it.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().starts_with('.'))
                window.close();
    });
    poll.start(0);
    click("nextButton");
    return 0; // the backup ran to its end
}
