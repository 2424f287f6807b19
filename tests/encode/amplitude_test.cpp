#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "download/amplitude_check.h"
#include "encode/amplitude.h"
#include "encode/c_number.h"
#include "encode/tone_synthesis.h"

namespace qvx {
namespace {

void ExpectAccepted(std::string_view text, double value, const std::string& display, double gain) {
  SCOPED_TRACE(std::string("text \"") + std::string(text) + "\"");
  const AmplitudeReading r = ParseAmplitude(text);
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.value, value);
  EXPECT_EQ(std::signbit(r.value), std::signbit(value));
  EXPECT_EQ(r.display, display);
  EXPECT_NEAR(r.gain, gain, 1e-15);
}

TEST(EncAmplitude, ZeroInEveryFormIsFullScale) {
  ExpectAccepted("0", 0.0, "0.000", 1.0);
  ExpectAccepted("0.0", 0.0, "0.000", 1.0);
  ExpectAccepted("-0", -0.0, "-0.000", 1.0);
  ExpectAccepted("1e-400", 0.0, "0.000", 1.0);  // underflows to zero
  ExpectAccepted("-1e-400", -0.0, "-0.000", 1.0);
}

TEST(EncAmplitude, TextWithoutANumberReadsAsZero) {
  ExpectAccepted("", 0.0, "0.000", 1.0);
  ExpectAccepted("abc", 0.0, "0.000", 1.0);
  ExpectAccepted("dB-6", 0.0, "0.000", 1.0);
  ExpectAccepted("-", 0.0, "0.000", 1.0);
  ExpectAccepted("   ", 0.0, "0.000", 1.0);
}

TEST(EncAmplitude, ReadsTheLongestNumericPrefix) {
  ExpectAccepted("-6dB", -6.0, "-6.000", 0.50118723362727229);
  ExpectAccepted("  -3.5xyz", -3.5, "-3.500", 0.66834391756861463);
  ExpectAccepted("\t\n-20", -20.0, "-20.000", 0.1);
  ExpectAccepted("-.5", -0.5, "-0.500", 0.94406087628592339);
  ExpectAccepted("-2e1", -20.0, "-20.000", 0.1);
  ExpectAccepted("-1e", -1.0, "-1.000", 0.89125093813374556);
  ExpectAccepted("-0x10", -16.0, "-16.000", 0.15848931924611134);
  ExpectAccepted("-12,5", -12.0, "-12.000", 0.25118864315095801);
  ExpectAccepted(std::string_view("-3\0-9", 5), -3.0, "-3.000", 0.70794578438413791);
}

TEST(EncAmplitude, RoundsTheDisplayAsPrintfDoes) {
  // The C library in the "C" locale is the reference for "%.3f".
  for (const char* text : {"-1.0005", "-2.0015", "-0.0004", "-0.0005", "-123456.789", "-1e300",
                           "-9.99999", "-0.1", "-1e-7"}) {
    const AmplitudeReading r = ParseAmplitude(text);
    ASSERT_TRUE(r.accepted) << text;
    char want[400];
    std::snprintf(want, sizeof want, "%.3f", std::strtod(text, nullptr));
    EXPECT_EQ(r.display, want) << text;
    EXPECT_EQ(r.value, std::atof(text)) << text;
  }
}

TEST(EncAmplitude, RefusesPositiveValuesWithTheChannelsMessage) {
  const char* messages[] = {
      "Ch 1's Amplitude Must be a negative value", "CH 2's Amplitude Must be a negative value",
      "Ch 3's Amplitude Must be a negative value", "Ch 4's Amplitude Must be a negative value"};
  for (int ch = 1; ch <= 4; ++ch) {
    for (const char* text : {"0.001", "6", "+1", " 1e-300", "0x1p-3", "inf", "INFINITY"}) {
      EXPECT_FALSE(ParseAmplitude(text).accepted) << text;
      EXPECT_EQ(ParseAmplitude(text).display, "");
      // The check over the four channels names each refused one with its own message.
      std::array<std::string, kAudioChannels> levels{"-1", "-1", "-1", "-1"};
      levels[static_cast<size_t>(ch - 1)] = text;
      const std::vector<AmplitudeRefusal> refused = RefusedAmplitudes(levels);
      ASSERT_EQ(refused.size(), 1u) << text;
      EXPECT_EQ(refused[0].channel, ch);
      EXPECT_EQ(refused[0].message, messages[ch - 1]) << text;
    }
  }
}

TEST(EncAmplitude, RefusesNotANumber) {
  for (const char* text : {"nan", "NAN", "-nan", "nan(123)", " NaN dB"}) {
    const AmplitudeReading r = ParseAmplitude(text);
    EXPECT_FALSE(r.accepted) << text;
    EXPECT_EQ(r.gain, 0.0) << text;
  }
}

TEST(EncAmplitude, HugeNegativeValuesGiveSilenceSafely) {
  ExpectAccepted("-inf", -INFINITY, "-inf", 0.0);
  ExpectAccepted("-infinity", -INFINITY, "-inf", 0.0);
  ExpectAccepted("-1e400", -INFINITY, "-inf", 0.0);  // overflows to -inf
  const AmplitudeReading r = ParseAmplitude("-1e308");
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.gain, 0.0);
  EXPECT_EQ(r.display.size(), std::strlen("-1") + 308 + std::strlen(".000"));

  // Such a gain synthesises to plain zero samples, not undefined conversions.
  ChannelWords words;
  SynthesizeChannel(2, {TonePeriod(12), r.gain}, words);
  for (const AudioWord& w : words) {
    ASSERT_EQ(w[1], 0);
    ASSERT_EQ(w[2], 0);
    ASSERT_EQ(w[3], 0);
  }
}

TEST(EncAmplitude, MatchesAtofForAssortedTexts) {
  for (const char* text : {"-7.25", "  -0.5e1x", "-0X1.8p1", "+-3", "--3", "-3.", "-.e1", "- 3",
                           "-00012.5000", "-1e-310", "\v\f\r -4"}) {
    const double want = std::atof(text);
    const double got = ReadCNumber(text);
    EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << text << ": " << got << " vs " << want;
  }
}

// Finds a locale with a decimal comma among the usual names; empty when none is installed.
std::string CommaLocale() {
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"}) {
    if (std::setlocale(LC_ALL, name) != nullptr)
      return name;
  }
  return {};
}

TEST(EncAmplitude, IgnoresTheProcessLocale) {
  const std::string name = CommaLocale();
  if (name.empty()) {
    std::setlocale(LC_ALL, "C");
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  }
  // The locale is really active: the C library itself now stops at the point.
  EXPECT_EQ(std::atof("-6.5"), -6.0) << name;
  const AmplitudeReading r = ParseAmplitude("-6.5");
  std::setlocale(LC_ALL, "C");
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.value, -6.5);
  EXPECT_EQ(r.display, "-6.500");
}

}  // namespace
}  // namespace qvx
