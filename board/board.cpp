#include "board/board.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace board {

int candidateFor(float r) {
    // The product is exact in double precision, so every number gets exactly
    // the values of r in [(n - 1) / 90, n / 90); the clamp keeps the cell in
    // range whatever the generator gives.
    const int candidate = static_cast<int>(90.0 * static_cast<double>(r)) + 1;
    return std::clamp(candidate, 1, window::kCells);
}

int slotNumber(const std::string& text) {
    int n = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return 0;
    }
    const auto [end, error] = std::from_chars(first, last, n);
    if (error != std::errc{} || end != last || n < 1 || n > window::kCells) {
        return 0;
    }
    return n;
}

namespace {

// A text read as a number: its leading decimal digits, 0 when there are none.
int leadingNumber(const std::string& text) {
    int n = 0;
    std::from_chars(text.data(), text.data() + text.size(), n);
    return n;
}

}  // namespace

Board::Board(forms::Form& tabellone, roundlog::RoundLog& log, forms::Question& question,
             forms::Random& random)
    : form_(tabellone),
      log_(log),
      question_(question),
      random_(random),
      numeri_(tabellone.control("numeri")),
      estratto_(tabellone.control("estratto")),
      estrai_(tabellone.control("estrai")),
      nuova_(tabellone.control("nuova")) {
    for (int i = 0; i < window::kCells; ++i) {
        num_.at(static_cast<std::size_t>(i)) = &form_.control("num", i);
        cell(i).onDblClick = [this](int index) { call(index); };
    }
    for (int k = 0; k < window::kSlots; ++k) {
        last_.at(static_cast<std::size_t>(k)) = &form_.control("last", k);
        slot(k).onDblClick = [this](int index) { cancel(index); };
    }
    estratto_.onDblClick = [this](int) { closeDisplay(); };
    estrai_.onClick = [this](int) { draw(); };
    nuova_.onClick = [this](int) { newRound(); };
    form_.onLoad = [this] { load(); };
    form_.onActivate = [this] { activate(); };
    form_.onUnload = [this] { unload(); };
    form_.onEnter = [this](forms::Control* focused) { enter(focused); };
    form_.describe = [this](const forms::Control& c) { return describe(c); };
}

forms::Accessible Board::describe(const forms::Control& c) const {
    static constexpr std::array<const char*, window::kSlots> kSlotNames{
        "Ultimo numero chiamato", "Penultimo numero chiamato", "Terzultimo numero chiamato"};
    if (c.name() == "num") {
        return {c.text(), c.tag() == kCalledTag ? "chiamato" : ""};
    }
    if (c.name() == "last") {
        const std::string number = c.text().empty() ? "nessuno" : c.text();
        std::string name = kSlotNames.at(static_cast<std::size_t>(c.index()));
        name += ": ";
        name += number;
        return {name, c.toolTipText()};
    }
    if (&c == &estratto_) {
        // Read out on every call: the number as a cell names it ("7", not
        // the "07" shown), and no hint to repeat each time.
        const int n = leadingNumber(c.text());
        return {"Numero chiamato: " + (n > 0 ? std::to_string(n) : std::string("nessuno")), ""};
    }
    return {c.text(), c.toolTipText()};
}

void Board::load() {
    defaultsize_ = cell(0).font().size;
    defaultBack_ = cell(0).backColor();
    numeri_.setEnabled(false);
    estratto_.setEnabled(false);
    log_.open();
    for (forms::Control* c : num_) {
        c->setEnabled(false);
        c->setTag("");
    }
}

void Board::activate() {
    // The focus goes to estrai while it can still take it.
    form_.setFocus(&estrai_);
    estrai_.setEnabled(false);
}

void Board::unload() {
    log_.close();
}

void Board::call(int index) {
    forms::Control& c = cell(index);
    if (c.backColor() == kCalledBack) {
        return;
    }
    const std::string& text = c.text();
    estratto_.setCaption(leadingNumber(text) < 10 ? "0" + text : text);
    numeri_.setVisible(false);

    c.setBackColor(kCalledBack);
    c.setForeColor(kCalledFore);
    c.setFontBold(true);
    c.setFontSize(c.fontSize() + kCalledGrowth);

    log_.appendCall(c.text());

    slot(2).setText(slot(1).text());
    slot(1).setText(slot(0).text());
    slot(0).setText(c.text());

    c.setTag(kCalledTag);

    const bool anyFree = std::any_of(num_.begin(), num_.end(),
                                     [](const forms::Control* n) { return n->tag().empty(); });
    estrai_.setEnabled(anyFree);
}

void Board::closeDisplay() {
    numeri_.setVisible(true);
    estrai_.setEnabled(true);
    form_.setFocus(nullptr);
}

void Board::enter(forms::Control* focused) {
    if (focused == nullptr) {
        if (!numeri_.visible() && estratto_.enabled()) {
            closeDisplay();
        }
        return;
    }
    if (focused->name() == "num") {
        call(focused->index());
    } else if (focused->name() == "last") {
        cancel(focused->index());
    }
}

void Board::draw() {
    random_.reseed();
    const bool anyFree = std::any_of(num_.begin(), num_.end(),
                                     [](const forms::Control* n) { return n->tag().empty(); });
    if (anyFree) {
        // Values that fall on a called number are passed over, so every free
        // number is equally likely.
        int candidate = 0;
        do {
            candidate = candidateFor(random_.next());
        } while (cell(candidate - 1).tag() == kCalledTag);
        call(candidate - 1);
    }
    estrai_.setEnabled(false);
}

void Board::cancel(int index) {
    const int n = slotNumber(slot(index).text());
    if (n == 0) {
        return;
    }
    forms::Control& c = cell(n - 1);
    c.setFontSize4(defaultsize_);
    c.setBackColor(defaultBack_);
    c.setForeColor(kFreeFore);
    c.setFontBold(false);
    c.setTag("");
    slot(index).setText("");
}

void Board::newRound() {
    if (question_.ask(kNewRoundPrompt, kNewRoundTitle) != forms::Question::Answer::Yes) {
        return;
    }
    for (forms::Control* s : last_) {
        s->setText("");
    }
    for (forms::Control* c : num_) {
        c->setEnabled(true);
        c->setTag("");
        c->setBackColor(kFreeBack);
        c->setForeColor(kFreeFore);
        c->setFontBold(false);
        const float size = c->fontSize();
        if (size >= 22.0F) {
            c->setFontSize(size - kCalledGrowth);
        }
    }
    numeri_.setEnabled(true);
    estrai_.setEnabled(true);
    estratto_.setEnabled(true);
    log_.appendHeader();
}

}  // namespace board
