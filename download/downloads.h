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

// How an operation ended.
enum class Outcome {
  kCompleted,   // content written; "Download Complete" shown
  kLeftErased,  // file dialog cancelled or file not opened: slot erased, "Download Complete" shown
  kRefused,     // the content failed its check; its box shown, nothing written
  kFailed,      // a device fault or a file that failed mid-read; one box, no completion
  kNotConnected,  // nothing sent
};

class Downloads {
 public:
  Downloads(DeviceLink& link, WindowPort& window) : link_(link), window_(window) {}

  Outcome DownloadPicture();
  Outcome DownloadBanner();
  Outcome DownloadCountdown();
  Outcome DownloadTestPattern();
  Outcome DownloadAudio();

  DownloadState& state() { return state_; }

 private:
  struct ImageKind;

  Outcome DownloadImage(const ImageKind& kind);
  // The finished title, the banner's extra wait, the completion box and the repaint.
  void CloseImageDownload(const ImageKind& kind);
  // Sends the rows of an accepted picture (8 bands of 36 line pairs) or banner (one band).
  void TransferImage(ContentFile& file, bool picture);
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
  // False when it did.
  template <typename Body>
  bool Guarded(const OperationTexts& texts, const int& slot, Body&& body);
  void Fail(const std::string& what_failed, const OperationTexts& texts, int slot);

  DeviceLink& link_;
  WindowPort& window_;
  DownloadState state_;
};

}  // namespace qvx
