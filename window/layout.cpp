// SPDX-License-Identifier: MIT
#include "window/layout.h"

#include "window/texts.h"

#include <cmath>
#include <string>
#include <vector>

namespace window {

using forms::Alignment;
using forms::Color;
using forms::Control;
using forms::Font;
using forms::Kind;
using forms::Rect;
using forms::rgb;
using forms::systemColor;

namespace {

constexpr Color kTitleBar = systemColor(2);
constexpr Color kWorkspace = systemColor(12);
constexpr Color kHighlight = systemColor(13);
constexpr Color kYellow = rgb(255, 255, 0);
constexpr Color kNavy = rgb(0, 0, 128);
constexpr Color kTeal = rgb(0, 192, 192);
constexpr Color kRed = rgb(255, 0, 0);
constexpr Color kBlack = rgb(0, 0, 0);

Font font(const char* name, double points, bool bold = false, bool italic = false) {
    return Font{name, std::llround(points * 10000.0), bold, italic};
}

Font comic(double points, bool bold = false, bool italic = false) {
    return font("Comic Sans MS", points, bold, italic);
}

// The window's default font, which labels without a font of their own use.
Font defaultFont() {
    return font("MS Sans Serif", 8.25);
}

Control& stars(forms::Form& f, Control* container, int index, Rect r, int tab) {
    Control& p = f.add(Kind::PictureBox, "Picture2", index, container, r);
    p.picture = kStarsPicture;
    p.setBackColor(kTitleBar);
    p.tabIndex = tab;
    return p;
}

Control& label(forms::Form& f, const char* name, Control* container, Rect r, int tab) {
    Control& l = f.add(Kind::Label, name, -1, container, r);
    l.tabIndex = tab;
    l.setFont(defaultFont());
    return l;
}

}  // namespace

forms::Point cellPosition(int index) {
    const int row = index / 10;
    const int column = index % 10;
    const int left = 210 + 900 * column + (column >= 5 ? 990 : 0);
    const int top = 480 + 900 * row + 180 * (row / 3);
    return {left, top};
}

std::array<int, kCells> cellTabIndices() {
    // The order in which Tab walks the cells, by Index.
    std::vector<int> order{19, 9, 20};
    for (int i = 18; i >= 10; --i) {
        order.push_back(i);
    }
    for (int i = 8; i >= 0; --i) {
        order.push_back(i);
    }
    for (int row = 8; row >= 2; --row) {
        const int lowest = row == 2 ? 1 : 0;  // cell 20 was taken at the start
        for (int column = 8; column >= lowest; --column) {
            order.push_back(row * 10 + column);
        }
    }
    for (int row = 8; row >= 2; --row) {
        order.push_back(row * 10 + 9);
    }
    std::array<int, kCells> tab{};
    for (std::size_t k = 0; k < order.size(); ++k) {
        tab.at(static_cast<std::size_t>(order[k])) = 12 + static_cast<int>(k);
    }
    return tab;
}

std::unique_ptr<forms::Form> makeTabellone() {
    auto form = std::make_unique<forms::Form>("tabellone", kTitle, 12975, 10170);
    forms::Form& f = *form;
    f.backColor = kTitleBar;
    f.picture = kWindowPicture;

    // The window's own controls, the top of the stack first.
    stars(f, nullptr, 6, {10260, 90, 2745, 2505}, 9);

    Control& numeri = f.add(Kind::Frame, "numeri", -1, nullptr, {0, 750, 10695, 9405});
    numeri.setBackColor(kTitleBar);
    numeri.setForeColor(kHighlight);
    numeri.setFont(defaultFont());
    numeri.tabIndex = 11;

    Control& estrai = f.add(Kind::CommandButton, "estrai", -1, nullptr, {10830, 3270, 1335, 585});
    estrai.setCaption("Estrai");
    estrai.setFont(comic(12));
    // A standard push button draws neither its picture nor its back colour
    // (nor a mask colour, which the model leaves out); both stay with it.
    estrai.picture = kStripePicture;
    estrai.setBackColor(kWorkspace);
    estrai.tabIndex = 8;

    Control& frame1 = f.add(Kind::Frame, "Frame1", -1, nullptr, {10830, 3930, 1335, 4245});
    frame1.setBackColor(kHighlight);
    frame1.setForeColor(systemColor(18));
    frame1.setFont(defaultFont());
    frame1.tabIndex = 3;

    Control& nuova = f.add(Kind::CommandButton, "nuova", -1, nullptr, {10830, 8340, 1335, 1275});
    nuova.setCaption("Nuova");
    nuova.setFont(comic(12));
    nuova.picture = kDovePicture;
    nuova.style = forms::kGraphicalStyle;
    nuova.setBackColor(systemColor(15));
    nuova.tabIndex = 1;

    stars(f, nullptr, 4, {0, 870, 2385, 2535}, 10);

    Control& estratto = label(f, "estratto", nullptr, {2460, 1830, 6945, 6465}, 2);
    estratto.setBackColor(kRed);
    estratto.setForeColor(kNavy);
    estratto.setFont(comic(230.25, true, true));
    estratto.setToolTipText("Doppio Click per chiudere!");

    Control& label1 = label(f, "Label1", nullptr, {0, -30, 8415, 1125}, 0);
    label1.setCaption("Numeri Estratti della Sorvina");
    label1.setBackColor(kTitleBar);
    label1.setForeColor(kYellow);
    label1.setFont(comic(27.75, true));
    label1.alignment = Alignment::Center;

    // Inside numeri: the cells above the stars, Label4 at the bottom.
    const auto tabs = cellTabIndices();
    for (int i = 0; i < kCells; ++i) {
        const forms::Point at = cellPosition(i);
        Control& cell = f.add(Kind::TextBox, "num", i, &numeri, {at.x, at.y, 820, 820});
        cell.setText(std::to_string(i + 1));
        cell.setBackColor(kTeal);
        cell.setForeColor(kBlack);
        cell.setFont(comic(21.75));
        cell.alignment = Alignment::Center;
        cell.tabIndex = tabs.at(static_cast<std::size_t>(i));
    }
    stars(f, &numeri, 0, {4590, -990, 2715, 2505}, 103);
    stars(f, &numeri, 3, {-210, -990, 2715, 2505}, 102);
    stars(f, &numeri, 1, {2940, 1860, 2715, 2505}, 106);
    stars(f, &numeri, 5, {3420, 6390, 2715, 2505}, 104);
    stars(f, &numeri, 2, {8250, 5250, 2715, 2505}, 105);
    stars(f, &numeri, 7, {-60, 7200, 2715, 2505}, 107);
    Control& label4 = label(f, "Label4", &numeri, {8490, 8940, 1755, 285}, 108);
    label4.setCaption(programTitle());
    label4.setBackColor(kTitleBar);
    label4.setForeColor(kYellow);

    // Inside Frame1: the recent-calls strip, oldest slot on top of the stack.
    for (int k = kSlots - 1; k >= 0; --k) {
        Control& slot = f.add(Kind::TextBox, "last", k, &frame1, {300, 1200 + 960 * k, 800, 800});
        slot.setBackColor(kNavy);
        slot.setForeColor(kYellow);
        slot.setFont(comic(24));
        slot.alignment = Alignment::Center;
        slot.setToolTipText("Doppi click per annullare il numero");
        slot.tabIndex = k == 2 ? 7 : 4 + k;
    }
    Control& label2 = label(f, "Label2", &frame1, {120, 240, 1155, 885}, 6);
    label2.setCaption("Ultimi Numeri Chiamati");
    label2.setBackColor(kHighlight);
    label2.setForeColor(kYellow);
    label2.setFont(font("Arial", 12, true));
    label2.alignment = Alignment::Center;

    return form;
}

}  // namespace window
