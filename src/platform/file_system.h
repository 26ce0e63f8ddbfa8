// Directory operations. Every failure throws FileError.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_error.h"

namespace keyin {

// True when path names a regular file; anything else (missing, a folder, a device) is missing.
bool IsNormalFile(const std::string& path);
bool IsFolder(const std::string& path);
bool PathExists(const std::string& path);
// Creates one folder level; its parent must exist.
void CreateFolder(const std::string& path);
// Creates the folder and every missing folder above it.
void CreateFolders(const std::string& path);
// Copies a file, replacing the target.
void CopyFileReplacing(const std::string& from, const std::string& to);
// Copies the regular files of the folder and of every folder in it (links and other kinds are
// left out) into `to`, creating the folders; a file named `skip` is left out at every level.
// Returns the files copied. Throws FileError.
int CopyFolder(const std::string& from, const std::string& to, const std::string& skip = {});
// The names of the folders in a folder (not followed links), sorted; none when it is missing.
// Throws FileError when it cannot be read.
std::vector<std::string> SubfolderNames(const std::string& folder);
// The names of the regular files in a folder (not followed links), sorted; none when it is
// missing. Throws FileError when it cannot be read.
std::vector<std::string> FileNames(const std::string& folder);
// True when the path does not exist or is a folder with nothing in it.
bool IsEmptyOrMissing(const std::string& path);
void DeleteFile(const std::string& path);
// A new file of its own beside `path`, for writing: its name is path's name followed by "." and six
// letters or digits, and it is created exclusively (a name that exists, a symbolic link
// included, is never opened), with `mode` less the umask. The descriptor and the name; the caller
// closes and renames it.
struct TemporaryFile {
  int descriptor = -1;
  std::string path;
};
TemporaryFile CreateTemporaryFileFor(const std::string& path, unsigned mode = 0666);
// True when `name` is the name of a temporary file made for a file named `final_name`. Pure.
bool IsTemporaryNameOf(std::string_view name, std::string_view final_name);
// Removes the regular files of the folder whose names `is_leftover` accepts and that were last
// written more than `age` ago. Best effort: a folder that cannot be read, or a file that another
// process removed first, is passed over.
void RemoveOldFiles(const std::string& folder,
                    const std::function<bool(std::string_view name)>& is_leftover,
                    std::chrono::seconds age);
// Reads a whole regular file of at most max_bytes, checked before a byte is read. The path's last
// name is never followed when it is a symbolic link, the open never waits (a FIFO or a device),
// and the checks are made on the opened file itself, so a file swapped for another after a check
// is never read. Throws FileNotFound when nothing has that name, FileRefused for anything but a
// regular file or one larger than max_bytes, FileError when it cannot be opened or read.
std::string ReadRegularFile(const std::string& path, std::uint64_t max_bytes);
// Writes the bytes to the file, creating or emptying it.
void WriteWholeFile(const std::string& path, std::string_view bytes);
// Reads the whole file.
std::string ReadWholeFile(const std::string& path);

}  // namespace keyin
