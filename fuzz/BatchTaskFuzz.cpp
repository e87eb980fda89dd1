// A task file of an unattended backup, read against a fake home that holds
// one Firefox profile. Making the output's last folder level is the task's
// job, so only outputs inside the scratch folder are let through:
// "@SCRATCH@" in the input stands for it, and any other output with a folder,
// or one that climbs with "..", is not run.
#include "apps/AppStatus.h"
#include "apps/MozManager.h"
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "engine/BatchMode.h"
#include "fuzz/FuzzSupport.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

#include <filesystem>

using namespace quillbank;

namespace {

struct TFakeFirefoxHome
{
    std::string scratch = fuzz::ScratchDir();
    TInterfaceTexts texts{scratch + "Default.lng"};
    TAppStatusTable status{};
    TMozManager manager = [this] {
        const std::string root = scratch + "home/.mozilla/firefox/";
        std::filesystem::create_directories(root + "ab12cd34.default-esr");
        fuzz::WriteFuzzFile(root + "profiles.ini",
                            "[Profile0]\nName=default-esr\nIsRelative=1\nPath=ab12cd34.default-esr\n");
        return TMozManager(texts, status);
    }();
};

bool OutputStaysInside(const std::string& text, const std::string& scratch)
{
    const std::string output = Trim(TIniFile::FromText(text).ReadString("General", "output"));
    return output.find("..") == std::string::npos &&
           (output.find('/') == std::string::npos || output.starts_with(scratch));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TFakeFirefoxHome home;
    const std::string text = ReplaceAll(fuzz::AsText(data, size), "@SCRATCH@", home.scratch);
    if (!OutputStaysInside(text, home.scratch))
        return -1;
    const std::string taskDir = fuzz::FreshDir("tasks");
    fuzz::WriteFuzzFile(taskDir + "task.ini", text);
    TWizardState state;
    TBatchTask task;
    ReadBatchTask(taskDir, "task.ini", home.manager, state, task);
    return 0;
}
