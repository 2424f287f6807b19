// The texts the download operations show: title steps, refusals and failure reports.
#pragma once

#include <string>

#include "device/window_port.h"

namespace qvx {

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

// Replaces the one "%i" of `format` with the decimal number.
std::string FormatStep(const char* format, int number);

// The one box a failed download shows: what failed, and that the slot's content is incomplete.
std::string FailureMessage(const std::string& what_failed, const OperationTexts& texts, int slot);

}  // namespace qvx
