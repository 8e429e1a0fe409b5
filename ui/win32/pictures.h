#pragma once

#include <windows.h>

#include "ui/win32/win32_support.h"

namespace orba::ui::win32 {

// Resource numbers of the pictures compiled into the program.
inline constexpr int kIconResource = 1;
inline constexpr int kLogoResource = 201;
inline constexpr int kQrCodeResource = 202;

// Decodes a JPEG stored as an RCDATA resource into a 32-bit bitmap; an empty object when the
// resource is missing or cannot be decoded. Needs COM initialised.
GdiObject<HBITMAP> LoadJpegResource(HINSTANCE instance, int resource);

// Draws `bitmap` stretched over `target` in smooth halftone.
void DrawStretched(HDC dc, const RECT& target, HBITMAP bitmap);

}  // namespace orba::ui::win32
