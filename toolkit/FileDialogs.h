// The system's Open dialog as a component of a form. Names come back in
// their wide form: a name outside the ANSI code page survives, and the
// caller decides how to hold it.
//
//   { "type": "OpenDialog", "name": "OpenDialog1", "filter": "Text (*.txt)|*.txt",
//     "options": ["ofHideReadOnly", "ofAllowMultiSelect", "ofEnableSizing"] }
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/Control.h"

namespace tk {

// Runs the dialog with the filled-in structure, as GetOpenFileNameW does.
using OpenDialogRunner = std::function<BOOL(OPENFILENAMEW&)>;
// Replaces the runner (tests in the program's own process); returns the
// previous one. An empty runner restores the system's dialog.
OpenDialogRunner SetOpenDialogRunner(OpenDialogRunner runner);

// A filter as a layout writes it, "Description|pattern|Description|pattern",
// in the dialog's form: each part ended by a NUL, the whole by one more.
std::wstring DialogFilter(const std::string& filter);

// The full paths in the buffer that the dialog filled: either one full path,
// or the folder followed by the names chosen in it, each ended by a NUL, the
// whole by one more. A name that is itself a full path is taken as it is.
std::vector<std::wstring> ChosenFiles(const std::wstring& buffer);

class OpenDialog : public Component {
public:
    // The OPENFILENAME flags that the options give (OFN_EXPLORER always).
    DWORD Flags() const;
    // Shows the dialog modally, owned by the form. True when the user
    // confirmed; Files() then holds the chosen names in the dialog's order.
    bool Execute();
    const std::vector<std::wstring>& Files() const { return files_; }

    void Load(const LayoutNode& node) override;

private:
    std::string filter_;
    std::string title_;
    std::string initialDir_;
    std::string defaultExt_;
    DWORD options_ = 0;
    std::vector<std::wstring> files_;
};

}  // namespace tk
