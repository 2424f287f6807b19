// What each slot of a flash image holds, with the checks that tell stored content from damage;
// each kind checks its own slots (download/kinds/inspect.h).
#pragma once

#include <string>
#include <vector>

#include "download/kinds/inspect.h"
#include "flash/flash_image.h"

namespace qvx::cli {

using qvx::AudioWordFlagsExpected;
using qvx::AudioWordParityEven;
using qvx::InspectAudio;
using qvx::InspectImage;
using qvx::InspectPattern;
using qvx::SlotReport;

// Pictures 1-2, banners 1-8, the countdown, patterns 0-15 and the audio loop, in this order.
std::vector<SlotReport> InspectFlash(const flash::FlashImage& flash);

// The table `info` prints.
std::string FormatReport(const std::vector<SlotReport>& reports);

}  // namespace qvx::cli
