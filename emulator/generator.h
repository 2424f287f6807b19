// The generator at the far end of the USB link: it parses the host's byte stream as one stream
// (a command's data may arrive over several writes), drives the flash, answers status polls, and
// records every protocol violation instead of failing.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/nor_flash.h"
#include "emulator/violation.h"

namespace qvx::vg {

using SteadyTime = std::chrono::steady_clock::time_point;

struct StatusBehaviour {
  int busy_polls = 2;        // polls answered 0 after an erase or a pattern write
  bool never_ready = false;  // every poll answers 0
  bool mute = false;         // polls are never answered
  int erase_ms = 0;          // real time a sector erase or a pattern write keeps the flash busy
  int latency_ms = 0;        // real time from a status command to its answer in the host's queue
};

class Generator {
 public:
  // Power-on state: outside loading mode, address 0, nothing queued or recorded. Keeps the flash.
  void Restart();

  // Bytes the device accepted; `wire_offset` is the position of bytes[0] in the whole stream.
  void Accept(std::span<const uint8_t> bytes, uint64_t wire_offset);

  void SetStatusBehaviour(const StatusBehaviour& behaviour) { status_ = behaviour; }
  StatusBehaviour status_behaviour() const { return status_; }
  // Answers given first, one per poll, before the busy/ready model.
  void SetScriptedAnswers(std::span<const uint8_t> answers);

  // Answers that have reached the host's receive queue by now.
  size_t QueuedAnswers() const;
  std::vector<uint8_t> TakeAnswers(size_t max);
  void ClearAnswers() { answers_.clear(); }
  // When the next answer still on its way reaches the queue; nothing when none is on its way.
  std::optional<SteadyTime> NextArrival() const;

  bool loading() const { return loading_; }
  // The violations seen since the restart, oldest first: as data, and in words.
  const std::vector<Violation>& violation_records() const { return violations_; }
  const std::vector<std::string>& violations() const;
  NorFlash& flash() { return flash_; }
  const NorFlash& flash() const { return flash_; }

 private:
  enum class Expect { kCommand, kData };
  struct Command;

  // The rules of the command with this byte, or nullptr for a byte that is no command.
  static const Command* FindCommand(uint8_t byte);
  void StartCommand(uint8_t byte);
  // Runs the current command once its payload is in.
  void FinishCommand();
  void BeginLoad() { loading_ = true; }
  void EndLoad() { loading_ = false; }
  void SetAddress();
  void EraseSector();
  void WriteBlock();
  void WritePattern();
  void AnswerStatus();
  // Accepted; the flash is already up to date.
  void FinishWrite() {}
  void Answer(uint8_t byte);
  // Starts a flash step: busy for the set number of polls and the set time.
  void StartFlashStep();
  // Stores `data` at the current address and reports what went wrong; `what` names the command.
  void Store(std::span<const uint8_t> data, const char* what);
  void Record(Violation violation);

  NorFlash flash_;
  StatusBehaviour status_;
  std::deque<uint8_t> scripted_;
  struct Pending {
    uint8_t byte;
    SteadyTime arrival;
  };
  std::deque<Pending> answers_;
  std::vector<Violation> violations_;
  mutable std::vector<std::string> violation_texts_;  // the first ones in words, once asked for

  bool loading_ = false;
  uint32_t address_ = 0;  // two-byte units; may run past the end of the chip
  int busy_left_ = 0;
  SteadyTime busy_until_{};

  Expect expect_ = Expect::kCommand;
  const Command* command_ = nullptr;  // the command whose payload is coming in
  uint64_t command_offset_ = 0;
  size_t data_needed_ = 0;
  std::vector<uint8_t> data_;
};

}  // namespace qvx::vg
