// A banner of text in a system font, drawn for the generator's samples so that the letters keep
// their shape on the screen: with QPainter on Linux (text_banner.cpp), with GDI on Windows
// (text_banner_gdi.cpp).
#pragma once

#include <string>

#include "prep/prepare.h"

namespace qvx::prep {

struct TextBannerOptions {
  std::string text;
  std::string font_family;  // empty: the system's default font
  Colour foreground = kWhite;
  Colour background = kBlack;
  int lines = 576;  // the standard whose sample shape the banner takes
  DisplayAspect aspect = DisplayAspect::k4x3;
};

struct TextBanner {
  Prepared prepared;  // placement: the text's box on the banner
  std::string font;   // the family drawn with, and its size in lines
};

// Needs StartImaging. The text is centred, as tall as fits 60% of the banner's lines and no
// wider than 90% of its width. Throws PrepError for empty text.
TextBanner RenderTextBanner(const TextBannerOptions& options);

}  // namespace qvx::prep
