// Text from files, terminals and peers made safe to print on an operator's
// console: control bytes become visible escapes instead of acting on the terminal.
#pragma once

#include <string>
#include <string_view>

/// CR and LF become \r and \n, every other byte below 0x20 and 0x7F becomes \xNN
/// (two upper-case hex digits), and so does each byte that is not part of
/// well-formed UTF-8 (a raw 0x9B too); the C1 controls U+0080..U+009F and the
/// bidi controls U+202A..U+202E and U+2066..U+2069 become \uXXXX. All other
/// UTF-8 text stays as it is.
std::string EscapeConsoleText(std::string_view text);
