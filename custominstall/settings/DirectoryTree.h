// Creating the output folder and its missing parents.
#pragma once

#include <string_view>

#include "settings/SystemError.h"

inline constexpr std::string_view kCouldNotCreateDirectoryText =
    "Error: Could Not Create Directory.";

/// Creates the folder named by path (which normally ends with '/') and any missing
/// parents, from the deepest existing one down; never splits the root "/". False when
/// the folder already exists or cannot be created; folders made before that remain.
/// On failure, error (when given) names the level that failed and why.
bool CreateDirectoryTree(std::string_view path, SystemError* error = nullptr);
