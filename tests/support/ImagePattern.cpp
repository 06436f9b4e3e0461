// Image contents for end-to-end downloads.
#include "support/ImagePattern.h"

namespace testsupport {

std::string ImagePattern(std::size_t size, unsigned seed) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + seed) ^ (i >> 8));
  return data;
}

}  // namespace testsupport
