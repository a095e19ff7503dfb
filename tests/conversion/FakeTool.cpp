// A scripted stand-in for the converter tool. Installed as "nnn.exe", it is
// started with the converter's command line; the file after "-i" (or else
// the first argument) is its script, one command a line:
//
//   out TEXT       writes TEXT to standard output (\r \n \t \0 \\ understood)
//   err TEXT       the same on standard error
//   sleep MS       pauses
//   exit CODE      ends at once with that exit code
//   args FILE      writes the raw command line, then each argument as the
//                  runtime split it, one a line, to FILE
//   touch          writes "fake output" to the last argument (the output file)
//   avi            writes a small whole AVI there, as the tool does when it
//                  ends cleanly
//   avicut         writes the AVI a stopped tool leaves: sizes never filled
//                  in, no index
//   peekin         writes "stdin holds N bytes" or "stdin reads nothing" to
//                  standard output, looking as the real tool does for keys
//   priority       writes "priority class N" (its GetPriorityClass) to
//                  standard output
//   spawn SCRIPT   starts another stand-in with SCRIPT that inherits the
//                  console handles, and does not wait for it
//
// Without a script it ends at once with exit code 2.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/conversion/AviBytes.h"

namespace {

std::string Unescaped(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        switch (text[++i]) {
            case 'r': bytes += '\r'; break;
            case 'n': bytes += '\n'; break;
            case 't': bytes += '\t'; break;
            case '0': bytes += '\0'; break;
            default: bytes += text[i]; break;
        }
    }
    return bytes;
}

void Write(DWORD which, const std::string& bytes) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(which), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string ScriptPath(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "-i") return argv[i + 1];
    return argc > 1 ? argv[1] : "";
}

void Spawn(const std::string& script) {
    char self[MAX_PATH];
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandLine = "\"" + std::string(self) + "\" \"" + script + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    if (::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                         &started)) {
        ::CloseHandle(started.hThread);
        ::CloseHandle(started.hProcess);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::ifstream script(ScriptPath(argc, argv), std::ios::binary);
    if (!script) return 2;
    std::string line;
    while (std::getline(script, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t blank = line.find(' ');
        const std::string command = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
        if (command == "out") {
            Write(STD_OUTPUT_HANDLE, Unescaped(rest));
        } else if (command == "err") {
            Write(STD_ERROR_HANDLE, Unescaped(rest));
        } else if (command == "sleep") {
            ::Sleep(std::atoi(rest.c_str()));
        } else if (command == "exit") {
            return std::atoi(rest.c_str());
        } else if (command == "args") {
            std::ofstream file(rest, std::ios::binary);
            file << ::GetCommandLineA() << "\n";
            for (int i = 0; i < argc; ++i) file << argv[i] << "\n";
        } else if (command == "touch") {
            std::ofstream(argv[argc - 1], std::ios::binary) << "fake output";
        } else if (command == "avi") {
            std::ofstream(argv[argc - 1], std::ios::binary) << avi_bytes::Whole();
        } else if (command == "avicut") {
            std::ofstream(argv[argc - 1], std::ios::binary) << avi_bytes::CutShort();
        } else if (command == "peekin") {
            DWORD available = 0;
            const BOOL peeked = ::PeekNamedPipe(::GetStdHandle(STD_INPUT_HANDLE), nullptr, 0, nullptr, &available,
                                                nullptr);
            Write(STD_OUTPUT_HANDLE, peeked && available > 0
                                         ? "stdin holds " + std::to_string(available) + " bytes\n"
                                         : std::string("stdin reads nothing\n"));
        } else if (command == "priority") {
            Write(STD_OUTPUT_HANDLE, "priority class " + std::to_string(::GetPriorityClass(::GetCurrentProcess())) + "\n");
        } else if (command == "spawn") {
            Spawn(rest);
        }
    }
    return 0;
}
