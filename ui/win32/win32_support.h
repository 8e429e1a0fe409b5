#pragma once

// Small pieces of the Windows front end: owned GDI and COM objects, text conversion, scaling.

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

#include "storage/windows_paths.h"

namespace orba::ui::win32 {

using platform::Utf8FromWide;
using platform::WideFromUtf8;

// `text` (UTF-8, CR LF line breaks) as one rich-text document in 9-point `font`, Chinese: every
// character beyond ASCII as a Unicode escape, every line break a paragraph's end. The progress
// log box is given its first text so.
std::string RichTextOf(std::string_view text, std::string_view font);

// A GDI object (font, brush, bitmap) deleted when it leaves scope.
template <typename T>
class GdiObject {
  public:
    GdiObject() = default;
    explicit GdiObject(T object) : object_(object) {}
    GdiObject(GdiObject&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() {
        if (object_ != nullptr) {
            ::DeleteObject(object_);
        }
    }
    T get() const { return object_; }

  private:
    T object_ = nullptr;
};

// A COM interface pointer released when it leaves scope.
template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (pointer_ != nullptr) {
            pointer_->Release();
        }
    }
    T* operator->() const { return pointer_; }
    T* get() const { return pointer_; }
    T** put() { return &pointer_; }

  private:
    T* pointer_ = nullptr;
};

// The window's text as UTF-8.
std::string WindowText(HWND window);

}  // namespace orba::ui::win32
