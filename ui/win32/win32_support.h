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

// The progress log box's content when the window is created: one rich-text document in code page
// 936 that reads a space, "准备就绪..." and a paragraph break, in 9-point 宋体.
inline constexpr std::string_view kInitialProgressRtf =
    "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 "
    "\\'cb\\'ce\\'cc\\'e5;}}\r\n\\viewkind4\\uc1\\pard\\lang2052\\f0\\fs18  "
    "\\'d7\\'bc\\'b1\\'b8\\'be\\'cd\\'d0\\'f7...\r\n\\par }\r\n";

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
