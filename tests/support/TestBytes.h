// Byte helpers shared by the frame tests: literal frames and readable failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace testbytes {

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> v) {
  std::vector<std::uint8_t> out;
  for (int b : v) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

/// The bytes of a text, as written.
inline std::vector<std::uint8_t> TextBytes(std::string_view s) {
  return {s.begin(), s.end()};
}

inline std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

/// A terminal's frame: start, body, then the XOR of everything after the start
/// byte (computed here, independently of the code under test).
inline std::vector<std::uint8_t> WithLrc(std::vector<std::uint8_t> frame) {
  std::uint8_t lrc = 0;
  for (std::size_t i = 1; i < frame.size(); ++i) lrc ^= frame[i];
  frame.push_back(lrc);
  return frame;
}

inline std::vector<std::uint8_t> WithLrc(std::initializer_list<int> v) {
  return WithLrc(Bytes(v));
}

/// n bytes of v starting at from.
inline std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& v, std::size_t from,
                                       std::size_t n) {
  return {v.begin() + static_cast<std::ptrdiff_t>(from),
          v.begin() + static_cast<std::ptrdiff_t>(from + n)};
}

inline std::string Hex(const std::vector<std::uint8_t>& v) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (i) s += ' ';
    s += digits[v[i] >> 4];
    s += digits[v[i] & 15];
  }
  return s;
}

}  // namespace testbytes
