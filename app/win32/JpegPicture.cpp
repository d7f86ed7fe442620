#include "app/win32/JpegPicture.h"

#include <wincodec.h>

#include "app/win32/Dpi.h"

#include <cwctype>
#include <utility>

namespace win32 {
namespace {

// Releases a COM interface with its owner.
template <typename Interface>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  Interface** Out() { return &pointer_; }
  Interface* operator->() const { return pointer_; }
  Interface* Get() const { return pointer_; }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace

GdiObject<HBITMAP> DecodeJpeg(const void* data, std::size_t size, int dpi) {
  ComRef<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory.Out())))) {
    return {};
  }
  ComRef<IWICStream> stream;
  if (FAILED(factory->CreateStream(stream.Out())) ||
      FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)),
                                          static_cast<DWORD>(size)))) {
    return {};
  }
  ComRef<IWICBitmapDecoder> decoder;
  ComRef<IWICBitmapFrameDecode> frame;
  ComRef<IWICBitmapSource> converted;
  if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              decoder.Out())) ||
      FAILED(decoder->GetFrame(0, frame.Out())) ||
      FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, frame.Get(), converted.Out()))) {
    return {};
  }
  UINT width = 0;
  UINT height = 0;
  if (FAILED(converted->GetSize(&width, &height)) || width == 0 || height == 0) return {};
  IWICBitmapSource* pixels = converted.Get();
  ComRef<IWICBitmapScaler> scaler;
  if (dpi != kFormDpi) {
    const auto scaledWidth = static_cast<UINT>(ScaleToDpi(static_cast<int>(width), dpi));
    const auto scaledHeight = static_cast<UINT>(ScaleToDpi(static_cast<int>(height), dpi));
    if (scaledWidth == 0 || scaledHeight == 0 ||
        FAILED(factory->CreateBitmapScaler(scaler.Out())) ||
        FAILED(scaler->Initialize(converted.Get(), scaledWidth, scaledHeight,
                                  WICBitmapInterpolationModeFant))) {
      return {};
    }
    pixels = scaler.Get();
    width = scaledWidth;
    height = scaledHeight;
  }

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = static_cast<LONG>(width);
  info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top row first, as WIC copies
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  GdiObject<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) return {};
  const UINT stride = width * 4;
  if (FAILED(pixels->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)))) {
    return {};
  }
  // No alpha: a static control of Common Controls 6 copies a bitmap that
  // has any, and the copy would be nobody's to delete.
  auto* bytes = static_cast<BYTE*>(bits);
  for (std::size_t i = 3; i < static_cast<std::size_t>(stride) * height; i += 4) bytes[i] = 0;
  return bitmap;
}

std::wstring ResourceNameOf(std::string_view image) {
  std::wstring name;
  for (const char c : image) {
    const auto wide = static_cast<wchar_t>(static_cast<unsigned char>(c));
    name += std::iswalnum(wide) ? static_cast<wchar_t>(std::towupper(wide)) : L'_';
  }
  return name;
}

GdiObject<HBITMAP> LoadJpegResource(std::string_view image, int dpi) {
  HMODULE module = GetModuleHandleW(nullptr);
  const std::wstring name = ResourceNameOf(image);
  HRSRC resource = FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (resource == nullptr) return {};
  HGLOBAL loaded = LoadResource(module, resource);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) return {};
  return DecodeJpeg(data, SizeofResource(module, resource), dpi);
}

}  // namespace win32
