// Opening a path relative to a folder so that nothing outside it can be
// reached, whatever symlinks lie on the way or are swapped in meanwhile.
#pragma once

#include "base/UniqueFd.h"

#include <string_view>

/// Opens path relative to the folder dirFd with openat2(RESOLVE_BENEATH): a
/// symlink may lead anywhere beneath the folder; one that is absolute or climbs
/// above it is refused by the kernel (EXDEV). Where the kernel lacks openat2 it
/// falls back to OpenBeneathByComponents. flags as for open(2), O_CLOEXEC added.
UniqueFd OpenBeneath(int dirFd, std::string_view path, int flags);

/// The same rule without openat2: the path is resolved one component at a time
/// from held folder descriptors, every open with O_NOFOLLOW, symlinks read and
/// resolved by us (at most 40), ".." never leaving the folder. A component
/// swapped for a symlink between our look and the open makes the open fail with
/// ELOOP and is looked at again.
UniqueFd OpenBeneathByComponents(int dirFd, std::string_view path, int flags);
