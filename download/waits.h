// The whole-second waits the downloads make, by name, beside the bar positions they go with
// (download/progress.h). The generator answers none of these steps, so the host waits out the
// time each one takes on the unit before it sends the next command.
#pragma once

namespace qvx::wait {

// After CMD_BEGIN_LOAD: the generator switching into loading mode.
inline constexpr int kLoadingMode = 1;
// After each CMD_ERASE_SECTOR: one flash sector erased.
inline constexpr int kSectorErase = 3;
// After the last sector of a picture or banner: the erase settled before the file is asked for.
inline constexpr int kImageErased = 5;
// After the finished title of a banner or the countdown, before its completion box.
inline constexpr int kBannerClosing = 2;
// Each step of a test pattern's settling and closing bar (progress::kPatternSettling,
// kPatternClosing).
inline constexpr int kPatternBarStep = 1;
// After each audio block: the block written into flash.
inline constexpr int kAudioBlockWrite = 1;

}  // namespace qvx::wait
