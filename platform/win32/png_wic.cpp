// PNG decoding through the Windows Imaging Component.
#include <windows.h>
#include <wincodec.h>

#include "base/png_header.h"
#include "platform/png.h"

namespace pk::platform {

namespace {

template <typename T>
struct ComPtr {
  T* p = nullptr;
  ~ComPtr() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

}  // namespace

std::optional<RgbaPicture> DecodePng(std::span<const uint8_t> png) {
  // Refuse oversized pictures from the header before the decoder inflates anything.
  auto header = ReadPngHeader(png);
  if (!header || png.size() > 0xFFFFFFFFu) return std::nullopt;
  const uint32_t width = header->width, height = header->height;
  if (width > kMaxPngSide || height > kMaxPngSide) return std::nullopt;

  HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::optional<RgbaPicture> result;
  {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICBitmapSource> converted;
    UINT w = 0, h = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(png.data()), DWORD(png.size()))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) &&
        SUCCEEDED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.p, &converted)) &&
        SUCCEEDED(converted->GetSize(&w, &h)) && w == width && h == height) {
      RgbaPicture picture;
      picture.width = int(w);
      picture.height = int(h);
      picture.pixels.resize(size_t(w) * h);
      // BGRA bytes in memory are 0xAARRGGBB words on a little-endian machine.
      if (SUCCEEDED(converted->CopyPixels(nullptr, w * 4, UINT(picture.pixels.size() * 4),
                                          reinterpret_cast<BYTE*>(picture.pixels.data()))))
        result = std::move(picture);
    }
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return result;
}

}  // namespace pk::platform

namespace pk::platform {

std::optional<std::vector<uint8_t>> EncodePng(const RgbaPicture& picture) {
  if (!IsEncodablePicture(picture)) return std::nullopt;
  // COM is set up once on each thread that encodes, and stays until the
  // thread ends: a bulk extraction encodes thousands of pictures on a few
  // threads, and setting the apartment up and down around each one cost as
  // much as the encoding itself.
  thread_local const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  (void)init;
  std::optional<std::vector<uint8_t>> result;
  {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    const UINT w = UINT(picture.width), h = UINT(picture.height);
    // 0xAARRGGBB words are BGRA bytes in memory on a little-endian machine.
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    STATSTG stat = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&frame, &options)) && SUCCEEDED(frame->Initialize(options.p)) &&
        SUCCEEDED(frame->SetSize(w, h)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
        IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA) &&
        SUCCEEDED(frame->WritePixels(h, w * 4, UINT(picture.pixels.size() * 4),
                                     reinterpret_cast<BYTE*>(const_cast<uint32_t*>(picture.pixels.data())))) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit()) &&
        SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)) && stat.cbSize.QuadPart <= 0x7FFFFFFF) {
      std::vector<uint8_t> bytes(size_t(stat.cbSize.QuadPart));
      LARGE_INTEGER start = {};
      ULONG read = 0;
      if (SUCCEEDED(stream->Seek(start, STREAM_SEEK_SET, nullptr)) &&
          SUCCEEDED(stream->Read(bytes.data(), ULONG(bytes.size()), &read)) && read == bytes.size())
        result = std::move(bytes);
    }
  }
  return result;
}

}  // namespace pk::platform
