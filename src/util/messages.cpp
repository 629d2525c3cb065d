#include "util/messages.hpp"

#include <algorithm>
#include <vector>

#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::util {

MessageBlock DMESSAGES;

namespace {

constexpr std::size_t kLogFieldLen = 1000;  // a quoted text is cut at this length
constexpr double kNoPosition = -99999.0;

enum MessageType : std::int32_t { kOther = 0, kError = 1, kWarning = 2, kCheck = 3, kUnstable = 4 };

// What the first word of line 1 makes of a message, and where its number stands.
struct Kind {
    MessageType type = kOther;
    std::size_t number_at = 0;  // 0-based start of the six characters of the number
};

// The first characters of line 1, compared exactly (case matters).
Kind kind_of(std::string_view line1) {
    if (line1.starts_with("ERROR")) return {kError, 5};
    if (line1.starts_with("WARNING")) return {kWarning, 7};
    if (line1.starts_with("CHECK")) return {kCheck, 5};
    if (line1.starts_with("UNSTABLE")) return {kUnstable, 8};
    return {};
}

// One more message counted (wrapping, never undefined).
void count(std::int32_t& counter) { counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) + 1u); }

// A 32-bit logical of the block: its lowest bit.
bool truth(std::int32_t logical) { return (logical & 1) != 0; }

// Fixed-point editing Fw.3 of a 64-bit real: right-justified, asterisks when too wide.
std::string fixed16(double v) {
    constexpr std::size_t kWidth = 16;
    return right_justified(AREALD8(v, 3), kWidth);
}

// A text as the logs quote it: double quotes doubled, cut at 1000 characters, trimmed.
std::string quoted(std::string_view text) { return fit(DOUBLEQUOTE(text), kLogFieldLen); }

// The current message's texts, with zero bytes read as blanks.
struct Message {
    std::string line[4];
    std::string extra[3];
    std::string prefix;
};

// The block's message fields as texts.
Message current() {
    Message m;
    for (std::size_t k = 0; k < 4; ++k) m.line[k] = message_text(DMESSAGES.line[k]);
    for (std::size_t k = 0; k < 3; ++k) m.extra[k] = message_text(DMESSAGES.extra[k]);
    m.prefix = message_text(DMESSAGES.prefix);
    return m;
}

// Line 4 from the extra fields: field 1, then "; " and each further field that is not blank.
void build_line4(Message& m) {
    std::string l4 = m.extra[0];
    for (std::size_t k = 1; k < 3; ++k)
        if (!m.extra[k].empty()) l4 = trimmed(l4) + "; " + m.extra[k];
    m.line[3] = fit(l4, kMessageLen);
    set_message_text(DMESSAGES.line[3], m.line[3]);
}

// One comma-separated line: number, type, position and four quoted texts.
void write_csv_line(const Message& m) {
    std::string s = integer_field(DMESSAGES.number, 5, 4) + "," + integer_field(DMESSAGES.type, 2, 1) + "," +
                    fixed16(DMESSAGES.x) + "," + fixed16(DMESSAGES.y);
    const std::string lines = m.line[0] + "  " + m.line[1] + "  " + m.line[2];
    for (const std::string_view field : {std::string_view(lines), std::string_view(m.extra[0]),
                                         std::string_view(m.extra[1]), std::string_view(m.extra[2])}) {
        s += ", \"";
        s += quoted(field);
        s += '"';
    }
    unit_line(DMESSAGES.csv_unit, s);
}

// The lines the message is written as on the console and in the log.
std::vector<std::string> message_lines(const Message& m) {
    std::vector<std::string> out;
    out.push_back(m.prefix.empty() ? m.line[0] : m.prefix + " " + m.line[0]);
    for (std::size_t k = 1; k < 4; ++k) {
        if (m.line[k].empty()) continue;
        if (truth(DMESSAGES.one_line))
            out.front() += "  " + m.line[k];
        else
            out.push_back(m.line[k]);
    }
    return out;
}

}  // namespace

void DMESSAGE(std::int32_t n) {
    Message m = current();

    const Kind kind = kind_of(m.line[0]);
    DMESSAGES.type = kind.type;
    DMESSAGES.number = 0;
    switch (kind.type) {
        case kError: count(DMESSAGES.errors); break;
        case kWarning: count(DMESSAGES.warnings); break;
        case kCheck: count(DMESSAGES.checks); break;
        default: break;
    }
    if (kind.type != kOther) {
        const std::string_view head(m.line[0]);
        const std::string_view digits = head.size() > kind.number_at ? head.substr(kind.number_at, 6) : "";
        std::int32_t number = 0;
        if (CHECKINT(digits, number)) DMESSAGES.number = number;
    }

    if (DMESSAGES.csv_unit >= 1 && kind.type != kOther) write_csv_line(m);

    build_line4(m);
    const std::vector<std::string> lines = message_lines(m);
    if (n >= 0) {
        for (std::int32_t k = 0; k < n; ++k) console().line();
        for (const std::string& l : lines) console().line(l);
    }
    if (n >= -1 && DMESSAGES.log_unit >= 1) {
        for (std::int32_t k = 0; k < n; ++k) unit_line(DMESSAGES.log_unit, "");
        for (const std::string& l : lines) unit_line(DMESSAGES.log_unit, l);
    }

    DMESSAGECLEAR();
}

void DMESSAGEXY(std::int32_t n, double x, double y) {
    set_message_text(DMESSAGES.prefix, "XY: ");
    Message m = current();

    const char* font = "Font (\"Arial\",257,0,53248,16777215)";
    bool set_a = false;
    switch (kind_of(m.line[0]).type) {
        case kError:
            font = "Font (\"Arial\",257,0,16711935,0)";
            count(DMESSAGES.errors_xy);
            set_a = true;
            break;
        case kWarning:
            font = "Font (\"Arial\",257,0,16776960,0)";
            count(DMESSAGES.warnings_xy);
            set_a = true;
            break;
        case kUnstable:
            font = "Font (\"Arial\",257,0,16711935,0)";
            set_a = true;
            break;
        case kCheck:
            font = "Font (\"Arial\",257,0,255,16777215)";
            count(DMESSAGES.checks_xy);
            break;
        default: break;
    }
    const std::int32_t mif = set_a ? DMESSAGES.mif_unit_a : DMESSAGES.mif_unit_b;
    const std::int32_t mid = set_a ? DMESSAGES.mid_unit_a : DMESSAGES.mid_unit_b;

    build_line4(m);
    const std::string separator = truth(DMESSAGES.one_line) ? "  " : "\\n";
    std::string text(1, '"');
    text += quoted(m.line[0]);
    double lines = 1.0;
    for (std::size_t k = 1; k < 4; ++k) {
        if (m.line[k].empty()) continue;
        text += separator + quoted(m.line[k]);
        lines += 1.0;
    }
    text += '"';
    const double w = DMESSAGES.box_width;
    const double h = DMESSAGES.box_height;
    unit_line(mif, "Text");
    unit_line(mif, text);
    unit_line(mif, "    " + fixed16(x + h) + fixed16(y - lines * h / 2.0) + fixed16(x + h + w) +
                       fixed16(y + lines * h / 2.0));
    unit_line(mif, std::string("    ") + font);
    unit_line(mif, "    Label Line Arrow " + fixed16(x) + fixed16(y));

    std::string record = "\"";
    for (const std::string& l : m.line)
        if (!l.empty()) record += quoted(l) + "  ";
    record += '"';
    unit_line(mid, record);

    DMESSAGES.x = x;
    DMESSAGES.y = y;
    DMESSAGE(n);
}

void DMESSAGECLEAR() {
    for (auto& l : DMESSAGES.line) set_message_text(l, "");
    for (auto& e : DMESSAGES.extra) set_message_text(e, "");
    set_message_text(DMESSAGES.prefix, "");
    DMESSAGES.x = kNoPosition;
    DMESSAGES.y = kNoPosition;
    DMESSAGES.one_line = 0;
}

void DMESSAGERESETCOUNTERS() {
    DMESSAGES.errors = DMESSAGES.warnings = DMESSAGES.checks = 0;
    DMESSAGES.errors_xy = DMESSAGES.warnings_xy = DMESSAGES.checks_xy = 0;
}

void DLINE(std::int32_t unit) {
    const std::string rule(80, '_');
    console().line(rule);
    unit_line(unit, rule);
}

}  // namespace zorvel::util
