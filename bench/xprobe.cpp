// SPDX-License-Identifier: MIT
// tabellone_xprobe: drives and watches the board from outside, on a real X
// display, the way a person would: synthetic mouse and keyboard input
// through XTest, and what is on screen read back from the X server's frame
// buffer (XGetImage of the root window). Of the board's code it uses only
// the layout, for where the cells and buttons are and what colours they show.
//
//   startup [--name TITLE] [--settle-ms N] [--timeout-ms N] -- PROGRAM [ARGS...]
//       Starts PROGRAM and times process start to the first frame that shows
//       two teal cells (first and last of the grid), noting the CPU time it
//       had by then; after the settle time, reads VmHWM. Prints
//       "startup_ms X vmhwm_kb Y cpu_ms Z" and ends it. The cells are looked
//       for in the window titled TITLE, wherever a window manager put it, or
//       else at the screen's top-left corner.
//   complete [--name TITLE] [--settle-ms N] [--timeout-ms N] [--output FILE]
//            -- PROGRAM [ARGS...]
//       As startup, but to the complete window: the whole client area is read
//       back frame after frame, and the window is complete at the first
//       frame after which nothing in it changed for the settle time (1000 ms
//       by default) once the teal cells show. Prints "complete_ms X cpu_ms Y
//       first_ms Z frames N": Z is the first frame with the teal cells, N the
//       frames that differed on the way (each told on standard error with
//       --verbose 1). The program's standard output is appended to FILE.
//   latency --calls N --draws N [--seed S]
//       On a running board: N calls by double-click on free cells, then N
//       draws with Estrai, each timed from the input to the big number on
//       screen, and the big number closed after each, timed from its
//       double-click to every cell shown again. Starts a round first and a
//       new one whenever all 90 are out.
//   swaps --name TITLE --times N [--seed S]
//       The same on the running baseline window of that title: N
//       double-clicks on a cell to the big number, each closed again.
//   rounds --rounds N --calls N [--seed S]
//       On a running board: N new rounds, each followed by N calls by
//       double-click. Times each round from Sì to every cell shown free
//       (even rounds) or to the big number of a call made as soon as the
//       question closed (odd rounds), and the first call of each round
//       against the later ones.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "board/board.h"
#include "forms/color.h"
#include "forms/geometry.h"
#include "window/layout.h"
#include "window/texts.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    bool operator==(const Rgb&) const = default;
};

struct Pt {
    int x = 0;
    int y = 0;
};

// What the probe needs to know of the window, in pixels of its client area
// at 15 twips a pixel: taken from the layout the board is built from, so
// that it clicks and looks where the board draws.
struct Layout {
    std::string title;
    std::array<forms::PixelRect, window::kCells> cells{};
    forms::PixelRect estrai;
    forms::PixelRect nuova;
    forms::PixelRect estratto;
    forms::PixelRect client;
    Rgb free;    // a free cell's background
    Rgb called;  // a called cell's
    Rgb big;     // the big number's
};

Rgb rgbOf(forms::Color c) {
    c = forms::resolveColor(c);
    return {static_cast<int>(forms::redOf(c)), static_cast<int>(forms::greenOf(c)),
            static_cast<int>(forms::blueOf(c))};
}

const Layout& layout() {
    static const Layout l = [] {
        const auto form = window::makeTabellone();
        const forms::Scale scale;  // 96 dpi, origin at the client area's corner
        auto rect = [&](const char* name, int index = -1) {
            return forms::pixelRect(*form, form->control(name, index), scale);
        };
        Layout l;
        l.title = form->caption();
        for (int i = 0; i < window::kCells; ++i) {
            l.cells.at(static_cast<std::size_t>(i)) = rect("num", i);
        }
        l.estrai = rect("estrai");
        l.nuova = rect("nuova");
        l.estratto = rect("estratto");
        l.client = scale.rect({0, 0, form->clientWidth(), form->clientHeight()});
        l.free = rgbOf(form->control("num", 0).backColor());
        l.called = rgbOf(board::kCalledBack);
        l.big = rgbOf(form->control("estratto").backColor());
        return l;
    }();
    return l;
}

Pt centre(const forms::PixelRect& r) {
    return {r.left + r.width / 2, r.top + r.height / 2};
}
Pt cellCentre(int i) {
    return centre(layout().cells.at(static_cast<std::size_t>(i)));
}
// A pixel of the cell's background, clear of its border and its number.
Pt cellSample(int i) {
    const auto& r = layout().cells.at(static_cast<std::size_t>(i));
    return {r.left + 6, r.top + 6};
}
// Low in the big number's middle, below its digits.
Pt bigSample() {
    const auto& r = layout().estratto;
    return {centre(r).x, r.top + r.height - 33};
}
// As low, in the gap between the two halves of the grid: never on a cell
// once the big number is gone.
Pt bigClose() {
    const auto& l = layout();
    return {(l.cells[4].left + l.cells[4].width + l.cells[5].left) / 2, bigSample().y};
}

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void sleepMs(double ms) {
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(ms * 1000)));
}

int ignoreXErrors(Display* /*d*/, XErrorEvent* /*e*/) {
    return 0;  // windows come and go while we look at them
}

class BoardGone : public std::runtime_error {
  public:
    BoardGone() : std::runtime_error("the board window is gone") {}
};

class X {
  public:
    X() {
        dpy_ = XOpenDisplay(nullptr);
        if (dpy_ == nullptr) {
            throw std::runtime_error("cannot open the X display");
        }
        XSetErrorHandler(ignoreXErrors);
        root_ = DefaultRootWindow(dpy_);
        int ev = 0;
        int err = 0;
        int major = 0;
        int minor = 0;
        if (!XTestQueryExtension(dpy_, &ev, &err, &major, &minor)) {
            throw std::runtime_error("the X server has no XTEST extension");
        }
    }
    ~X() { XCloseDisplay(dpy_); }
    X(const X&) = delete;
    X& operator=(const X&) = delete;

    Display* dpy() const { return dpy_; }
    Window root() const { return root_; }

    // The topmost mapped window with that title (looking one level into
    // window manager frames), or 0.
    Window find(const std::string& title) const {
        Window result = 0;
        walk(root_, 2, [&](Window w) {
            char* name = nullptr;
            if (result == 0 && XFetchName(dpy_, w, &name) != 0 && name != nullptr) {
                if (title == name && viewable(w)) {
                    result = w;
                }
                XFree(name);
            }
        });
        return result;
    }

    // Whether the keyboard focus is on w or inside it.
    bool hasFocus(Window w) const {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(dpy_, &focus, &revert);
        while (focus != 0 && focus != PointerRoot && focus != root_) {
            if (focus == w) {
                return true;
            }
            Window rootReturn = 0;
            Window parent = 0;
            Window* children = nullptr;
            unsigned count = 0;
            if (XQueryTree(dpy_, focus, &rootReturn, &parent, &children, &count) == 0) {
                return false;
            }
            if (children != nullptr) {
                XFree(children);
            }
            focus = parent;
        }
        return false;
    }

    bool viewable(Window w) const {
        XWindowAttributes a{};
        return XGetWindowAttributes(dpy_, w, &a) != 0 && a.map_state == IsViewable;
    }

    struct Geometry {
        int x = 0;
        int y = 0;
        unsigned width = 0;
        unsigned height = 0;
    };
    Geometry geometry(Window w) const {
        XWindowAttributes a{};
        XGetWindowAttributes(dpy_, w, &a);
        int x = 0;
        int y = 0;
        Window child = 0;
        XTranslateCoordinates(dpy_, w, root_, 0, 0, &x, &y, &child);
        return {x, y, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height)};
    }

    Rgb pixel(int x, int y) const {
        XImage* img = XGetImage(dpy_, root_, x, y, 1, 1, AllPlanes, ZPixmap);
        if (img == nullptr) {
            return {-1, -1, -1};
        }
        const Rgb c = toRgb(img, XGetPixel(img, 0, 0));
        XDestroyImage(img);
        return c;
    }

    // A snapshot of a rectangle of the screen.
    class Snapshot {
      public:
        Snapshot(XImage* img, int x, int y) : img_(img), x_(x), y_(y) {}
        ~Snapshot() {
            if (img_ != nullptr) {
                XDestroyImage(img_);
            }
        }
        Snapshot(const Snapshot&) = delete;
        Snapshot& operator=(const Snapshot&) = delete;
        bool valid() const { return img_ != nullptr; }
        Rgb at(int x, int y) const { return toRgb(img_, XGetPixel(img_, x - x_, y - y_)); }

      private:
        XImage* img_;
        int x_;
        int y_;
    };
    std::unique_ptr<Snapshot> grab(int x, int y, unsigned w, unsigned h) const {
        return std::make_unique<Snapshot>(XGetImage(dpy_, root_, x, y, w, h, AllPlanes, ZPixmap), x,
                                          y);
    }

    void moveTo(int x, int y) const {
        XTestFakeMotionEvent(dpy_, -1, x, y, CurrentTime);
        XFlush(dpy_);
    }
    void button(bool down) const {
        XTestFakeButtonEvent(dpy_, 1, down ? True : False, CurrentTime);
        XFlush(dpy_);
    }
    void key(KeySym sym, bool down) const {
        const KeyCode code = XKeysymToKeycode(dpy_, sym);
        XTestFakeKeyEvent(dpy_, code, down ? True : False, CurrentTime);
        XFlush(dpy_);
    }
    void tap(KeySym sym) const {
        key(sym, true);
        key(sym, false);
    }

  private:
    static Rgb toRgb(XImage* img, unsigned long p) {
        auto channel = [p](unsigned long mask) {
            if (mask == 0) {
                return 0;
            }
            int shift = 0;
            while (((mask >> shift) & 1UL) == 0) {
                ++shift;
            }
            return static_cast<int>((p & mask) >> shift);
        };
        return {channel(img->red_mask), channel(img->green_mask), channel(img->blue_mask)};
    }

    void walk(Window w, int depth, const std::function<void(Window)>& visit) const {
        Window rootReturn = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(dpy_, w, &rootReturn, &parent, &children, &count) == 0) {
            return;
        }
        // Topmost first.
        for (unsigned i = count; i-- > 0;) {
            visit(children[i]);
            if (depth > 1) {
                walk(children[i], depth - 1, visit);
            }
        }
        if (children != nullptr) {
            XFree(children);
        }
    }

    Display* dpy_ = nullptr;
    Window root_ = 0;
};

// Polls until the predicate holds; false on timeout. Every 50 ms it also
// runs the liveness check, which may throw.
bool waitUntil(const std::function<bool()>& done, double timeoutMs,
               const std::function<void()>& alive = {}) {
    const auto t0 = Clock::now();
    auto lastCheck = t0;
    for (;;) {
        if (done()) {
            return true;
        }
        if (msSince(t0) > timeoutMs) {
            return false;
        }
        if (alive && msSince(lastCheck) > 50) {
            alive();
            lastCheck = Clock::now();
        }
        // Short enough to time a frame to a fraction of a millisecond, long
        // enough to leave the two cores to the board and the X server.
        sleepMs(0.2);
    }
}

// The board window seen from outside.
class Board {
  public:
    // The board, or another window titled so with its cells where the
    // board has them (the baseline).
    Board(X& x, double timeoutMs, const std::string& title = layout().title)
        : x_(x), timeoutMs_(timeoutMs) {
        if (!waitUntil([&] { return (win_ = x_.find(title)) != 0; }, timeoutMs_)) {
            throw BoardGone();
        }
        const auto g = x_.geometry(win_);
        ox_ = g.x;
        oy_ = g.y;
        // Painted: the first and the last cell show.
        if (!waitUntil(
                [&] {
                    return pixel(cellSample(0)) != Rgb{0, 0, 0};
                },
                timeoutMs_, [&] { checkAlive(); })) {
            throw std::runtime_error("the board never painted");
        }
    }

    void checkAlive() const {
        if (!x_.viewable(win_)) {
            throw BoardGone();
        }
    }

    Rgb pixel(Pt p) const { return x_.pixel(ox_ + p.x, oy_ + p.y); }
    bool bigShown() const { return pixel(bigSample()) == layout().big; }

    void moveTo(Pt p) const { x_.moveTo(ox_ + p.x, oy_ + p.y); }

    // Clicks at p; returns the time of the press.
    Clock::time_point click(Pt p) const {
        moveTo(p);
        const auto t0 = Clock::now();
        x_.button(true);
        x_.button(false);
        return t0;
    }

    // Double-clicks at p; returns the time of the second press, when the
    // double-click is complete.
    Clock::time_point doubleClick(Pt p) const {
        moveTo(p);
        x_.button(true);
        x_.button(false);
        sleepMs(15);
        const auto t0 = Clock::now();
        x_.button(true);
        x_.button(false);
        return t0;
    }

    // Waits for the big number; returns the milliseconds since t0.
    double waitBig(Clock::time_point t0) const {
        double at = 0;
        if (!waitUntil(
                [&] {
                    if (!bigShown()) {
                        return false;
                    }
                    at = msSince(t0);
                    return true;
                },
                timeoutMs_, [&] { checkAlive(); })) {
            checkAlive();
            throw std::runtime_error("the big number never showed");
        }
        return at;
    }

    // Double-clicks the big number; returns the milliseconds from the
    // double-click to every cell shown again, free or called, so that the
    // next input meets a board that has finished drawing.
    double closeBig() const {
        const auto t0 = doubleClick(bigClose());
        if (!waitUntil([&] { return !bigShown() && everyCellShown(); }, timeoutMs_,
                       [&] { checkAlive(); })) {
            checkAlive();
            throw std::runtime_error("the big number never closed");
        }
        return msSince(t0);
    }

    // Whether every cell shows, free or called.
    bool everyCellShown() const {
        const auto shot = grabClient();
        for (int i = 0; i < window::kCells; ++i) {
            const Pt p = cellSample(i);
            const Rgb c = shot->at(ox_ + p.x, oy_ + p.y);
            if (c != layout().free && c != layout().called) {
                return false;
            }
        }
        return true;
    }

    // The cells shown as called (yellow) right now.
    std::array<bool, window::kCells> calledCells() const {
        std::array<bool, window::kCells> called{};
        const auto shot = grabClient();
        for (int i = 0; i < window::kCells; ++i) {
            const Pt p = cellSample(i);
            called.at(static_cast<std::size_t>(i)) =
                shot->at(ox_ + p.x, oy_ + p.y) == layout().called;
        }
        return called;
    }

    // The cells shown as called once at least n show so. Under Wine the
    // board is repainted a control at a time after the big number closes,
    // so a called cell may still show free for a moment.
    std::array<bool, window::kCells> calledCells(std::size_t n) const {
        std::array<bool, window::kCells> called{};
        if (!waitUntil(
                [&] {
                    called = calledCells();
                    return static_cast<std::size_t>(
                               std::count(called.begin(), called.end(), true)) >= n;
                },
                timeoutMs_, [&] { checkAlive(); })) {
            throw std::runtime_error("the called cells never showed");
        }
        return called;
    }

    // Nuova; returns once the question has the keyboard focus.
    void askNewRound() const {
        click(centre(layout().nuova));
        Window question = 0;
        if (!waitUntil([&] { return (question = x_.find(window::kNewRoundTitle)) != 0; },
                       timeoutMs_, [&] { checkAlive(); })) {
            checkAlive();
            throw std::runtime_error("the new round question never showed");
        }
        // Return goes where the keyboard focus is: wait for the question to have it.
        if (!waitUntil([&] { return x_.hasFocus(question); }, timeoutMs_, [&] { checkAlive(); })) {
            throw std::runtime_error("the new round question never took the keyboard focus");
        }
    }

    // Sì, the question's default button, by Return; returns the time of the press.
    Clock::time_point answerYes() const {
        const auto t0 = Clock::now();
        x_.tap(XK_Return);
        return t0;
    }

    void waitQuestionGone() const {
        if (!waitUntil([&] { return x_.find(window::kNewRoundTitle) == 0; }, timeoutMs_,
                       [&] { checkAlive(); })) {
            throw std::runtime_error("the new round question never closed");
        }
    }

    // Whether every cell shows the free colour.
    bool allFree() const {
        const auto shot = grabClient();
        for (int i = 0; i < window::kCells; ++i) {
            const Pt p = cellSample(i);
            if (shot->at(ox_ + p.x, oy_ + p.y) != layout().free) {
                return false;
            }
        }
        return true;
    }

    // Nuova, then Return in the question: a fresh round with every cell free.
    void newRound() const {
        askNewRound();
        answerYes();
        waitQuestionGone();
        if (!waitUntil(
                [&] {
                    const auto called = calledCells();
                    return std::none_of(called.begin(), called.end(), [](bool c) { return c; });
                },
                timeoutMs_, [&] { checkAlive(); })) {
            throw std::runtime_error("the board did not clear for the new round");
        }
    }

  private:
    // The client area as it is on screen now.
    std::unique_ptr<X::Snapshot> grabClient() const {
        const auto& client = layout().client;
        auto shot = x_.grab(ox_, oy_, static_cast<unsigned>(client.width),
                            static_cast<unsigned>(client.height));
        if (!shot->valid()) {
            checkAlive();
            throw std::runtime_error("cannot read the screen");
        }
        return shot;
    }

    X& x_;
    double timeoutMs_;
    Window win_ = 0;
    int ox_ = 0;
    int oy_ = 0;
};

struct Args {
    std::vector<std::string> rest;
    std::string get(const std::string& name, const std::string& fallback) const {
        for (std::size_t i = 0; i + 1 < rest.size(); ++i) {
            if (rest[i] == name) {
                return rest[i + 1];
            }
        }
        return fallback;
    }
    long num(const std::string& name, long fallback) const {
        return std::stol(get(name, std::to_string(fallback)));
    }
};

long vmHwmKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

// CPU time the process has had so far, all its threads, in milliseconds
// (the scheduler's nanosecond count), or -1.
double cpuMs(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (dir == nullptr) {
        return -1;
    }
    double total = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        std::ifstream in(tasks + "/" + entry->d_name + "/schedstat");
        double ns = 0;
        if (in >> ns) {
            total += ns / 1e6;
        }
    }
    closedir(dir);
    return total;
}

// The named window's client area on the screen, looked for afresh while
// it is not there; or the screen's top-left corner when no name is given.
class Origin {
  public:
    Origin(const X& x, std::string name) : x_(x), name_(std::move(name)) {}
    std::optional<Pt> operator()() {
        if (name_.empty()) {
            return Pt{};
        }
        if (named_ == 0 || !x_.viewable(named_)) {
            named_ = x_.find(name_);
        }
        if (named_ == 0) {
            return std::nullopt;
        }
        const auto g = x_.geometry(named_);
        return Pt{g.x, g.y};
    }
    // Whether the named window is on the screen.
    bool shown() const { return !name_.empty() && x_.find(name_) != 0; }

  private:
    const X& x_;
    std::string name_;
    Window named_ = 0;
};

// Starts the program with its standard output sent away (ours carries the
// figures), or appended to a file; returns its process id. The program
// finds the system's clock at its launch, in nanoseconds since 1970, in
// TABELLONE_LAUNCH_NS, to time from there what it does.
pid_t spawn(char** program, const std::string& output = "/dev/null") {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const std::string launch = std::to_string(static_cast<long long>(now.tv_sec) * 1000000000LL +
                                              static_cast<long long>(now.tv_nsec));
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
        }
        setenv("TABELLONE_LAUNCH_NS", launch.c_str(), 1);
        execv(program[0], program);
        _exit(127);
    }
    return pid;
}

int startup(const Args& a, char** program) {
    X x;
    const double timeoutMs = static_cast<double>(a.num("--timeout-ms", 20000));
    const double settleMs = static_cast<double>(a.num("--settle-ms", 300));
    const std::string name = a.get("--name", "");
    Origin origin(x, name);
    auto teal = [&](Pt p) {
        const auto o = origin();
        return o && x.pixel(o->x + p.x, o->y + p.y) == layout().free;
    };
    // Worked out before the clock starts.
    const Pt first = cellSample(0);
    const Pt last = cellSample(window::kCells - 1);
    // The last run's window must be gone.
    if (name.empty() ? teal(first) : origin.shown()) {
        std::fprintf(stderr, "the screen already shows the window\n");
        return 2;
    }
    const auto t0 = Clock::now();
    const pid_t pid = spawn(program);
    double shownMs = -1;
    double shownCpuMs = -1;
    bool exited = false;
    waitUntil(
        [&] {
            if (teal(first) && teal(last)) {
                shownMs = msSince(t0);
                shownCpuMs = cpuMs(pid);
                return true;
            }
            exited = waitpid(pid, nullptr, WNOHANG) == pid;
            return exited;
        },
        timeoutMs);
    long hwm = -1;
    if (shownMs >= 0) {
        sleepMs(settleMs);
        hwm = vmHwmKb(pid);
    }
    if (!exited) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    // Wait for the window to leave the screen before the next run.
    waitUntil([&] { return name.empty() ? !teal(first) : !origin.shown(); }, 5000);
    if (shownMs < 0) {
        std::fprintf(stderr, "no first frame within %.0f ms\n", timeoutMs);
        return 1;
    }
    std::printf("startup_ms %.2f vmhwm_kb %ld cpu_ms %.2f\n", shownMs, hwm, shownCpuMs);
    return 0;
}

// A rectangle of the screen read again and again through shared memory
// (MIT-SHM), quick enough to read a whole window every few milliseconds.
class Frames {
  public:
    Frames(const X& x, int width, int height) : x_(x) {
        Display* d = x.dpy();
        const int screen = DefaultScreen(d);
        if (XShmQueryExtension(d) == 0) {
            throw std::runtime_error("the X server has no MIT-SHM extension");
        }
        img_ = XShmCreateImage(d, DefaultVisual(d, screen),
                               static_cast<unsigned>(DefaultDepth(d, screen)), ZPixmap, nullptr,
                               &shm_, static_cast<unsigned>(width), static_cast<unsigned>(height));
        if (img_ == nullptr) {
            throw std::runtime_error("cannot make a shared image");
        }
        size_ = static_cast<std::size_t>(img_->bytes_per_line) * static_cast<std::size_t>(height);
        shm_.shmid = shmget(IPC_PRIVATE, size_, IPC_CREAT | 0600);
        shm_.shmaddr = img_->data = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
        shm_.readOnly = False;
        XShmAttach(d, &shm_);
        XSync(d, False);
        shmctl(shm_.shmid, IPC_RMID, nullptr);  // freed once both have let it go
    }
    ~Frames() {
        XShmDetach(x_.dpy(), &shm_);
        XSync(x_.dpy(), False);
        img_->data = nullptr;
        XDestroyImage(img_);
        shmdt(shm_.shmaddr);
    }
    Frames(const Frames&) = delete;
    Frames& operator=(const Frames&) = delete;

    // Reads the rectangle with its top-left corner at p; false if it cannot
    // be read (part of it off the screen).
    bool read(Pt p) const {
        return XShmGetImage(x_.dpy(), x_.root(), img_, p.x, p.y, AllPlanes) != 0;
    }
    // A hash of what was read (FNV-1a over 64-bit words).
    std::uint64_t hash() const {
        std::uint64_t h = 14695981039346656037ULL;
        for (std::size_t i = 0; i + sizeof h <= size_; i += sizeof h) {
            std::uint64_t word = 0;
            std::memcpy(&word, img_->data + i, sizeof word);
            h = (h ^ word) * 1099511628211ULL;
        }
        return h;
    }
    Rgb at(Pt p) const {
        const unsigned long v = XGetPixel(img_, p.x, p.y);
        auto channel = [v](unsigned long mask) {
            int shift = 0;
            while (mask != 0 && ((mask >> shift) & 1UL) == 0) {
                ++shift;
            }
            return static_cast<int>((v & mask) >> shift);
        };
        return {channel(img_->red_mask), channel(img_->green_mask), channel(img_->blue_mask)};
    }

  private:
    const X& x_;
    XShmSegmentInfo shm_{};
    XImage* img_ = nullptr;
    std::size_t size_ = 0;
};

// Start-up to the complete window: what a caller waits for before the
// whole board is there to read. The client area is read back frame after
// frame; the last frame that differed from the one before starts the
// stretch in which nothing changed for the settle time, and that is the
// complete window. The first frame with the teal cells is told beside it.
int complete(const Args& a, char** program) {
    X x;
    const double timeoutMs = static_cast<double>(a.num("--timeout-ms", 20000));
    const double settleMs = static_cast<double>(a.num("--settle-ms", 1000));
    const std::string name = a.get("--name", "");
    const std::string output = a.get("--output", "/dev/null");
    const bool verbose = a.num("--verbose", 0) != 0;
    Origin origin(x, name);
    const auto& client = layout().client;
    const Frames frames(x, client.width, client.height);
    const Pt first = cellSample(0);
    const Pt last = cellSample(window::kCells - 1);
    if (origin.shown()) {
        std::fprintf(stderr, "the screen already shows the window\n");
        return 2;
    }
    const auto t0 = Clock::now();
    const pid_t pid = spawn(program, output);
    double firstMs = -1;
    double changedMs = -1;
    double changedCpuMs = -1;
    std::uint64_t seen = 0;
    long changes = 0;
    bool exited = false;
    const bool settled = waitUntil(
        [&] {
            const auto o = origin();
            std::uint64_t h = 0;
            if (o && frames.read(*o)) {
                h = frames.hash();
            }
            const double now = msSince(t0);
            if (h != seen) {
                seen = h;
                changedMs = now;
                changedCpuMs = cpuMs(pid);
                ++changes;
                if (verbose) {
                    std::fprintf(stderr, "frame %.2f ms\n", now);
                }
            }
            if (h != 0 && firstMs < 0 && frames.at(first) == layout().free &&
                frames.at(last) == layout().free) {
                firstMs = now;
            }
            exited = waitpid(pid, nullptr, WNOHANG) == pid;
            return exited || (firstMs >= 0 && now - changedMs >= settleMs);
        },
        timeoutMs);
    if (!exited) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    waitUntil([&] { return !origin.shown(); }, 5000);
    if (!settled || exited || firstMs < 0) {
        std::fprintf(stderr, "no complete window within %.0f ms\n", timeoutMs);
        return 1;
    }
    std::printf("complete_ms %.2f cpu_ms %.2f first_ms %.2f frames %ld\n", changedMs, changedCpuMs,
                firstMs, changes);
    return 0;
}

struct Stats {
    double p50 = 0;
    double p99 = 0;
    double max = 0;
};

Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    auto rank = [&](double q) {
        const auto k = static_cast<std::size_t>(std::ceil(q * static_cast<double>(v.size())));
        return v.at(std::max<std::size_t>(k, 1) - 1);
    };
    return {rank(0.5), rank(0.99), v.back()};
}

void printStats(const char* label, const std::vector<double>& v) {
    if (!v.empty()) {
        const Stats st = stats(v);
        std::printf("%s p50 %.2f p99 %.2f max %.2f n %zu\n", label, st.p50, st.p99, st.max,
                    v.size());
    }
}

// The inputs of latency: calls by double-click, then draws with Estrai.
void measureLatency(const Board& board, std::mt19937& rng, long calls, long draws,
                    std::vector<int>& free, const std::function<void()>& refill,
                    std::vector<double>& dbl, std::vector<double>& est,
                    std::vector<double>& close) {
    for (long k = 0; k < calls; ++k) {
        if (free.empty()) {
            board.newRound();
            refill();
        }
        const auto pick = std::uniform_int_distribution<std::size_t>(0, free.size() - 1)(rng);
        const int cell = free[pick];
        free.erase(free.begin() + static_cast<long>(pick));
        const auto t0 = board.doubleClick(cellCentre(cell));
        dbl.push_back(board.waitBig(t0));
        close.push_back(board.closeBig());
    }
    for (long k = 0; k < draws; ++k) {
        if (free.empty()) {
            board.newRound();
            refill();
        }
        const auto t0 = board.click(centre(layout().estrai));
        est.push_back(board.waitBig(t0));
        close.push_back(board.closeBig());
        // The draw called one more cell than were called before it.
        const auto called =
            board.calledCells(static_cast<std::size_t>(window::kCells) - free.size() + 1);
        std::erase_if(free, [&](int i) { return called.at(static_cast<std::size_t>(i)); });
    }
}

int latency(const Args& a) {
    X x;
    Board board(x, static_cast<double>(a.num("--timeout-ms", 10000)));
    std::mt19937 rng(static_cast<unsigned>(a.num("--seed", 1)));
    const long calls = a.num("--calls", 200);
    const long draws = a.num("--draws", 200);
    std::vector<double> dbl;
    std::vector<double> est;
    std::vector<double> close;

    board.newRound();
    std::vector<int> free;
    auto refill = [&] {
        free.clear();
        for (int i = 0; i < window::kCells; ++i) {
            free.push_back(i);
        }
    };
    refill();
    try {
        measureLatency(board, rng, calls, draws, free, refill, dbl, est, close);
    } catch (const BoardGone&) {
        throw;
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string(e.what()) + " (after " + std::to_string(dbl.size()) +
                                 " double-clicks and " + std::to_string(est.size()) + " draws)");
    }
    printStats("dblclick_ms", dbl);
    printStats("estrai_ms", est);
    printStats("close_ms", close);
    return 0;
}

// The same changes of screen on the baseline: a double-click on a cell to
// the big number on screen, a double-click on the big number to every cell
// shown again.
int swaps(const Args& a) {
    X x;
    const Board window(x, static_cast<double>(a.num("--timeout-ms", 10000)),
                       a.get("--name", "BASELINE"));
    std::mt19937 rng(static_cast<unsigned>(a.num("--seed", 1)));
    const long times = a.num("--times", 200);
    std::vector<double> dbl;
    std::vector<double> close;
    for (long k = 0; k < times; ++k) {
        const int cell = std::uniform_int_distribution<int>(0, window::kCells - 1)(rng);
        dbl.push_back(window.waitBig(window.doubleClick(cellCentre(cell))));
        close.push_back(window.closeBig());
    }
    printStats("dblclick_ms", dbl);
    printStats("close_ms", close);
    return 0;
}

// New rounds on a running board, each after a few calls. Each round is
// timed from Sì, and its first call against the later ones: in turn, the
// double-click goes once every cell shows free again, or as soon as the
// question has closed, as an eager caller's would.
int rounds(const Args& a) {
    X x;
    const double timeoutMs = static_cast<double>(a.num("--timeout-ms", 20000));
    Board board(x, timeoutMs);
    std::mt19937 rng(static_cast<unsigned>(a.num("--seed", 1)));
    const long rounds = a.num("--rounds", 10);
    const long calls = std::max(2L, a.num("--calls", 10));
    std::vector<double> repaint;
    std::vector<double> firstRepainted;
    std::vector<double> firstEager;
    std::vector<double> toBig;
    std::vector<double> later;
    std::vector<int> free;
    auto doubleClickFree = [&] {
        const auto pick = std::uniform_int_distribution<std::size_t>(0, free.size() - 1)(rng);
        const int cell = free[pick];
        free.erase(free.begin() + static_cast<long>(pick));
        return board.doubleClick(cellCentre(cell));
    };
    auto refill = [&] {
        free.clear();
        for (int i = 0; i < window::kCells; ++i) {
            free.push_back(i);
        }
    };
    auto laterCalls = [&](bool counted) {
        for (long k = 1; k < calls; ++k) {
            const double ms = board.waitBig(doubleClickFree());
            if (counted) {
                later.push_back(ms);
            }
            board.closeBig();
        }
    };
    // The first round starts from a board with no call to take back: not counted.
    board.newRound();
    refill();
    board.waitBig(doubleClickFree());
    board.closeBig();
    laterCalls(false);
    for (long r = 0; r < rounds; ++r) {
        board.askNewRound();
        const auto yes = board.answerYes();
        refill();
        if (r % 2 == 0) {
            if (!waitUntil([&] { return board.allFree(); }, timeoutMs,
                           [&] { board.checkAlive(); })) {
                throw std::runtime_error("the board did not show every cell free");
            }
            repaint.push_back(msSince(yes));
            firstRepainted.push_back(board.waitBig(doubleClickFree()));
        } else {
            board.waitQuestionGone();
            const auto t0 = doubleClickFree();
            firstEager.push_back(board.waitBig(t0));
            toBig.push_back(msSince(yes));
        }
        board.closeBig();
        laterCalls(true);
    }
    const std::pair<const char*, const std::vector<double>*> rows[] = {
        {"round_repaint_ms", &repaint},
        {"round_first_repainted_ms", &firstRepainted},
        {"round_first_eager_ms", &firstEager},
        {"round_to_big_ms", &toBig},
        {"round_later_ms", &later}};
    for (const auto& [label, v] : rows) {
        if (!v->empty()) {
            const Stats st = stats(*v);
            std::printf("%s p50 %.2f p99 %.2f max %.2f n %zu\n", label, st.p50, st.p99, st.max,
                        v->size());
        }
    }
    return 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: tabellone_xprobe startup|complete|latency|rounds|swaps [options]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return usage();
    }
    const std::string command = argv[1];
    Args a;
    char** program = nullptr;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            program = argv + i + 1;
            break;
        }
        a.rest.emplace_back(argv[i]);
    }
    try {
        if (command == "startup") {
            if (program == nullptr || *program == nullptr) {
                return usage();
            }
            return startup(a, program);
        }
        if (command == "complete") {
            if (program == nullptr || *program == nullptr) {
                return usage();
            }
            return complete(a, program);
        }
        if (command == "latency") {
            return latency(a);
        }
        if (command == "rounds") {
            return rounds(a);
        }
        if (command == "swaps") {
            return swaps(a);
        }
    } catch (const BoardGone& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 3;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tabellone_xprobe %s: %s\n", command.c_str(), e.what());
        return 2;
    }
    return usage();
}
