// SPDX-License-Identifier: MIT
// layout_json FILE: writes the board window, as makeTabellone builds it, to
// FILE as JSON, for the end-to-end tests to click and read the screen by:
// the title and the client area's size, then every control with its name,
// index, rectangle in twips in the client area (left, top, width, height)
// and back and fore colours as the screen shows them (red, green, blue).
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "forms/color.h"
#include "window/layout.h"

namespace {

std::string quoted(const std::string& text) {
    static constexpr std::string_view kHex = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        if (byte < 0x20U) {
            out += std::string("\\u00") + kHex[byte >> 4U] + kHex[byte & 0xFU];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string rgb(forms::Color color) {
    const forms::Color c = forms::resolveColor(color);
    return "[" + std::to_string(c & 0xFFU) + ", " + std::to_string(c >> 8U & 0xFFU) + ", " +
           std::to_string(c >> 16U & 0xFFU) + "]";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: layout_json FILE\n";
        return 2;
    }
    const auto form = window::makeTabellone();
    std::ofstream out(argv[1], std::ios::binary);
    out << "{\"title\": " << quoted(form->caption()) << ", \"width\": " << form->clientWidth()
        << ", \"height\": " << form->clientHeight() << ",\n \"controls\": [";
    const char* separator = "\n";
    for (const forms::Control* c : form->controls()) {
        const forms::Rect r = form->windowRect(*c);
        out << separator << "  {\"name\": " << quoted(c->name()) << ", \"index\": " << c->index()
            << ", \"rect\": [" << r.left << ", " << r.top << ", " << r.width << ", " << r.height
            << "], \"back\": " << rgb(c->backColor()) << ", \"fore\": " << rgb(c->foreColor())
            << "}";
        separator = ",\n";
    }
    out << "\n]}\n";
    out.close();
    if (!out) {
        std::cerr << "layout_json: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
