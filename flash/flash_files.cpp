// PNG and WAV files with Qt and libsndfile.
#include "flash/flash_files.h"

#include <sndfile.h>

#include <QImage>
#include <QString>
#include <memory>
#include <stdexcept>

namespace qvx::flash {

void WritePng(const std::vector<BmpLine>& rows, const std::string& path) {
  QImage image(static_cast<int>(kBmpWidth), static_cast<int>(rows.size()), QImage::Format_RGB888);
  for (size_t y = 0; y < rows.size(); ++y) {
    uchar* out = image.scanLine(static_cast<int>(y));
    const BmpLine& row = rows[y];
    for (size_t x = 0; x < kBmpWidth; ++x) {
      out[3 * x] = row[3 * x + 2];      // red
      out[3 * x + 1] = row[3 * x + 1];  // green
      out[3 * x + 2] = row[3 * x];      // blue
    }
  }
  if (!image.save(QString::fromStdString(path), "PNG"))
    throw std::runtime_error(path + ": cannot write the PNG file");
}

void WriteWav(const AudioSamples& loop, int seconds, const std::string& path) {
  SF_INFO info{};
  info.samplerate = kWavSampleRate;
  info.channels = kAudioChannels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
  std::unique_ptr<SNDFILE, decltype(&sf_close)> file(sf_open(path.c_str(), SFM_WRITE, &info),
                                                     &sf_close);
  if (!file)
    throw std::runtime_error(path + ": cannot write the WAV file: " + sf_strerror(nullptr));
  // libsndfile takes full-scale 32-bit integers and keeps their top 24 bits.
  std::vector<int> frames;
  frames.reserve(loop.size() * kAudioChannels);
  for (const auto& frame : loop) {
    for (int32_t sample : frame)
      frames.push_back(static_cast<int>(static_cast<uint32_t>(sample) << 12));
  }
  const auto loop_frames = static_cast<sf_count_t>(loop.size());
  const int repeats = seconds * kWavSampleRate / static_cast<int>(loop.size());
  for (int r = 0; r < repeats; ++r) {
    if (sf_writef_int(file.get(), frames.data(), loop_frames) != loop_frames)
      throw std::runtime_error(path + ": cannot write the WAV file: " + sf_strerror(file.get()));
  }
  if (sf_close(file.release()) != 0)
    throw std::runtime_error(path + ": cannot write the WAV file");
}

}  // namespace qvx::flash
