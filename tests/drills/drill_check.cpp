// drill_check: reads what the drills leave behind and says whether it is
// sound. The round log's grammar is written out here from the file's
// description, independently of the board's writer.
//
//   drill_check parse LOG [OFFSET]
//       The log (from OFFSET) is a sequence of whole round headers and call
//       records, nothing torn. Prints "headers H calls C".
//   drill_check session LOG OFFSET EVENTS
//       A board killed at a random moment: what the driver saw on screen
//       (EVENTS, from tabellone_xprobe session) is in the log from OFFSET,
//       in order. At most one item more may be there (written, not yet on
//       screen when the board died); a round the driver saw begin may lack
//       its header only if nothing was seen after it.
//   drill_check merged LOG EVENTS_A EVENTS_B
//       Two boards on one log: the log is exactly an interleaving of the
//       two sessions, whole records only.
//   drill_check valgrind XML SOURCE_DIR...
//       Memcheck's XML: fails on any error that belongs to the project, that
//       is whose first frame past the allocator is in one of the folders.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Item {
    bool header = false;
    int number = 0;  // a call's number; 0 in an event means "not known"
    std::size_t offset = 0;

    std::string str() const {
        if (header) {
            return "header";
        }
        return "call " + (number == 0 ? std::string("?") : std::to_string(number));
    }
};

bool matches(const Item& logged, const Item& seen) {
    if (logged.header || seen.header) {
        return logged.header == seen.header;
    }
    return seen.number == 0 || logged.number == seen.number;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string visible(std::string_view bytes) {
    std::string out;
    for (const char c : bytes.substr(0, 48)) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c >= 32 && c < 127) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
            out += hex;
        }
    }
    return out;
}

bool digits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int number(std::string_view s) {
    int n = 0;
    for (const char c : s) {
        n = n * 10 + (c - '0');
    }
    return n;
}

// "#YYYY-MM-DD HH:MM:SS#\r\n" or, at midnight, "#YYYY-MM-DD#\r\n"; returns
// its length, or 0.
std::size_t dateItem(std::string_view s) {
    if (s.size() < 14 || s[0] != '#' || !digits(s.substr(1, 4)) || s[5] != '-' ||
        !digits(s.substr(6, 2)) || s[8] != '-' || !digits(s.substr(9, 2))) {
        return 0;
    }
    const int month = number(s.substr(6, 2));
    const int day = number(s.substr(9, 2));
    if (month < 1 || month > 12 || day < 1 || day > 31) {
        return 0;
    }
    if (s.substr(11, 3) == "#\r\n") {
        return 14;
    }
    if (s.size() < 23 || s[11] != ' ' || !digits(s.substr(12, 2)) || s[14] != ':' ||
        !digits(s.substr(15, 2)) || s[17] != ':' || !digits(s.substr(18, 2)) ||
        s.substr(20, 3) != "#\r\n") {
        return 0;
    }
    if (number(s.substr(12, 2)) > 23 || number(s.substr(15, 2)) > 59 ||
        number(s.substr(18, 2)) > 59) {
        return 0;
    }
    return 23;
}

// Splits the log into items; throws at the first byte that starts none.
std::vector<Item> parseLog(const std::string& log, std::size_t from) {
    const std::string rule = "\"\r\n" + std::string(34, '-') + "\"\r\n";
    const std::string title = "\"\r\nNUOVO GIRO DI SORVINA\"\r\n";
    std::vector<Item> items;
    std::size_t p = from;
    while (p < log.size()) {
        const std::string_view rest = std::string_view(log).substr(p);
        if (rest.substr(0, rule.size()) == rule) {
            std::size_t q = rule.size();
            if (rest.substr(q, title.size()) == title) {
                q += title.size();
                const std::size_t date = dateItem(rest.substr(q));
                if (date != 0 && rest.substr(q + date, rule.size()) == rule) {
                    items.push_back({true, 0, p});
                    p += q + date + rule.size();
                    continue;
                }
            }
        } else if (rest.size() >= 7 && rest[0] == '"') {
            std::size_t d = 1;
            while (d < rest.size() && d < 4 && rest[d] >= '0' && rest[d] <= '9') {
                ++d;
            }
            const std::string_view num = rest.substr(1, d - 1);
            if ((num.size() == 1 || num.size() == 2) && num[0] != '0' &&
                rest.substr(d, 5) == "\r\n\"\r\n") {
                const int n = number(num);
                if (n >= 1 && n <= 90) {
                    items.push_back({false, n, p});
                    p += d + 5;
                    continue;
                }
            }
        }
        throw std::runtime_error("torn or foreign bytes at offset " + std::to_string(p) + ": \"" +
                                 visible(rest) + "\"");
    }
    return items;
}

// Every round in the log holds each number at most once.
void checkRounds(const std::vector<Item>& items) {
    std::vector<bool> seen(91, false);
    for (const Item& it : items) {
        if (it.header) {
            seen.assign(91, false);
        } else if (seen.at(static_cast<std::size_t>(it.number))) {
            throw std::runtime_error("number " + std::to_string(it.number) +
                                     " called twice in one round (offset " +
                                     std::to_string(it.offset) + ")");
        } else {
            seen.at(static_cast<std::size_t>(it.number)) = true;
        }
    }
}

// The driver's events as items: "round", "shown N", "shown ?", "drawn N"
// (which names the last unknown call).
std::vector<Item> readEvents(const std::string& path) {
    std::istringstream in(readFile(path));
    std::vector<Item> events;
    std::string word;
    std::string arg;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        fields >> word;
        arg.clear();
        fields >> arg;
        if (word == "round") {
            events.push_back({true, 0, 0});
        } else if (word == "shown") {
            events.push_back({false, arg == "?" ? 0 : std::stoi(arg), 0});
        } else if (word == "drawn") {
            auto it = std::find_if(events.rbegin(), events.rend(),
                                   [](const Item& e) { return !e.header && e.number == 0; });
            if (it == events.rend()) {
                throw std::runtime_error(path + ": a draw named with no draw before it");
            }
            it->number = std::stoi(arg);
        } else if (!line.empty()) {
            throw std::runtime_error(path + ": unknown event \"" + line + "\"");
        }
    }
    return events;
}

int parseCommand(const std::string& log, std::size_t from) {
    const auto items = parseLog(readFile(log), from);
    checkRounds(items);
    const auto headers =
        std::count_if(items.begin(), items.end(), [](const Item& i) { return i.header; });
    std::printf("headers %ld calls %ld\n", static_cast<long>(headers),
                static_cast<long>(items.size()) - static_cast<long>(headers));
    return 0;
}

int sessionCommand(const std::string& log, std::size_t from, const std::string& eventsPath) {
    // Killed before its Load, the board may not have created the log yet.
    const auto items = std::ifstream(log) ? parseLog(readFile(log), from) : std::vector<Item>{};
    checkRounds(items);
    const auto events = readEvents(eventsPath);
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (i >= items.size()) {
            if (events[i].header && i + 1 == events.size()) {
                break;  // the round began on screen; its header had not been written
            }
            throw std::runtime_error("seen on screen but not in the log: " + events[i].str() +
                                     " (event " + std::to_string(i + 1) + " of " +
                                     std::to_string(events.size()) + ")");
        }
        if (!matches(items[i], events[i])) {
            throw std::runtime_error("event " + std::to_string(i + 1) + ": seen " +
                                     events[i].str() + ", logged " + items[i].str());
        }
    }
    if (items.size() > events.size() + 1) {
        throw std::runtime_error("the log holds " + std::to_string(items.size()) +
                                 " items for this session, more than the " +
                                 std::to_string(events.size()) + " seen and one in flight");
    }
    std::printf("seen %zu logged %zu\n", events.size(), items.size());
    return 0;
}

int mergedCommand(const std::string& log, const std::string& pathA, const std::string& pathB) {
    const auto items = parseLog(readFile(log), 0);
    const auto a = readEvents(pathA);
    const auto b = readEvents(pathB);
    if (items.size() != a.size() + b.size()) {
        throw std::runtime_error("the log holds " + std::to_string(items.size()) + " items, the " +
                                 "two boards showed " + std::to_string(a.size()) + " and " +
                                 std::to_string(b.size()));
    }
    // can[i][j]: the first i + j items are an interleaving of a[0..i) and b[0..j).
    std::vector<std::vector<char>> can(a.size() + 1, std::vector<char>(b.size() + 1, 0));
    can[0][0] = 1;
    for (std::size_t i = 0; i <= a.size(); ++i) {
        for (std::size_t j = 0; j <= b.size(); ++j) {
            if (i + j == 0) {
                continue;
            }
            const Item& it = items[i + j - 1];
            const bool fromA = i > 0 && can[i - 1][j] && matches(it, a[i - 1]);
            const bool fromB = j > 0 && can[i][j - 1] && matches(it, b[j - 1]);
            can[i][j] = fromA || fromB ? 1 : 0;
        }
    }
    if (!can[a.size()][b.size()]) {
        throw std::runtime_error("the log is not an interleaving of the two boards' calls");
    }
    std::printf("items %zu = %zu + %zu\n", items.size(), a.size(), b.size());
    return 0;
}

// The text between <tag> and </tag> from pos, or nothing.
std::optional<std::string> element(const std::string& xml, const std::string& tag, std::size_t& pos,
                                   std::size_t end) {
    const std::string open = "<" + tag + ">";
    const std::string close = "</" + tag + ">";
    const std::size_t a = xml.find(open, pos);
    if (a == std::string::npos || a >= end) {
        return std::nullopt;
    }
    const std::size_t b = xml.find(close, a);
    if (b == std::string::npos || b > end) {
        return std::nullopt;
    }
    pos = b + close.size();
    return xml.substr(a + open.size(), b - a - open.size());
}

int valgrindCommand(const std::string& xmlPath, const std::vector<std::string>& roots) {
    const std::string xml = readFile(xmlPath);
    if (xml.find("</valgrindoutput>") == std::string::npos) {
        throw std::runtime_error(xmlPath + " is incomplete: memcheck did not finish");
    }
    const std::vector<std::string> allocators = {"malloc",         "calloc",         "realloc",
                                                 "operator new",   "operator new[]", "memalign",
                                                 "posix_memalign", "aligned_alloc",  "strdup"};
    auto isAllocator = [&](const std::string& fn) {
        return std::any_of(allocators.begin(), allocators.end(),
                           [&](const std::string& a) { return fn.rfind(a, 0) == 0; });
    };
    auto ours = [&](const std::string& dir) {
        return std::any_of(roots.begin(), roots.end(),
                           [&](const std::string& r) { return dir.rfind(r, 0) == 0; });
    };
    int mine = 0;
    int others = 0;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t start = xml.find("<error>", pos);
        if (start == std::string::npos) {
            break;
        }
        const std::size_t end = xml.find("</error>", start);
        pos = end;
        std::size_t p = start;
        const std::string kind = element(xml, "kind", p, end).value_or("?");
        p = start;
        // The first stack is where it happened (or was allocated, for a leak).
        const std::size_t stackEnd = std::min(end, xml.find("</stack>", start));
        std::string firstFn;
        std::string firstDir;
        std::string where;
        while (true) {
            const std::size_t frameStart = xml.find("<frame>", p);
            if (frameStart == std::string::npos || frameStart > stackEnd) {
                break;
            }
            const std::size_t frameEnd = xml.find("</frame>", frameStart);
            std::size_t q = frameStart;
            const std::string fn = element(xml, "fn", q, frameEnd).value_or("");
            q = frameStart;
            const std::string dir = element(xml, "dir", q, frameEnd).value_or("");
            q = frameStart;
            const std::string file = element(xml, "file", q, frameEnd).value_or("");
            q = frameStart;
            const std::string line = element(xml, "line", q, frameEnd).value_or("");
            p = frameEnd;
            if (isAllocator(fn)) {
                continue;
            }
            firstFn = fn;
            firstDir = dir;
            where = dir + "/" + file + ":" + line;
            break;
        }
        if (!firstDir.empty() && ours(firstDir)) {
            ++mine;
            std::fprintf(stderr, "project error: %s in %s at %s\n", kind.c_str(), firstFn.c_str(),
                         where.c_str());
        } else {
            ++others;
        }
    }
    std::printf("memcheck errors: %d in the project's code, %d elsewhere (Qt, fontconfig, X)\n",
                mine, others);
    return mine == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() >= 2 && args[0] == "parse") {
            return parseCommand(args[1], args.size() > 2 ? std::stoul(args[2]) : 0);
        }
        if (args.size() == 4 && args[0] == "session") {
            return sessionCommand(args[1], std::stoul(args[2]), args[3]);
        }
        if (args.size() == 4 && args[0] == "merged") {
            return mergedCommand(args[1], args[2], args[3]);
        }
        if (args.size() >= 3 && args[0] == "valgrind") {
            return valgrindCommand(args[1], {args.begin() + 2, args.end()});
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "drill_check %s: %s\n", args[0].c_str(), e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: drill_check parse|session|merged|valgrind ...\n");
    return 2;
}
