// PNG files with the Windows Imaging Component's encoder, WAV files written out here: the same
// files the Linux build writes with Qt and libsndfile.
#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <fstream>
#include <stdexcept>

#include "flash/flash_files.h"

namespace qvx::flash {
namespace {

using Microsoft::WRL::ComPtr;

std::wstring Wide(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
  wide.resize(wide.size() - 1);
  return wide;
}

void Put(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out += static_cast<char>(value >> (8 * i));
}

}  // namespace

void WritePng(const std::vector<BmpLine>& rows, const std::string& path) {
  const auto fail = [&] { return std::runtime_error(path + ": cannot write the PNG file"); };
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory))) ||
      FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromFilename(Wide(path).c_str(), GENERIC_WRITE)) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)))
    throw fail();
  // The rows are blue, green, red already: WIC's 24-bit BGR, written as an 8-bit RGB PNG.
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  const auto height = static_cast<UINT>(rows.size());
  if (FAILED(frame->SetSize(static_cast<UINT>(kBmpWidth), height)) ||
      FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
    throw fail();
  for (UINT y = 0; y < height; ++y) {
    auto* line = const_cast<BYTE*>(rows[y].data());
    if (FAILED(frame->WritePixels(1, static_cast<UINT>(kBmpRowSize), static_cast<UINT>(kBmpRowSize),
                                  line)))
      throw fail();
  }
  if (FAILED(frame->Commit()) || FAILED(encoder->Commit()))
    throw fail();
}

void WriteWav(const AudioSamples& loop, int seconds, const std::string& path) {
  // 24-bit little-endian PCM: the 20-bit samples shifted up by four bits, as the Linux writer
  // stores them.
  const uint32_t block = kAudioChannels * 3;
  const auto repeats =
      static_cast<uint32_t>(seconds * kWavSampleRate / static_cast<int>(loop.size()));
  const uint32_t data = repeats * static_cast<uint32_t>(loop.size()) * block;
  std::string out = "RIFF";
  Put(out, 36 + data, 4);
  out += "WAVEfmt ";
  Put(out, 16, 4);
  Put(out, 1, 2);  // PCM
  Put(out, kAudioChannels, 2);
  Put(out, kWavSampleRate, 4);
  Put(out, kWavSampleRate * block, 4);
  Put(out, block, 2);
  Put(out, 24, 2);
  out += "data";
  Put(out, data, 4);
  std::string samples;
  samples.reserve(loop.size() * block);
  for (const auto& frame : loop) {
    for (int32_t sample : frame)
      Put(samples, static_cast<uint32_t>(sample) << 4, 3);
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << out;
  for (uint32_t r = 0; r < repeats; ++r)
    file << samples;
  file.close();
  if (!file)
    throw std::runtime_error(path + ": cannot write the WAV file");
}

}  // namespace qvx::flash
