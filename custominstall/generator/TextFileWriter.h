// Writing one generated file whole: a temporary file in the same folder, renamed over the target.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "settings/MessageBox.h"
#include "settings/PackageSettings.h"
#include "settings/SystemError.h"

enum class WriteResult { Written, OpenFailed, WriteFailed };

/// Replaces the file at path with exactly these bytes. They go to a new temporary file
/// in the same folder, which is then renamed over path, so whatever stood there (a
/// symlink, a FIFO, an old file) is replaced and never followed or opened, and a failed
/// run never leaves a half-written target. A regular file without any write permission
/// counts as read-only and is kept, whoever runs the program. On failure, error names
/// the path and the system's reason.
WriteResult WriteWholeFile(const std::string& path, std::span<const char> bytes,
                           SystemError& error);

/// Writes one file of the package. When it cannot be created, shows "Error: Could Not
/// Open File For Write." (no owner, default caption, the given icon) with the path and
/// the reason as its detail; false on any failure. A failure after the file was created
/// is shown by nobody here: it is kept for the run's own message (TakeWriteFailure).
bool WriteGeneratedFile(const std::string& path, std::span<const char> bytes, IMessageBox& box,
                        MessageIcon openFailureIcon);

/// Writes fileName into the package folder (OutputDirectory + fileName). A name that
/// holds '/' would land outside the folder: it counts as a file that cannot be created.
bool WritePackageFile(const PackageSettings& settings, const std::string& fileName,
                      std::span<const char> bytes, IMessageBox& box, MessageIcon openFailureIcon);

/// The path and reason of the last write on this thread that failed after its file was
/// created and showed no message of its own ("" when there was none); clears it.
std::string TakeWriteFailure();
/// Keeps a failure that showed no message for the run's own message.
void NoteWriteFailure(std::string detail);
