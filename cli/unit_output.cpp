// The shared output of a parallel load.
#include "cli/unit_output.h"

#include <streambuf>

namespace qvx::cli {

// Collects one unit's characters into lines: '\n' ends a line, '\r' starts it over (a progress bar
// redrawn in place), and every change of the current line is passed on for the live display.
class UnitOutput::UnitLines final : public std::streambuf {
 public:
  UnitLines(UnitOutput& owner, size_t unit, Stream stream)
      : owner_(owner), unit_(unit), stream_(stream) {}

 protected:
  int_type overflow(int_type ch) override {
    if (traits_type::eq_int_type(ch, traits_type::eof()))
      return traits_type::not_eof(ch);
    const char c = traits_type::to_char_type(ch);
    if (c == '\n') {
      owner_.EndedLine(unit_, stream_, line_);
      line_.clear();
      pending_ = false;
    } else if (c == '\r') {
      line_.clear();
    } else {
      line_ += c;
      pending_ = true;
    }
    return ch;
  }

  int sync() override {
    if (pending_)
      owner_.ChangedLine(unit_, line_);
    pending_ = false;
    return 0;
  }

 private:
  UnitOutput& owner_;
  size_t unit_;
  Stream stream_;
  std::string line_;
  bool pending_ = false;
};

UnitOutput::UnitOutput(std::ostream& out, std::ostream& err, bool live,
                       std::vector<std::string> serials)
    : out_(out), err_(err), live_(live), serials_(std::move(serials)) {
  status_.resize(serials_.size());
  for (size_t unit = 0; unit < serials_.size(); ++unit) {
    for (Stream stream : {Stream::kOut, Stream::kErr}) {
      buffers_.push_back(std::make_unique<UnitLines>(*this, unit, stream));
      streams_.push_back(std::make_unique<std::ostream>(buffers_.back().get()));
    }
  }
  std::lock_guard guard(mutex_);
  Redraw();
}

UnitOutput::~UnitOutput() {
  Finish();
}

std::ostream& UnitOutput::Out(size_t unit) {
  return *streams_[2 * unit];
}

std::ostream& UnitOutput::Err(size_t unit) {
  return *streams_[2 * unit + 1];
}

void UnitOutput::EndedLine(size_t unit, Stream stream, const std::string& text) {
  std::lock_guard guard(mutex_);
  const std::string prefixed = serials_[unit] + ": " + text;
  if (!live_ || finished_) {
    (stream == Stream::kErr ? err_ : out_) << prefixed << '\n' << std::flush;
    return;
  }
  // Messages would be overdrawn by the live lines; they are printed when those end.
  if (stream == Stream::kErr)
    messages_.push_back(prefixed);
  ShowStatus(unit, text);
}

void UnitOutput::ChangedLine(size_t unit, const std::string& text) {
  std::lock_guard guard(mutex_);
  // Without live lines only whole lines are printed.
  if (live_ && !finished_)
    ShowStatus(unit, text);
}

void UnitOutput::ShowStatus(size_t unit, const std::string& text) {
  if (!text.empty())
    status_[unit] = text;
  Redraw();
}

void UnitOutput::Redraw() {
  if (!live_ || finished_)
    return;
  // Back to the first status line, then every line rewritten and cleared to its end.
  if (drawn_ && !status_.empty())
    out_ << "\x1b[" << status_.size() << "A";
  for (size_t unit = 0; unit < status_.size(); ++unit)
    out_ << "\r\x1b[2K" << serials_[unit] << ": " << status_[unit] << '\n';
  out_.flush();
  drawn_ = true;
}

void UnitOutput::Finish() {
  for (auto& stream : streams_)
    stream->flush();
  std::lock_guard guard(mutex_);
  if (finished_)
    return;
  finished_ = true;
  for (const std::string& message : messages_)
    err_ << message << '\n';
  err_.flush();
}

}  // namespace qvx::cli
