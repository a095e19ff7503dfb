#include "toolkit/Files.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "toolkit/Handles.h"
#include "toolkit/Text.h"

namespace tk {

namespace {

std::string& FolderOverride() {
    static std::string folder;
    return folder;
}

std::string ModuleFileName() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

[[noreturn]] void ThrowCannotCreate(const std::string& path, DWORD code) {
    throw Error(Format("Cannot create file \"%s\". %s", path.c_str(), SysErrorMessage(code).c_str()));
}

}  // namespace

std::string ProgramFolder() {
    if (!FolderOverride().empty()) return FolderOverride();
    const std::string exe = ModuleFileName();
    return exe.substr(0, exe.find_last_of('\\') + 1);
}

void SetProgramFolderForTesting(const std::string& folder) { FolderOverride() = folder; }

std::string ShortPathName(const std::string& path) {
    // Each call walks the whole path on disk, so the usual length is tried
    // first and the size asked for only when it does not fit.
    std::string buffer(MAX_PATH, '\0');
    DWORD length = ::GetShortPathNameA(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.assign(length, '\0');
        length = ::GetShortPathNameA(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    if (length == 0 || length >= buffer.size()) return path;
    buffer.resize(length);
    return buffer;
}

bool FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

NewFile CreateNewFile(const std::string& path) {
    FileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return NewFile::Made;
    const DWORD code = ::GetLastError();
    // A folder of that name answers "access denied" rather than "exists".
    if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS || PathExists(path)) return NewFile::NameTaken;
    return NewFile::Failed;
}

long long EntrySize(const std::string& path) { return LookUpSize(path).value_or(0); }

std::optional<long long> LookUpSize(const std::string& path) {
    if (path.find_first_of("*?") != std::string::npos) return std::nullopt;
    WIN32_FIND_DATAA entry;
    if (FindHandle(::FindFirstFileA(path.c_str(), &entry))) {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
        return static_cast<long long>((static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) |
                                      entry.nFileSizeLow);
    }
    // A folder the user may not list can still hold a file the user may read.
    FileHandle file(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size)) return std::nullopt;
    return static_cast<long long>(size.QuadPart);
}

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderTakesNewFile(const std::string& folder) {
    // Short names, so that a folder path near the length limit still takes
    // one; each goes again when it is closed.
    for (int k = 0; k < 10; ++k) {
        const std::string probe = folder + "~qo" + std::to_string(k) + ".tmp";
        FileHandle file(::CreateFileA(probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (file) return true;
    }
    return false;
}

std::optional<unsigned long long> FreeSpace(const std::string& folder) {
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(Widen(folder).c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
}

bool FlushToDisk(const std::wstring& path) {
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && ::FlushFileBuffers(file.Get());
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    char chunk[64 * 1024];
    DWORD read = 0;
    while (::ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
    return bytes;
}

namespace {

// Writes a new file beside `path` with `write` (false, with the system's
// error set, when it failed), flushes it, and renames it over `path`.
void ReplaceFile(const std::string& path, const std::function<bool(HANDLE file)>& write) {
    const std::string fresh = path + ".new";
    {
        FileHandle file(::CreateFileA(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) ThrowCannotCreate(path, ::GetLastError());
        if (!write(file.Get()) || !::FlushFileBuffers(file.Get())) {
            const DWORD code = ::GetLastError();
            file.Reset();
            ::DeleteFileA(fresh.c_str());
            ThrowCannotCreate(path, code);
        }
    }
    if (!::MoveFileExA(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = ::GetLastError();
        ::DeleteFileA(fresh.c_str());
        ThrowCannotCreate(path, code);
    }
}

bool WriteAll(HANDLE file, const char* bytes, size_t size) {
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(size, 1 << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes, piece, &written, nullptr) || written != piece) {
            if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        bytes += piece;
        size -= piece;
    }
    return true;
}

}  // namespace

void WriteFileReplacing(const std::string& path, const std::function<bool(HANDLE file)>& write) {
    ReplaceFile(path, write);
}

void WriteFileReplacing(const std::string& path, const std::string& bytes) {
    ReplaceFile(path, [&](HANDLE file) { return WriteAll(file, bytes.data(), bytes.size()); });
}

}  // namespace tk
