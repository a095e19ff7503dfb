// A tool folder holding the scripted stand-in (FakeTool.cpp) as "nnn.exe",
// and scripts for it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace conversion_test {

class StandInTool {
public:
    StandInTool() : folder_(scratch_.Path() + "tool folder [1]\\") {
        ::CreateDirectoryA(folder_.c_str(), nullptr);
        ::CopyFileA(QUENDRIX_FAKE_TOOL, (folder_ + "nnn.exe").c_str(), FALSE);
    }
    // The tool folder, ending with a backslash.
    const std::string& Folder() const { return folder_; }
    // A scratch folder for scripts and outputs, ending with a backslash.
    const std::string& Scratch() const { return scratch_.Path(); }

    // Writes a script (one command a line) and gives its path; the stand-in
    // runs it when the path is its input.
    std::string Script(const std::string& name, const std::vector<std::string>& lines) const {
        std::string text;
        for (const auto& line : lines) text += line + "\n";
        const std::string path = scratch_.Path() + name;
        testing_support::WriteBytes(path, text);
        return path;
    }

private:
    testing_support::ScratchFolder scratch_;
    std::string folder_;
};

// Script lines of the stand-in for the current tool's console: a status line
// at a position (ended by blanks and a carriage return unless told), and the
// closing summary it prints when the file is done.
inline std::string StatusLine(const std::string& time, const char* end = "    \\r") {
    return "err frame=  100 fps= 50 q=6.0 size=     150kB time=" + time + " bitrate= 405.2kbits/s speed=2.00x" + end;
}
inline const char kSummaryLine[] =
    "err video:81kB audio:48kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 11.094142%\\r\\n";

// Milliseconds since some fixed moment.
inline DWORD Now() { return ::GetTickCount(); }

}  // namespace conversion_test
