// Image contents for end-to-end downloads: a recognisable byte pattern per seed.
#pragma once

#include <cstddef>
#include <string>

namespace testsupport {

/// size bytes that differ from block to block and from seed to seed.
std::string ImagePattern(std::size_t size, unsigned seed);

}  // namespace testsupport
