// The generator's own message texts (exact wording is part of the program's behaviour).
#pragma once

#include <string_view>

inline constexpr std::string_view kCouldNotOpenFileText = "Error: Could Not Open File For Write.";
inline constexpr std::string_view kFilesGeneratedText = "Files Successfully Generated";
inline constexpr std::string_view kCouldNotGenerateText = "Error: Could Not Generate All Files.";
