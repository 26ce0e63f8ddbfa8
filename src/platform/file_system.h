// Directory operations. Every failure throws FileError.
#pragma once

#include <cstdint>
#include <string>

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
void DeleteFile(const std::string& path);
// Creates a new empty file named prefix followed by a unique suffix and returns its path.
std::string CreateUniqueFile(const std::string& prefix);
// Renames a file over another one in the same folder, in one step: a reader of `to` sees the old
// file or the new one, never a part of either.
void RenameReplacing(const std::string& from, const std::string& to);
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
