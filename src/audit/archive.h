// The answer archive: every typed answer and paper a run scored from, kept once under
// <program folder>/archive/ and named by the SHA-256 of its bytes, so that every stored result
// can be traced to its exact inputs and scored again.
#pragma once

#include <string>
#include <string_view>

namespace keyin {

std::string ArchiveFolder(const std::string& program_folder);

// Keeps the bytes under their SHA-256, unless a file of that name is already there, flushed to
// the disk before it returns. Returns the SHA-256. Throws FileError.
std::string KeepInArchive(const std::string& archive_folder, std::string_view bytes);

// The bytes kept under the name. Throws RunFailure when the archive has no such file or its bytes
// no longer have that SHA-256.
std::string ReadFromArchive(const std::string& archive_folder, const std::string& sha256);

// Where the run log is: KEYIN_RUN_LOG when set and not empty, otherwise
// <program folder>/log/runs.jsonl.
std::string RunLogPath(const std::string& program_folder);

}  // namespace keyin
