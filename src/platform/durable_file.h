// Files that must survive a crash of the process or of the machine at any moment: the exam
// room's drafts and sitting state. A reader finds either the old content or the new one, never
// a torn file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_error.h"

namespace keyin {

// Writes the bytes to a new temporary file in the same folder (CreateTemporaryFileFor, with
// `mode` less the umask: private by default), flushes it to the disk, renames it over path and
// flushes the folder. Throws FileError; on failure path keeps its old content and the temporary
// file is removed.
void WriteFileDurably(const std::string& path, std::string_view bytes, unsigned mode = 0600);

// The whole file, or nothing when it does not exist. Throws FileError for other failures.
std::optional<std::string> ReadFileIfAny(const std::string& path);

// Names of the regular files in the folder, sorted; none when the folder does not exist.
std::vector<std::string> ListFiles(const std::string& folder);

// Renames a file or folder (same file system). Throws FileError.
void RenamePath(const std::string& from, const std::string& to);

// Waits until everything written to the file system that holds the path is on the disk
// (syncfs). Throws FileError.
void SyncFileSystemOf(const std::string& path);

}  // namespace keyin
