// Every text the download operations show the user: window titles, message boxes, file-dialog
// filters and the descriptions of what failed. The code elsewhere refers to these names and holds
// no user-visible text of its own (the dialog templates and the About box are resources, in
// window/templates.*; the device link's texts are in device/texts.h). Texts the generator's users
// know from the window are kept exactly as they have always been, spelling and spacing included.
#pragma once

#include "device/texts.h"
#include "port/window_port.h"

namespace qvx {

// The end of a download.
inline constexpr const char* kDownloadCompleteText = "Download Complete";
inline constexpr const char* kDownloadCompleteCaption = "QVX-5120";
inline constexpr const char* kResetTitle = "QVX-5120              ";

// File dialogs.
inline constexpr FileFilter kBitmapFilter{"Banner files(*.bmp)", "*.bmp"};
inline constexpr FileFilter kPatternFilter{"Test Line files(*.tst)", "*.tst"};

// What one kind of download shows; "%i" stands for the slot number.
struct OperationTexts {
  const char* erasing;
  const char* downloading;
  const char* finished;
  const char* refused;  // the content failed its check; nullptr where there is no check
  const char* slot;     // the slot in failure reports
};

inline constexpr OperationTexts kPictureTexts{"Erasing Picture %i", "Downloading Picture %i",
                                              "Finished Picture Download",
                                              "Incorrect Picture file format", "Picture %i"};
inline constexpr OperationTexts kBannerTexts{"Erasing Banner %i", "Downloading Banner %i",
                                             "Finished Banner Download",
                                             "Incorrect Banner file format", "Banner %i"};
inline constexpr OperationTexts kPatternTexts{
    "Erasing Test Pattern %i", "Downloading Test Pattern %i", "Finished Test Pattern Download",
    nullptr, "Test pattern %i"};
inline constexpr OperationTexts kAudioTexts{nullptr, nullptr, nullptr, nullptr, "The audio loop"};

// A failed download's box: kFailedText, what failed, a line break, the slot, kIncompleteText.
inline constexpr const char* kFailedText = "Download failed: ";
inline constexpr const char* kIncompleteText = " is incomplete; load it again.";

// What failed.
inline constexpr const char* kPatternWriteUnfinishedText =
    "the generator did not report the end of the pattern write";
inline constexpr const char* kFileShrankText = "the file became shorter while it was being read";
inline constexpr const char* kFileUnreadableText = "the file could not be read: ";  // + the reason

// An audio amplitude above 0 dBFS or not a number: "Ch " (channel 2: "CH "), the channel number,
// kAmplitudeRefusedText.
inline constexpr const char* kAmplitudeRefusedText = "'s Amplitude Must be a negative value";

}  // namespace qvx
