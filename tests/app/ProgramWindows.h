// A fixture for tests of the program's windows in the test's own process:
// every window made in its order with a scratch program folder, the main
// window shown, no start-up step (the program is as after it: the tool is
// ready); all of it gone again afterwards.
#pragma once

#include <gtest/gtest.h>

#include "app/Startup.h"
#include "app/Unit1.h"
#include "conversion/Unit2.h"
#include "support/TestSupport.h"
#include "toolkit/Application.h"
#include "toolkit/Files.h"

class ProgramWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        tk::SetProgramFolderForTesting(folder_.Path());
        CreateApplicationForms();
        Form1->Timer1->SetEnabled(false);
        ToolReady = true;
        Form1->Show();
        testing_support::FlushEvents(50);
    }
    void TearDown() override {
        Converting = false;
        ToolReady = false;
        SourceCount = 0;
        CurrentIndex = 0;
        tk::Application::Get().ResetForTesting();
        tk::SetProgramFolderForTesting("");
    }

    testing_support::ScratchFolder folder_;  // the program folder
    testing_support::ErrorRecorder errors_;
};
