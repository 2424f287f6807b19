// The window stand-in of one loading socket: the file dialog answers with the operation's file,
// the progress bar goes to the socket, and the last box is kept as the reason should the
// operation not complete. Nothing is shown.
#pragma once

#include <functional>
#include <string>

#include "station/unit_window.h"

namespace qvx::station {

class SocketWindow final : public UnitWindow {
 public:
  // `progress` hears the running operation, its attempt and the bar's position.
  using Progress = std::function<void(size_t operation, int attempt, int position)>;
  explicit SocketWindow(Progress progress) : progress_(std::move(progress)) {}

  void BeginOperation(size_t index, size_t, const Operation& operation, int attempt) override {
    operation_ = &operation;
    index_ = index;
    attempt_ = attempt;
    last_message_.clear();
  }
  const std::string& last_message() const override { return last_message_; }
  void HoldBack() override { muted_ = true; }
  void Release(Held) override { muted_ = false; }

  void ShowMessage(std::string_view text) override { last_message_ = text; }
  void ShowInformation(std::string_view, std::string_view) override {}
  void SetTitle(std::string_view) override {}
  void SetProgress(int position) override {
    if (!muted_)
      progress_(index_, attempt_, position);
  }
  void EnableDownloadButtons(bool) override {}
  void ShowWaitCursor() override {}
  void ShowArrowCursor() override {}
  void Repaint() override {}
  void ShowAmplitude(int, std::string_view) override {}
  // The operation's file; a cancel for an erase, which leaves the slot erased.
  std::optional<std::string> ChooseFile(const FileFilter& filter) override;

 private:
  Progress progress_;
  const Operation* operation_ = nullptr;
  size_t index_ = 0;
  int attempt_ = 1;
  std::string last_message_;
  bool muted_ = false;
};

// The file a window's file dialog gives for an operation: its file, or a cancel for an erase.
std::optional<std::string> OperationFile(const Operation* operation);

}  // namespace qvx::station
