// Stand-ins for the programs that the shell starts on behalf of the program
// under test: the browser "iexplore", the mail program of "MailTo:" addresses,
// the folder window, and the browser of web addresses and .htm files. Each is
// a copy of Recorder.exe, which appends one line to the launch log and ends;
// tests read the log instead of watching for real windows, and no test can
// start Wine's browser or a mail program.
//
// How Wine's shell (Wine 8) finds each one, and so where the copies go:
//  - "iexplore": ShellExecuteA first runs the file name as a command line, so
//    CreateProcess looks for iexplore.exe in the caller's folder, the current
//    folder, then C:\windows\system32, where Wine keeps its own browser; the
//    App Paths key is read only when that fails (and then under the name
//    "iexplore", without ".exe"). For a program in system32 Wine loads its
//    built-in browser whatever the file holds, unless the DLL overrides say
//    "native" for iexplore.exe. So the recorder replaces iexplore.exe in
//    system32 and in Program Files\Internet Explorer, the override makes Wine
//    run those files as they are (never the built-in browser), and App Paths
//    names the recorder under both names.
//  - "MailTo:...": the command of HKCR\mailto\shell\open.
//  - a folder: Wine opens it with "explorer", looked up in App Paths (key
//    "explorer") before the search path; HKCR\Folder and Directory are not
//    read. App Paths "explorer" and "explorer.exe" name the folder recorder;
//    Wine's explorer.exe itself (the desktop) stays as it is.
//  - http and https addresses and .htm files: Wine hands them to winebrowser,
//    that is to the host's browser; their open commands name the recorder.
//
// All of this goes into the registry and the C: drive of the Wine prefix the
// tests run in, never anywhere else.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// The recorders' folder and their log, one line per launch.
constexpr char kRecorderFolder[] = "C:\\launch_recorders\\";
constexpr char kLaunchLog[] = "C:\\launch_recorders\\launches.log";

// One program start, as the recorder saw it.
struct Launch {
    std::string role;         // "iexplore", "mailto", "folder" or "browser"
    DWORD parent = 0;         // the process that started it
    int show = -1;            // the show command it was given; -1 for none
    std::string commandLine;  // its whole command line, as the shell built it

    // The command line after the program's own name (quoted or not).
    std::string Parameters() const;
};

// The log line of a launch, and back; false for a line that is not one.
std::string FormatLaunch(const Launch& launch);
bool ParseLaunch(const std::string& line, Launch& launch);

// Puts copies of `recorderExe` in place and writes the registry entries
// above, in the current Wine prefix; does nothing that is already done.
// Returns an empty text on success, otherwise what failed.
std::string RegisterRecorders(const std::string& recorderExe);

// The log's length now: launches are read from such a mark on.
size_t LaunchLogMark();
// The launches logged since `mark` by programs that `parent` started.
std::vector<Launch> LaunchesSince(size_t mark, DWORD parent);

}  // namespace e2e
