#include "ui/win32/pictures.h"

#include <wincodec.h>

namespace orba::ui::win32 {

GdiObject<HBITMAP> LoadJpegResource(HINSTANCE instance, int resource) {
    const HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(resource), RT_RCDATA);
    const HGLOBAL loaded = found != nullptr ? ::LoadResource(instance, found) : nullptr;
    auto* bytes = static_cast<BYTE*>(loaded != nullptr ? ::LockResource(loaded) : nullptr);
    if (bytes == nullptr) {
        return {};
    }
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    UINT width = 0;
    UINT height = 0;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(factory.put()))) ||
        FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromMemory(bytes, ::SizeofResource(instance, found))) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad,
                                                decoder.put())) ||
        FAILED(decoder->GetFrame(0, frame.put())) ||
        FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR,
                                     WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(&width, &height))) {
        return {};
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap(
        ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap.get() == nullptr ||
        FAILED(converter->CopyPixels(nullptr, width * 4, width * height * 4,
                                     static_cast<BYTE*>(bits)))) {
        return {};
    }
    return bitmap;
}

void DrawStretched(HDC dc, const RECT& target, HBITMAP bitmap) {
    BITMAP size{};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof size, &size) == 0) {
        return;
    }
    const HDC source = ::CreateCompatibleDC(dc);
    const HGDIOBJ previous = ::SelectObject(source, bitmap);
    ::SetStretchBltMode(dc, HALFTONE);
    ::SetBrushOrgEx(dc, 0, 0, nullptr);
    ::StretchBlt(dc, target.left, target.top, target.right - target.left,
                 target.bottom - target.top, source, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
    ::SelectObject(source, previous);
    ::DeleteDC(source);
}

}  // namespace orba::ui::win32
