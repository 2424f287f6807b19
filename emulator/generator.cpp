#include "emulator/generator.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "device/protocol.h"
#include "emulator/sector_layout.h"

namespace qvx::vg {
namespace {

constexpr size_t kAddressBytes = 3;
constexpr int kUsbFrameMs = 1;
constexpr uint32_t kBlockUnits = kBlockPayload / 2;
constexpr uint32_t kPatternUnits = kPatternSize / 2;

// The address counter stops at its largest value instead of wrapping back into the chip.
uint32_t Advance(uint32_t address, uint32_t units) {
  return address > UINT32_MAX - units ? UINT32_MAX : address + units;
}

}  // namespace

void Generator::Restart() {
  scripted_.clear();
  answers_.clear();
  violations_.clear();
  violation_texts_.clear();
  loading_ = false;
  address_ = 0;
  busy_left_ = 0;
  busy_until_ = {};
  expect_ = Expect::kCommand;
  command_ = nullptr;
  data_.clear();
  data_needed_ = 0;
}

void Generator::SetScriptedAnswers(std::span<const uint8_t> answers) {
  scripted_.assign(answers.begin(), answers.end());
}

size_t Generator::QueuedAnswers() const {
  // Answers arrive in the order they were given, so the arrived ones are a prefix.
  const SteadyTime now = std::chrono::steady_clock::now();
  const auto first_pending = std::find_if(answers_.begin(), answers_.end(),
                                          [now](const Pending& p) { return p.arrival > now; });
  return static_cast<size_t>(std::distance(answers_.begin(), first_pending));
}

std::vector<uint8_t> Generator::TakeAnswers(size_t max) {
  const size_t n = std::min(max, QueuedAnswers());
  std::vector<uint8_t> taken;
  taken.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    taken.push_back(answers_.front().byte);
    answers_.pop_front();
  }
  return taken;
}

std::optional<SteadyTime> Generator::NextArrival() const {
  const SteadyTime now = std::chrono::steady_clock::now();
  for (const Pending& p : answers_) {
    if (p.arrival > now)
      return p.arrival;
  }
  return std::nullopt;
}

void Generator::Accept(std::span<const uint8_t> bytes, uint64_t wire_offset) {
  size_t i = 0;
  while (i < bytes.size()) {
    if (expect_ == Expect::kCommand) {
      command_offset_ = wire_offset + i;
      StartCommand(bytes[i++]);
      continue;
    }
    const size_t take = std::min(data_needed_ - data_.size(), bytes.size() - i);
    data_.insert(data_.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i),
                 bytes.begin() + static_cast<std::ptrdiff_t>(i + take));
    i += take;
    if (data_.size() == data_needed_)
      FinishCommand();
  }
}

// Each command of the protocol: its byte, the payload that follows it, whether it belongs inside
// loading mode (outside it still runs, and is recorded as a violation), and what it does once its
// payload is in.
struct Generator::Command {
  uint8_t byte;
  size_t payload;
  bool needs_loading;
  void (Generator::*run)();
};

const Generator::Command* Generator::FindCommand(uint8_t byte) {
  static constexpr std::array<Command, 8> kCommands = {{
      {CMD_BEGIN_LOAD, 0, false, &Generator::BeginLoad},
      {CMD_END_LOAD, 0, false, &Generator::EndLoad},
      {CMD_SET_ADDRESS, kAddressBytes, true, &Generator::SetAddress},
      {CMD_ERASE_SECTOR, 0, true, &Generator::EraseSector},
      {CMD_WRITE_BLOCK, kBlockSize, true, &Generator::WriteBlock},
      {CMD_WRITE_PATTERN, kPatternSize, true, &Generator::WritePattern},
      {CMD_READ_STATUS, 0, true, &Generator::AnswerStatus},
      {CMD_FINISH_WRITE, 0, true, &Generator::FinishWrite},
  }};
  // Each byte's command, looked up once: a stream of garbage asks at nearly every byte.
  static const std::array<const Command*, 256> kByByte = [] {
    std::array<const Command*, 256> table{};
    for (const Command& command : kCommands)
      table[command.byte] = &command;
    return table;
  }();
  return kByByte[byte];
}

void Generator::StartCommand(uint8_t byte) {
  command_ = FindCommand(byte);
  if (command_ == nullptr) {
    Record({.rule = Violation::Rule::kUnknownCommand, .byte = byte});
    return;
  }
  if (command_->needs_loading && !loading_)
    Record({.rule = Violation::Rule::kOutsideLoadingMode, .byte = byte});

  data_.clear();
  data_needed_ = command_->payload;
  if (data_needed_ > 0) {
    expect_ = Expect::kData;
    return;
  }
  FinishCommand();
}

void Generator::FinishCommand() {
  expect_ = Expect::kCommand;
  (this->*command_->run)();
  data_.clear();
}

void Generator::SetAddress() {
  address_ = uint32_t{data_[0]} << 16 | uint32_t{data_[1]} << 8 | data_[2];
  if (address_ >= kFlashUnits)
    Record({.rule = Violation::Rule::kAddressPastEnd, .address = address_});
}

void Generator::StartFlashStep() {
  busy_left_ = status_.busy_polls;
  busy_until_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(status_.erase_ms);
}

void Generator::EraseSector() {
  StartFlashStep();
  const auto sector = SectorStartingAt(address_);
  if (!sector) {
    Record({.rule = Violation::Rule::kEraseNotSectorStart, .address = address_});
    return;
  }
  flash_.Erase(*sector);
}

void Generator::WriteBlock() {
  const auto padding = std::span(data_).subspan(kBlockPayload);
  const auto nonzero = std::find_if(padding.begin(), padding.end(), [](uint8_t b) { return b; });
  if (nonzero != padding.end()) {
    const auto at = static_cast<size_t>(nonzero - padding.begin()) + kBlockPayload;
    Record({.rule = Violation::Rule::kNonZeroPadding, .byte = *nonzero, .at = at});
  }
  Store(std::span(data_).first(kBlockPayload), "block");
  address_ = Advance(address_, kBlockUnits);
}

void Generator::WritePattern() {
  Store(data_, "pattern");
  address_ = Advance(address_, kPatternUnits);
  StartFlashStep();
}

void Generator::Store(std::span<const uint8_t> data, const char* what) {
  const auto result = flash_.Program(size_t{address_} * 2, data);
  if (result.stored < data.size()) {
    Record({.rule = Violation::Rule::kStorePastEnd, .address = address_, .what = what});
  }
  if (result.raised_bytes > 0) {
    Record({.rule = Violation::Rule::kRaisesBits,
            .address = address_,
            .what = what,
            .count = result.raised_bytes,
            .at = result.first_raised});
  }
}

void Generator::Answer(uint8_t byte) {
  // Over real USB an answer is at least one frame (1 ms) behind its command. With flash steps
  // that take time, an emulator that answered at once would let the host's bounded poll run
  // through all its attempts within one erase, which no real generator allows; without them the
  // answers may come at once, which keeps the protocol tests quick.
  const int floor_ms = status_.erase_ms > 0 ? kUsbFrameMs : 0;
  const int latency_ms = std::max(status_.latency_ms, floor_ms);
  answers_.push_back(
      {byte, std::chrono::steady_clock::now() + std::chrono::milliseconds(latency_ms)});
}

void Generator::AnswerStatus() {
  if (!scripted_.empty()) {
    Answer(scripted_.front());
    scripted_.pop_front();
    return;
  }
  if (status_.mute)
    return;
  const bool flash_busy = std::chrono::steady_clock::now() < busy_until_;
  if (status_.never_ready || busy_left_ > 0 || flash_busy) {
    if (busy_left_ > 0)
      --busy_left_;
    Answer(0);
    return;
  }
  Answer(1);
}

void Generator::Record(Violation violation) {
  violation.wire_offset = command_offset_;
  violations_.push_back(violation);
}

const std::vector<std::string>& Generator::violations() const {
  while (violation_texts_.size() < violations_.size())
    violation_texts_.push_back(violations_[violation_texts_.size()].Text());
  return violation_texts_;
}

}  // namespace qvx::vg
