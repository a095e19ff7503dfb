#include "e2e/Recorders.h"

#include <shlobj.h>

#include <cstdlib>

#include "toolkit/Handles.h"

namespace e2e {

namespace {

constexpr char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr char kClasses[] = "Software\\Classes\\";

std::string ReadAll(const std::string& path) {
    std::string bytes;
    tk::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return bytes;
    char chunk[65536];
    DWORD n = 0;
    while (::ReadFile(file.Get(), chunk, sizeof chunk, &n, nullptr) && n > 0) bytes.append(chunk, n);
    return bytes;
}

std::string SystemError(const std::string& what) {
    return what + " (error " + std::to_string(::GetLastError()) + ")";
}

// Copies the recorder to `target` unless it is there already.
std::string Place(const std::string& recorder, const std::string& target) {
    const std::string bytes = ReadAll(recorder);
    if (bytes.empty()) return "cannot read " + recorder;
    if (ReadAll(target) == bytes) return "";
    const std::string folder = target.substr(0, target.find_last_of('\\'));
    ::CreateDirectoryA(folder.c_str(), nullptr);
    if (!::CopyFileA(recorder.c_str(), target.c_str(), FALSE)) return SystemError("cannot write " + target);
    return "";
}

// Sets a string value (`name` empty: the key's default value) unless it holds
// that text already.
std::string SetValue(HKEY root, const std::string& key, const std::string& name, const std::string& value) {
    tk::RegistryKey handle;
    const LONG created = ::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                           nullptr, handle.Out(), nullptr);
    if (created != ERROR_SUCCESS) return "cannot open " + key + " (error " + std::to_string(created) + ")";
    const char* valueName = name.empty() ? nullptr : name.c_str();
    char current[1024] = "";
    DWORD size = sizeof current - 1, type = 0;
    if (::RegQueryValueExA(handle.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(current), &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ && value == current)
        return "";
    const LONG set = ::RegSetValueExA(handle.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                      static_cast<DWORD>(value.size() + 1));
    if (set != ERROR_SUCCESS) return "cannot set " + key + "\\" + name + " (error " + std::to_string(set) + ")";
    return "";
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

std::string Launch::Parameters() const {
    size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        const size_t close = commandLine.find('"', 1);
        at = close == std::string::npos ? commandLine.size() : close + 1;
    } else {
        at = commandLine.find_first_of(" \t");
        if (at == std::string::npos) at = commandLine.size();
    }
    while (at < commandLine.size() && (commandLine[at] == ' ' || commandLine[at] == '\t')) ++at;
    return commandLine.substr(at);
}

std::string FormatLaunch(const Launch& launch) {
    return launch.role + "\t" + std::to_string(launch.parent) + "\t" + std::to_string(launch.show) + "\t" +
           launch.commandLine + "\r\n";
}

bool ParseLaunch(const std::string& line, Launch& launch) {
    const size_t a = line.find('\t');
    const size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
    const size_t c = b == std::string::npos ? b : line.find('\t', b + 1);
    if (c == std::string::npos) return false;
    launch.role = line.substr(0, a);
    launch.parent = std::strtoul(line.substr(a + 1, b - a - 1).c_str(), nullptr, 10);
    launch.show = std::atoi(line.substr(b + 1, c - b - 1).c_str());
    launch.commandLine = line.substr(c + 1);
    while (!launch.commandLine.empty() && (launch.commandLine.back() == '\r' || launch.commandLine.back() == '\n'))
        launch.commandLine.pop_back();
    return true;
}

std::string RegisterRecorders(const std::string& recorderExe) {
    char system[MAX_PATH] = "";
    ::GetSystemDirectoryA(system, sizeof system);
    char programFiles[MAX_PATH] = "";
    ::SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles);
    const std::string folder = kRecorderFolder;
    const std::string iexplore = std::string(programFiles) + "\\Internet Explorer\\iexplore.exe";
    const std::string mail = folder + "mailto.exe";
    const std::string opener = folder + "folder.exe";
    const std::string browser = folder + "browser.exe";

    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string placed[] = {
        Place(recorderExe, std::string(system) + "\\iexplore.exe"),
        Place(recorderExe, iexplore),
        Place(recorderExe, mail),
        Place(recorderExe, opener),
        Place(recorderExe, browser),
    };
    for (const std::string& error : placed)
        if (!error.empty()) return error;

    const std::string mailCommand = Quoted(mail) + " \"%1\"";
    const std::string browserCommand = Quoted(browser) + " \"%1\"";
    struct Value {
        HKEY root;
        std::string key, name, value;
    };
    const Value values[] = {
        // Wine runs the iexplore.exe files above, never its built-in browser.
        {HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", "iexplore.exe", "native"},
        {HKEY_LOCAL_MACHINE, std::string(kAppPaths) + "iexplore.exe", "", iexplore},
        {HKEY_LOCAL_MACHINE, std::string(kAppPaths) + "iexplore", "", iexplore},
        {HKEY_LOCAL_MACHINE, std::string(kAppPaths) + "explorer", "", opener},
        {HKEY_LOCAL_MACHINE, std::string(kAppPaths) + "explorer.exe", "", opener},
        {HKEY_LOCAL_MACHINE, std::string(kClasses) + "mailto\\shell\\open\\command", "", mailCommand},
        {HKEY_LOCAL_MACHINE, std::string(kClasses) + "http\\shell\\open\\command", "", browserCommand},
        {HKEY_LOCAL_MACHINE, std::string(kClasses) + "https\\shell\\open\\command", "", browserCommand},
        {HKEY_LOCAL_MACHINE, std::string(kClasses) + "htmlfile\\shell\\open\\command", "", browserCommand},
        {HKEY_LOCAL_MACHINE, std::string(kClasses) + ".htm", "", "htmlfile"},
        {HKEY_LOCAL_MACHINE, std::string(kClasses) + ".html", "", "htmlfile"},
    };
    for (const Value& v : values)
        if (std::string error = SetValue(v.root, v.key, v.name, v.value); !error.empty()) return error;
    return "";
}

size_t LaunchLogMark() { return ReadAll(kLaunchLog).size(); }

std::vector<Launch> LaunchesSince(size_t mark, DWORD parent) {
    std::vector<Launch> launches;
    const std::string log = ReadAll(kLaunchLog);
    size_t at = mark;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        if (end == std::string::npos) break;  // a line still being written
        Launch launch;
        if (ParseLaunch(log.substr(at, end - at), launch) && launch.parent == parent) launches.push_back(launch);
        at = end + 1;
    }
    return launches;
}

}  // namespace e2e
