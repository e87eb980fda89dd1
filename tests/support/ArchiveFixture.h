// The fixture of the archive layer's tests: a fake home, a program folder, English texts, a scripted UI.

#pragma once

#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "engine/Archive.h"
#include "engine/RunEnvironment.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ScriptedUserInterface.h"

#include <string>

#include <gtest/gtest.h>

namespace quillbank::testing {

/**
 * What every test of the archive layer runs in: a fake home with a program
 * folder whose Backup.ini holds no settings, the English texts, a scripted
 * user interface and a fresh wizard state.
 */
class TArchiveTest : public ::testing::Test
{
protected:
    TFakeHome home;
    std::string programDir = home.MakeDir("program");
    TInterfaceTexts texts{programDir + "/Default.lng"};
    TScriptedUserInterface ui;
    TWizardState state;

    TArchiveTest() { home.WriteFile("program/Backup.ini", ""); }

    TArchiveEnvironment Environment() { return RunEnvironment(ui, texts, state, programDir); }
};

} // namespace quillbank::testing
