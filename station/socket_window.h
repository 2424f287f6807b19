// The window stand-in of one loading socket: the file dialog answers with the operation's file,
// the progress bar goes to the socket, and the last box is kept as the reason should the
// operation not complete. Nothing is shown.
#pragma once

#include <functional>
#include <string>

#include "port/window_port.h"
#include "station/operation.h"

namespace qvx::station {

class SocketWindow final : public WindowPort {
 public:
  explicit SocketWindow(std::function<void(int)> progress) : progress_(std::move(progress)) {}

  // The operation whose file the file dialog gives from now on; forgets the last box.
  void SetOperation(const Operation& operation) {
    operation_ = &operation;
    last_message_.clear();
  }
  const std::string& last_message() const { return last_message_; }

  void ShowMessage(std::string_view text) override { last_message_ = text; }
  void ShowInformation(std::string_view, std::string_view) override {}
  void SetTitle(std::string_view) override {}
  void SetProgress(int position) override { progress_(position); }
  void EnableDownloadButtons(bool) override {}
  void ShowWaitCursor() override {}
  void ShowArrowCursor() override {}
  void Repaint() override {}
  void ShowAmplitude(int, std::string_view) override {}
  // The operation's file; a cancel for an erase, which leaves the slot erased.
  std::optional<std::string> ChooseFile(const FileFilter& filter) override;

 private:
  std::function<void(int)> progress_;
  const Operation* operation_ = nullptr;
  std::string last_message_;
};

}  // namespace qvx::station
