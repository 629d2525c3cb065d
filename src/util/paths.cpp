#include "util/paths.hpp"

#include "util/text.hpp"

namespace zorvel::util {

namespace {

using npos_t = decltype(std::string_view::npos);
constexpr npos_t npos = std::string_view::npos;

// 1-based position of the last separator, 0 when none.
std::size_t last_sep(std::string_view s) {
    std::size_t p = s.find_last_of("/\\");
    return p == npos ? 0 : p + 1;
}

// 1-based position of the last c, 0 when none.
std::size_t last_of(std::string_view s, char c) {
    std::size_t p = s.rfind(c);
    return p == npos ? 0 : p + 1;
}

// Characters i to j (1-based, inclusive) of s.
std::string chars(std::string_view s, std::size_t i, std::size_t j) {
    if (j < i || i == 0 || i > s.size()) return {};
    return trimmed(s.substr(i - 1, j - i + 1));
}

}  // namespace

std::string FILEEXTKC(std::string_view name) {
    std::string_view n = rtrim(name);
    const std::size_t s = last_sep(n), d = last_of(n, '.');
    return (d > 0 && d > s) ? chars(n, d, n.size()) : std::string();
}

std::string FILEEXT(std::string_view name) { return LOWERCASE(FILEEXTKC(name)); }

std::string FILENAME(std::string_view name) {
    std::string_view n = rtrim(name);
    const std::size_t s = last_sep(n), d = last_of(n, '.');
    if (s > 0) return d > s + 1 ? chars(n, s + 1, d - 1) : chars(n, s + 1, n.size());
    if (d > 1) return chars(n, 1, d - 1);
    if (d == 1) return {};
    return std::string(n);
}

std::string FILENAMEEXT(std::string_view name) {
    std::string_view n = rtrim(name);
    return chars(n, last_sep(n) + 1, n.size());
}

std::string FILE___EXT(std::string_view name) {
    const std::string b = FILENAME(name);
    const std::size_t u = last_of(b, '_');
    return u > 0 ? LOWERCASE(chars(b, u, b.size())) : std::string();
}

std::string FILENAMENO_(std::string_view name) {
    const std::string b = FILENAME(name);
    const std::size_t u = last_of(b, '_');
    if (u > 1) return chars(b, 1, u - 1);
    if (u == 1) return {};
    return b;
}

std::string FILENAMEPATH(std::string_view name) {
    std::string_view n = rtrim(name);
    const std::size_t s = last_sep(n), d = last_of(n, '.');
    return (d > 1 && d > s) ? chars(n, 1, d - 1) : std::string(n);
}

std::string FILENAMEPATHNO_(std::string_view name) {
    const std::string p = FILENAMEPATH(name);
    const std::size_t u = last_of(p, '_'), s = last_sep(p);
    return (u > 1 && u > s) ? chars(p, 1, u - 1) : p;
}

std::string FILEFOLDERPATH(std::string_view name) {
    std::string_view n = rtrim(name);
    const std::size_t s = last_sep(n);
    return s > 0 ? chars(n, 1, s) : std::string();
}

std::string CLEANPATH(std::string& name) {
    name = TRIMF(name);
    for (;;) {
        const std::size_t a = name.find("\\\\"), b = name.find("//");
        const std::size_t pa = a == npos ? 0 : a + 1, pb = b == npos ? 0 : b + 1;
        const std::size_t p = pa > pb ? pa : pb;
        if (p <= 1) break;
        name.erase(p, 1);  // the second character of the pair, at 1-based p + 1
    }
    return name;
}

std::string REMOVEDOTDOT(std::string_view path) {
    std::string p = TRIMF(path);
    // Doubled backslashes from position 3 on.
    for (std::size_t a; (a = p.find("\\\\")) != npos && a + 1 >= 3;) p.erase(a + 1, 1);
    // Parent references: a component followed by "\..\" is removed with it.
    for (;;) {
        std::size_t b = p.find("\\..\\");
        if (b == npos || b + 1 < 2) break;
        bool stop = false;
        while (b + 1 > 2 && p.compare(b - 2, 2, "..") == 0) {
            b = p.find("\\..\\", b + 1);
            if (b == npos) {
                stop = true;
                break;
            }
        }
        if (stop) break;
        const std::size_t keep = b == 0 ? npos : p.rfind('\\', b - 1);
        std::string head = keep == npos ? std::string() : p.substr(0, keep + 1);
        p = head + p.substr(b + 4);
    }
    // Current-folder references.
    for (std::size_t c; (c = p.find("\\.\\")) != npos;) p.erase(c + 1, 2);
    return trimmed(p);
}

std::string ADDFOLDER(std::string_view folder, std::string_view name) {
    std::string joined;
    if (trimmed_length(name) == 0) {
        joined = trimmed_length(folder) == 0 ? std::string(".") : TRIMF(folder);
    } else if (trimmed_length(folder) == 0 || name.find(':') != npos || name.find("\\\\") != npos) {
        joined = TRIMF(name);
    } else {
        joined = TRIMF(folder);
        if (joined.back() != '/' && joined.back() != '\\') joined.push_back('\\');
        joined += TRIMF(name);
    }
    return REMOVEDOTDOT(joined);
}

bool DRIVEFOLDER(std::string& path) {
    path = TRIMF(path);
    bool unchanged = true;
    const std::size_t c = path.find(':');
    if (c != npos) {
        path = UPPERCASE(path.substr(0, c)) + " Drive" + path.substr(c + 1);
        unchanged = false;
    }
    if (path.rfind("\\\\", 0) == 0 || path.rfind("//", 0) == 0) {
        path = "URL\\" + path.substr(2);
        unchanged = false;
    }
    return unchanged;
}

}  // namespace zorvel::util
