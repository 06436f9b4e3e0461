// Text from files, terminals and peers made safe to print on an operator's
// console: control bytes become visible escapes instead of acting on the terminal.
#pragma once

#include <string>
#include <string_view>

/// CR and LF become \r and \n, every other byte below 0x20 and 0x7F becomes \xNN
/// (two upper-case hex digits); all other bytes, UTF-8 included, stay as they are.
std::string EscapeConsoleText(std::string_view text);
