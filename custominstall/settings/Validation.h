// Input rules shared by the wizard pages and --batch: checks, edit limits, message texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

/// True when every character is 0-9 or A-F (capitals only); true for an empty text.
bool IsHexNumber(std::string_view text);

/// The Windows rule for a path on the target machine: false when the text holds
/// one of / * ? " < > | or a colon not directly followed by a backslash.
bool IsValidDirectory(std::string_view text);

/// The rule for the output folder on this host: the same characters with the
/// backslash in the place of the slash, and a colon must be followed by '/'.
bool IsValidOutputDirectory(std::string_view text);

/// True when the text can begin a file name inside the output folder: it holds no
/// '/', which on this host would lead the file into another folder.
bool IsFileNameStem(std::string_view text);

/// True when Windows accepts the text in a file name: none of \ / : * ? " < > | and
/// no control byte (below 0x20).
bool IsWindowsFileName(std::string_view text);

/// What keeps the text from being written, unquoted, as a file name in an INF line;
/// nothing when it can be. Besides what Windows refuses in a file name, an INF line reads
/// ; as a comment, , and = as field ends, [ ] as a section and % as a string key, and
/// drops a space at either edge of a field; and text beyond ASCII would be read in the
/// Windows code page. The message names the first character that fails.
std::optional<std::string> InfFileNameProblem(std::string_view text);

/// True when Windows takes a file whose name starts with the text for a device: the part
/// before the first dot, without trailing spaces, is CON, PRN, AUX, NUL, COM0-COM9 or
/// LPT0-LPT9 in any case ("nul.x" too). Such a file cannot be made or copied on Windows.
bool NamesWindowsDevice(std::string_view text);

/// True when the text starts with "0x" or "0X", as a C programmer writes hexadecimal.
bool HasHexPrefix(std::string_view text);

/// True when the text can stand inside a quoted INF string: it holds no double quote,
/// which would end the string there. Everything else (%, ;, commas, backslashes,
/// spaces) is valid inside the quotes.
bool IsInfQuotedText(std::string_view text);

/// True when the text holds no Ctrl+Z (0x1A), where setupapi stops reading an INF file,
/// even inside quotes.
bool HasNoEndOfFileMark(std::string_view text);

/// a..z to A..Z, every other byte unchanged.
std::string ToUpperAscii(std::string_view text);

/// Most characters each page's edit box accepts.
inline constexpr int kUninstallFileNameLimit = 8;
inline constexpr int kInfPrefixLimit = 4;
inline constexpr int kShortNameLimit = 31;
inline constexpr int kLongNameLimit = 255;
inline constexpr int kComDeviceNameLimit = 255;
inline constexpr int kUsbDeviceNameLimit = 255;
inline constexpr int kVidLimit = 4;
inline constexpr int kPidLimit = 4;
inline constexpr int kTargetDirectoryLimit = 260;
inline constexpr int kOutputDirectoryLimit = 260;

inline constexpr std::string_view kFillInAllBlanksText = "Please fill in all blanks.";
inline constexpr std::string_view kInvalidHexText = "Please enter a valid hexadecimal number.";
inline constexpr std::string_view kInvalidDirectoryText =
    "Directory cannot contain: / : * ? \" < > |";
/// The names the package's files begin with (uninstall file name, INF prefix); the
/// messages go on with the character found.
inline constexpr std::string_view kInvalidFileNameText =
    "File names cannot contain: \\ / : * ? \" < > | ; , = [ ] % or control characters";
inline constexpr std::string_view kFileNameAsciiText =
    "File names can hold printable ASCII characters only";
inline constexpr std::string_view kFileNameEdgeSpaceText =
    "File names cannot begin or end with a space; an INF file drops it.";
/// The uninstall file name, whose files (name.exe, name.u98, ...) Windows would open as
/// a device; the message goes on with the name found.
inline constexpr std::string_view kDeviceFileNameText =
    "File names cannot begin with a name Windows keeps for a device (CON, PRN, AUX, NUL, "
    "COM0-COM9, LPT0-LPT9)";
/// A VID or PID typed the way C writes hexadecimal.
inline constexpr std::string_view kHexPrefixText =
    "Leave out the 0x: type the hexadecimal digits only, e.g. 3E7A.";
/// The names that stand inside quoted INF strings (long name, device names).
inline constexpr std::string_view kQuoteInNameText = "Names cannot contain a double quote (\").";
inline constexpr std::string_view kEndOfFileInNameText =
    "Names cannot contain Ctrl+Z (U+001A): an INF file ends there.";
/// A target directory holding a tab, Ctrl+Z or another control character, which no
/// Windows path can hold; the message goes on with the character found.
inline constexpr std::string_view kControlInDirectoryText =
    "Directory cannot contain control characters";
/// The output-folder message, listing the characters of IsValidOutputDirectory.
inline constexpr std::string_view kInvalidOutputDirectoryText =
    "Directory cannot contain: \\ : * ? \" < > |";
