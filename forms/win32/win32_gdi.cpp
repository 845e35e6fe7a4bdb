// SPDX-License-Identifier: MIT
#include "forms/win32/win32_gdi.h"

#include <shlwapi.h>
#include <windowsx.h>

// GDI+ through its flat API: the C++ wrappers are header-only code that
// this file does not need.
#include <gdiplus.h>

#include <string_view>

#include "platform/win32/utf16.h"

namespace winforms {

using platform::widen;
namespace gdip = Gdiplus::DllExports;

namespace {

std::string_view resourceData(const wchar_t* name) {
    const HRSRC info = FindResourceW(nullptr, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (info == nullptr) {
        return {};
    }
    const HGLOBAL data = LoadResource(nullptr, info);
    return {static_cast<const char*>(LockResource(data)), SizeofResource(nullptr, info)};
}

BOOL CALLBACK addFont(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR /*param*/) {
    if (IS_INTRESOURCE(name) || std::wstring_view(name).substr(0, 5) != L"FONT_") {
        return TRUE;
    }
    const HRSRC info = FindResourceW(module, name, type);
    const HGLOBAL data = LoadResource(module, info);
    DWORD added = 0;
    AddFontMemResourceEx(LockResource(data), SizeofResource(module, info), nullptr, &added);
    return TRUE;
}

int CALLBACK noteFamily(const LOGFONTW* /*font*/, const TEXTMETRICW* /*metrics*/, DWORD /*type*/,
                        LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool familyInstalled(const std::string& family) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    widen(family).copy(query.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    const HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &query, noteFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

}  // namespace

void registerEmbeddedFonts() {
    EnumResourceNamesW(nullptr, MAKEINTRESOURCEW(10), addFont, 0);
}

PictureDecoder::PictureDecoder() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token_, &input, nullptr);
}

PictureDecoder::~PictureDecoder() {
    Gdiplus::GdiplusShutdown(token_);
}

COLORREF colourOf(forms::Color c) {
    const forms::Color v = forms::resolveColor(c);
    return RGB(forms::redOf(v), forms::greenOf(v), forms::blueOf(v));
}

// A picture as decoded from the drawing of the density in use.
struct Gdi::Picture {
    Gdiplus::GpImage* image = nullptr;
    UINT width = 0;
    UINT height = 0;

    Picture() = default;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    ~Picture() {
        if (image != nullptr) {
            gdip::GdipDisposeImage(image);
        }
    }
};

Gdi::Gdi() : families_(familyInstalled) {}

Gdi::~Gdi() {
    for (auto& [key, font] : fonts_) {
        DeleteObject(font);
    }
    for (auto& [colour, brush] : brushes_) {
        DeleteObject(brush);
    }
}

HFONT Gdi::font(const forms::Font& font, const forms::Scale& scale) {
    const int pixels = scale.fontPixels(font.size);
    const std::string key = font.name + "/" + std::to_string(pixels) + (font.bold ? "b" : "") +
                            (font.italic ? "i" : "");
    auto& slot = fonts_[key];
    if (slot == nullptr) {
        LOGFONTW lf{};
        lf.lfHeight = -pixels;
        lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = font.italic ? TRUE : FALSE;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = CLEARTYPE_QUALITY;
        widen(families_.drawn(font.name)).copy(lf.lfFaceName, LF_FACESIZE - 1);
        slot = CreateFontIndirectW(&lf);
    }
    return slot;
}

int Gdi::lineHeight(HFONT font) {
    const auto it = lineHeights_.find(font);
    if (it != lineHeights_.end()) {
        return it->second;
    }
    const HDC dc = GetDC(nullptr);
    const HFONT old = SelectFont(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectFont(dc, old);
    ReleaseDC(nullptr, dc);
    return lineHeights_.emplace(font, static_cast<int>(tm.tmHeight)).first->second;
}

void Gdi::keepOnly(const std::set<HFONT>& used) {
    for (auto it = fonts_.begin(); it != fonts_.end();) {
        if (used.count(it->second) == 0) {
            lineHeights_.erase(it->second);
            DeleteObject(it->second);
            it = fonts_.erase(it);
        } else {
            ++it;
        }
    }
}

HBRUSH Gdi::brush(COLORREF colour) {
    auto& slot = brushes_[colour];
    if (slot == nullptr) {
        slot = CreateSolidBrush(colour);
    }
    return slot;
}

void Gdi::useDensityOf(const forms::Scale& scale) {
    if (const int density = forms::pictureDensity(scale.pixelsPerTwip(), 1.0);
        density != density_) {
        density_ = density;
        pictures_.clear();
    }
}

Gdi::Picture* Gdi::picture(const std::string& name) {
    if (name.empty()) {
        return nullptr;
    }
    auto& slot = pictures_[name];
    if (!slot) {
        slot = std::make_unique<Picture>();
        const std::string file = forms::pictureAt(name, density_);
        // Each picture is the resource named as its file (names of
        // resources know no case).
        const std::string_view bytes = resourceData(widen(file).c_str());
        IStream* stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()),
                                            static_cast<UINT>(bytes.size()));
        if (stream != nullptr) {
            Gdiplus::GpBitmap* bitmap = nullptr;
            if (gdip::GdipCreateBitmapFromStream(stream, &bitmap) == Gdiplus::Ok) {
                slot->image = bitmap;
                gdip::GdipGetImageWidth(slot->image, &slot->width);
                gdip::GdipGetImageHeight(slot->image, &slot->height);
            }
            stream->Release();
        }
    }
    return slot->image != nullptr ? slot.get() : nullptr;
}

forms::PixelSize Gdi::pictureSize(const std::string& name, const forms::Scale& scale) {
    const Picture* p = picture(name);
    if (p == nullptr) {
        return {};
    }
    return forms::drawnPictureSize({static_cast<int>(p->width), static_cast<int>(p->height)},
                                   density_, scale.pixelsPerTwip(), 1.0);
}

// Drawn unscaled where the size matches, else smoothly resampled; the edges
// are mirrored for the filter, so no colour of the opposite edge bleeds in.
void Gdi::paintPicture(HDC dc, const std::string& name, const RECT& area,
                       const forms::Scale& scale) {
    Picture* p = picture(name);
    if (p == nullptr) {
        return;
    }
    const forms::PixelSize size = pictureSize(name, scale);
    const bool unscaled =
        size.width == static_cast<int>(p->width) && size.height == static_cast<int>(p->height);
    Gdiplus::GpGraphics* g = nullptr;
    if (gdip::GdipCreateFromHDC(dc, &g) != Gdiplus::Ok) {
        return;
    }
    Gdiplus::GpImageAttributes* edges = nullptr;
    gdip::GdipCreateImageAttributes(&edges);
    gdip::GdipSetImageAttributesWrapMode(edges, Gdiplus::WrapModeTileFlipXY, 0, FALSE);
    gdip::GdipSetInterpolationMode(g, unscaled ? Gdiplus::InterpolationModeNearestNeighbor
                                               : Gdiplus::InterpolationModeHighQualityBicubic);
    gdip::GdipSetPixelOffsetMode(g, Gdiplus::PixelOffsetModeHalf);
    gdip::GdipSetClipRectI(g, area.left, area.top, area.right - area.left, area.bottom - area.top,
                           Gdiplus::CombineModeReplace);
    gdip::GdipDrawImageRectRectI(g, p->image, area.left, area.top, size.width, size.height, 0, 0,
                                 static_cast<INT>(p->width), static_cast<INT>(p->height),
                                 Gdiplus::UnitPixel, edges, nullptr, nullptr);
    gdip::GdipDisposeImageAttributes(edges);
    gdip::GdipDeleteGraphics(g);
}

}  // namespace winforms
