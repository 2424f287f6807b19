// The five download operations and the state they share between runs. Each runs from its button's
// click to its end inside the common operation frame: buttons off and wait cursor, loading mode,
// erase, file, transfer, loading mode off, buttons back, completion box.
#pragma once

#include <array>
#include <cstdint>

#include "device/protocol.h"
#include "device/window_port.h"
#include "download/content_file.h"
#include "download/texts.h"
#include "encode/bmp_check.h"
#include "encode/line_encoder.h"

namespace qvx {

// The run-time state that outlives one operation.
struct DownloadState {
  bool BannerAcceptable = false;
  bool PictureAcceptable = false;
  uint32_t FirstFieldAddress = 0;
  uint32_t SecondFieldAddress = 0;
  BmpHeader bmp_header{};
  BmpLine bmp_line{};
  std::array<uint8_t, kPatternSize> PatternBuffer{};
  uint16_t PictureIndex = 0;
  uint16_t BannerNumber = 0;
  uint16_t PatternNumber = 0;
  uint16_t SectorIndex = 0;
};

class Downloads {
 public:
  Downloads(DeviceLink& link, WindowPort& window) : link_(link), window_(window) {}

  void DownloadPicture();
  void DownloadBanner();
  void DownloadCountdown();
  void DownloadTestPattern();
  void DownloadAudio();

  DownloadState& state() { return state_; }

 private:
  struct ImageKind;

  void DownloadImage(const ImageKind& kind);
  // Reads and checks the header; false (with the flag cleared) for a file the slot cannot take.
  bool ReadAcceptedHeader(ContentFile& file, bool picture);
  void ErasePicture();
  void EraseBanner();
  void ErasePattern();
  void EraseAudio();
  void WritePattern();

  // Opening of the frame: buttons off, receive buffer emptied, loading mode, one second.
  void OpenFrame(bool repaint);
  // Runs `body`; a device fault or a file that fails mid-read ends the operation with one box.
  template <typename Body>
  void Guarded(const OperationTexts& texts, const int& slot, Body&& body);
  void Fail(const std::string& what_failed, const OperationTexts& texts, int slot);

  DeviceLink& link_;
  WindowPort& window_;
  DownloadState state_;
};

}  // namespace qvx
