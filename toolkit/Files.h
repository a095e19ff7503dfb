// Files and folders, through the A functions of kernel32.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace tk {

// The folder of the running executable, with its trailing backslash.
std::string ProgramFolder();
// Tests that drive a window in their own process point the program folder
// at a scratch folder; an empty text goes back to the real one.
void SetProgramFolderForTesting(const std::string& folder);

// True for an existing file (not a folder).
bool FileExists(const std::string& path);
// True when anything (file or folder) exists at the path.
bool PathExists(const std::string& path);
bool PathExists(const std::wstring& path);

// Makes a new, empty file, only where nothing of that name exists yet: the
// test and the making are one step, so two programs never get one name.
enum class NewFile { Made, NameTaken, Failed };
NewFile CreateNewFile(const std::string& path);
// True when the attribute query succeeds and names a folder.
bool DirectoryExists(const std::string& path);
// True when a new file can be made in the folder (ending with a backslash):
// one of a short name of its own ("~qo0.tmp" to "~qo9.tmp") is made and
// removed again.
bool FolderTakesNewFile(const std::string& folder);
// The bytes free for this user on the volume of a folder; nothing when the
// system cannot tell.
std::optional<unsigned long long> FreeSpace(const std::string& folder);
// Writes what the system still holds in its cache of a file to the disk
// (the file opened for writing, shared with everyone); false when it cannot.
bool FlushToDisk(const std::wstring& path);

// The short (8.3) form of a path that exists; the path itself when the
// system has no short form for it.
std::string ShortPathName(const std::string& path);

// The size in bytes of the entry that a find-first search finds for the path
// (entries of every attribute count: hidden, system, folders); 0 for a
// folder, when the lookup fails, and for a path with wildcards, which would
// find some other entry.
long long EntrySize(const std::string& path);
// The same, told apart from a lookup that fails: the find-first entry's
// size; when the folder cannot be listed, the size of the file opened for
// its attributes; nothing when neither can be read (or for a path with
// wildcards).
std::optional<long long> LookUpSize(const std::string& path);

// The whole content of a file; nothing when the file cannot be opened.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes a file so that it is never seen half written: the bytes go into a
// new file beside it, which then replaces the old one. Throws tk::Error
// 'Cannot create file "path". reason' when that fails; the old file stays.
void WriteFileReplacing(const std::string& path, const std::string& bytes);

// The same with the bytes that `write` writes into the new file (false, with
// the system's error set, when it could not).
void WriteFileReplacing(const std::string& path, const std::function<bool(HANDLE file)>& write);

}  // namespace tk
