// A window that shows nothing and keeps the messages it is given, the newest `kept` of them: for
// the parts that drive a unit with no one watching (the station's listing, the doctor, the fuzz
// targets), which say in their own words what the driver reported.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "port/window_port.h"

namespace qvx {

class MessageLog : public WindowPort {
 public:
  explicit MessageLog(size_t kept = 64) : kept_(kept) {}

  void ShowMessage(std::string_view text) override { Keep(text); }
  void ShowInformation(std::string_view text, std::string_view) override { Keep(text); }
  void SetTitle(std::string_view) override {}
  void SetProgress(int) override {}
  void EnableDownloadButtons(bool) override {}
  void ShowWaitCursor() override {}
  void ShowArrowCursor() override {}
  void Repaint() override {}
  void ShowAmplitude(int, std::string_view) override {}
  std::optional<std::string> ChooseFile(const FileFilter&) override { return std::nullopt; }

  // Oldest first.
  const std::deque<std::string>& messages() const { return messages_; }
  // The newest, or empty.
  std::string last() const { return messages_.empty() ? std::string() : messages_.back(); }

 private:
  void Keep(std::string_view text) {
    if (kept_ == 0)
      return;
    if (messages_.size() == kept_)
      messages_.pop_front();
    messages_.emplace_back(text);
  }

  size_t kept_;
  std::deque<std::string> messages_;
};

}  // namespace qvx
