// A window that passes everything to the recorder and runs a hook right after the file dialog has
// answered, before the operation opens the file: the moment a file can vanish or shrink under it.
#pragma once

#include <functional>
#include <utility>

#include "device/window_port.h"

namespace qvx::soak {

class DialogHook final : public WindowPort {
 public:
  explicit DialogHook(WindowPort& inner) : inner_(inner) {}

  // Runs once, after the next file dialog.
  void Arm(std::function<void()> hook) { hook_ = std::move(hook); }

  void ShowMessage(std::string_view text) override { inner_.ShowMessage(text); }
  void ShowInformation(std::string_view text, std::string_view caption) override {
    inner_.ShowInformation(text, caption);
  }
  void SetTitle(std::string_view title) override { inner_.SetTitle(title); }
  void SetProgress(int position) override { inner_.SetProgress(position); }
  void EnableControl(int control_id, bool enabled) override {
    inner_.EnableControl(control_id, enabled);
  }
  void ShowWaitCursor() override { inner_.ShowWaitCursor(); }
  void ShowArrowCursor() override { inner_.ShowArrowCursor(); }
  void Repaint() override { inner_.Repaint(); }
  void ShowAmplitude(int channel, std::string_view text) override {
    inner_.ShowAmplitude(channel, text);
  }

  std::optional<std::string> ChooseFile(const FileFilter& filter) override {
    auto answer = inner_.ChooseFile(filter);
    if (auto hook = std::exchange(hook_, nullptr))
      hook();
    return answer;
  }

 private:
  WindowPort& inner_;
  std::function<void()> hook_;
};

}  // namespace qvx::soak
