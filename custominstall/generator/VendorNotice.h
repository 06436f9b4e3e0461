// The driver maker's notice that every INF file carries near its top.
#pragma once

#include <string_view>

/// Eight comment rows: two notice lines, each followed by ";", then four more.
inline constexpr std::string_view kVendorNotice[] = {
    "; Copyright (c) Vorn Microsystems. All rights reserved.",
    ";",
    "; Driver package for devices built on the VB7350 USB to UART bridge.",
    ";",
    "; The drivers that this file installs are supplied by Vorn Microsystems",
    "; and may be shipped only with products built on the VB7350. They are",
    "; provided \"as is\", without warranty of any kind; see the license",
    "; terms that came with the driver kit.",
};
