// The icon pixel art in Windows' own icon formats: one image as an icon resource holds it (what
// CreateIconFromResourceEx takes) and a whole .ico file (what the resource compiler takes). Plain
// bytes, so a tool on the build host can write the executable's icon file.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qvx::resources {

// One square image of palette indexes (see window/icons.h) as a 16-colour device-independent
// bitmap: the header, the colour table, the colour rows and the transparency mask, rows from the
// bottom. Empty unless `pixels` holds size * size entries.
std::vector<std::uint8_t> IconImageBytes(std::span<const std::uint8_t> pixels, int size);

// The .ico file of an icon resource with every size of kIconSizes; empty for an unknown id.
std::vector<std::uint8_t> IconFileBytes(int resource_id);

}  // namespace qvx::resources
