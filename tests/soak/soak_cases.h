// The soak's vocabulary: the five operations, the input and fault classes tried on them, the
// schedule of cases, and the files each class hands to the file dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/content_model.h"

namespace qvx::soak {

enum class Op { kPicture, kBanner, kCountdown, kPattern, kAudio };

enum class Fault {
  kNone,                   // a good file, accepted amplitudes
  kCancel,                 // the file dialog is cancelled
  kCannotOpen,             // missing path, directory, device node, dangling or looping link
  kVanishes,               // the file is deleted between the dialog and the open
  kEmpty,                  // a file of zero bytes
  kJunk,                   // random bytes, half of them starting with "BM"
  kTruncated,              // a good header on a file shorter than it declares
  kShrinksBeforeRead,      // the file is cut between the dialog and the open
  kWrongKind,              // a picture file for a banner, a banner file for a picture
  kHuge,                   // 1 GiB, sparse after its first bytes
  kShrinksDuringTransfer,  // the file is cut while its rows are being sent
  kUnplug,                 // the generator refuses every byte after a random count
  kNeverReady,             // every status poll answers 0
  kNoStatusAnswer,         // status polls are never answered
  kRefusedAmplitude,       // one channel's amplitude is above 0 dBFS or not a number
  kAbsent,                 // no generator at start-up
};

const char* OpName(Op op);
const char* FaultName(Fault fault);

struct Case {
  Op op;
  Fault fault;
};

// One round of the schedule: every class on every operation it applies to, with more cases for
// the classes whose random parameters matter most.
std::vector<Case> Round();

using Rng = std::mt19937_64;

// A file handed to the dialog, and what it holds when the operation reads it.
struct PreparedFile {
  std::optional<std::string> answer;   // nullopt: the dialog is cancelled
  test::FileImage at_read;             // content at the open; meaningless when it cannot be opened
  bool opens = true;                   // the path names a regular file at the open
  std::function<void()> after_dialog;  // runs once the dialog has answered
  uint64_t declared_end = 0;           // images: bytes the header declares
};

// Builds the file for an image operation (`picture` or banner) or a pattern, in `dir`.
PreparedFile PrepareImageFile(Fault fault, bool picture, const std::string& dir, int index,
                              Rng& rng);
PreparedFile PreparePatternFile(Fault fault, const std::string& dir, int index, Rng& rng);

// A 24-bit bottom-up BMP of 720 x `height`, declaring `declared` bytes, with `rows` random rows.
std::vector<uint8_t> RandomBmp(int height, uint32_t declared, int rows, Rng& rng);

// Amplitude box texts: ones every channel accepts, and ones it refuses.
std::string AcceptedAmplitude(Rng& rng);
std::string RefusedAmplitude(Rng& rng);

}  // namespace qvx::soak
