// A failed system call on a path: what the messages show after the design's own text.
#pragma once

#include <string>
#include <system_error>

/// The path a call failed on and the errno it failed with.
struct SystemError {
  std::string path;
  int code = 0;

  /// "path: reason", e.g. "/tmp/pkg/vornbus.inf: Permission denied".
  std::string Describe() const {
    return path + ": " + std::error_code(code, std::generic_category()).message();
  }
};
