// Runs a batch from a test program as the main window's Start command hands
// it over, for the programs that drive whole batches in their own process.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/Unit1.h"
#include "conversion/Unit2.h"

namespace testing_support {

// Hands the batch over as the Start command does: the batch's globals, the
// progress window's timer, the main window swapped for the progress window.
inline void HandOverBatch(const std::vector<std::string>& sources, const std::string& out) {
    OutputFolder = out;
    SourceFiles = sources;
    SourceNames.clear();
    SourceCount = static_cast<int>(sources.size());
    CurrentIndex = 0;
    Form2->Timer1->SetEnabled(true);
    Form1->Hide();
    Form2->Show();
    Converting = true;
}

// Hands the batch over, then handles messages until it has ended: its final
// box was confirmed (by a MessageBoxAnswerer) and Converting is false again.
inline void RunBatchToItsEnd(const std::vector<std::string>& sources, const std::string& out) {
    HandOverBatch(sources, out);
    MSG msg;
    while (Converting && ::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

}  // namespace testing_support
