#include "util/opener.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "util/console.hpp"
#include "util/file_io.hpp"
#include "util/numbers.hpp"
#include "util/paths.hpp"
#include "util/run_files.hpp"
#include "util/run_end.hpp"
#include "util/support.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::util {

namespace {

// What a mode code opens: direction, form, what happens to an existing file, and the
// layout a reader or writer of the file has to honour.
struct ModeSettings {
    std::string_view code;
    bool input;
    FileKind kind;
    Existing existing;
    bool read_write;
    Layout layout;
};

constexpr Layout kRecords{ByteOrder::native, true, 0};
constexpr Layout kBig{ByteOrder::big, false, 0};
constexpr Layout kLittle{ByteOrder::little, false, 0};
constexpr Layout kDirect{ByteOrder::native, false, 4};
constexpr Layout kDirectBig{ByteOrder::big, false, 4};

constexpr ModeSettings kModes[] = {
    {"I ", true, FileKind::text_in, Existing::require, false, {}},
    {"UI", true, FileKind::bytes_in, Existing::require, false, kRecords},
    {"BI", true, FileKind::bytes_in, Existing::require, false, {}},
    {"BE", true, FileKind::bytes_in, Existing::require, false, kBig},
    {"DI", true, FileKind::bytes_in, Existing::require, false, kDirect},
    {"DE", true, FileKind::bytes_in, Existing::require, false, kDirectBig},
    {"SI", true, FileKind::bytes_in, Existing::require, false, {}},
    {"O ", false, FileKind::text_out, Existing::replace, false, {}},
    {"F ", false, FileKind::text_out, Existing::replace, false, {}},
    {"UO", false, FileKind::bytes_out, Existing::replace, false, kRecords},
    {"BO", false, FileKind::bytes_out, Existing::replace, false, {}},
    {"BN", false, FileKind::bytes_out, Existing::replace, false, kBig},
    {"LL", false, FileKind::bytes_out, Existing::replace, false, kLittle},
    {"SO", false, FileKind::bytes_out, Existing::replace, false, {}},
    {"A ", false, FileKind::text_out, Existing::append, false, {}},
    {"AB", false, FileKind::bytes_out, Existing::append, false, {}},
    {"S ", false, FileKind::text_out, Existing::keep, false, {}},
    {"SB", false, FileKind::bytes_out, Existing::keep, false, {}},
    {"SE", false, FileKind::bytes_out, Existing::keep, false, kBig},
    {"DX", false, FileKind::bytes_out, Existing::require, true, kDirect},
    {"IO", false, FileKind::text_out, Existing::keep, true, {}},
};

// The settings of a 2-character mode code; nullptr for an unknown code.
const ModeSettings* find_mode(std::string_view code) {
    for (const ModeSettings& m : kModes)
        if (m.code == code) return &m;
    return nullptr;
}

// Opens the file with the code's settings and puts it on the unit; false when it cannot
// be opened (errno tells why).
bool open_on_unit(int unit, const std::string& name, const ModeSettings& m) {
    std::unique_ptr<File> f = File::open(name, m.kind, m.existing, m.read_write);
    if (!f) return false;
    f->set_layout(m.layout);
    attach_unit_file(unit, std::move(f));
    return true;
}

// An open that has no retry failed: the run cannot go on without the file.
[[noreturn]] void cannot_open(std::string_view shown) {
    const std::string why = std::strerror(errno);
    console().finish_line();
    console().line("ERROR - Unable to open \"" + std::string(shown) + "\": " + why + ".");
    EXITS();
}

// Asks for another name; a blank answer keeps the name for one more attempt.
void ask_for_name(std::string& name, std::string_view description) {
    std::string shown_description(description);
    const int n = LENSL(shown_description);
    if (n > 0) {
        console().write("What is the " + shown_description.substr(0, static_cast<std::size_t>(n)) +
                        " file name? ");
    } else {
        console().write("\nCheck file exists and press enter or enter another file name: ");
    }
    const std::optional<std::string> answer = console().read_line();
    if (!answer) {
        if (trimmed_length(name) == 0)
            end_of_input("asking for a file name");
        end_of_input("asking for another name for the file \"" + trimmed(name) + "\"");
    }
    const std::string typed = TRIMF(fit(*answer, kNameLen));
    if (!typed.empty())
        name = typed;
    else
        console().write("\nNo file name entered.  Trying file again...\n");
}

// Whether an output code asks before closing a file this run holds; codes beginning
// "A" or "S" open it once more without asking.
bool asks_before_closing(std::string_view code) { return code[0] != 'A' && code[0] != 'S'; }

}  // namespace

std::string mode_code(std::string_view mode) {
    std::string code(mode.substr(0, std::min<std::size_t>(2, mode.size())));
    code.resize(2, ' ');
    return code;
}

void stop_run(std::string_view message) {
    console().line(message);
    throw RunEnd{1};
}

void end_of_input(std::string_view what) {
    console().finish_line();
    if (console().answer_too_long())
        console().line("ERROR - Console input line longer than 1 MiB while " + std::string(what) + ".");
    else
        console().line("ERROR - End of console input while " + std::string(what) + ".");
    EXITS();
}

void ENTEX(int& unit, std::string& name, std::string_view mode, std::string_view description) {
    if (!is_table_unit(unit)) {
        fail_at_once("ERROR - File unit " + std::to_string(unit) + " is not a unit of the file-unit tables.");
    }
    const std::string code = mode_code(mode);
    const ModeSettings* m = find_mode(code);
    for (bool ask = trimmed_length(name) == 0;; ask = true) {
        if (ask) ask_for_name(name, description);
        CLEANPATH(name);
        const std::string shown(rtrim(name));
        console().write("\nTrying to open file " + shown + "...");
        const bool exists = file_exists(name);

        if (m && m->input) {
            if (!exists) {
                console().write("\nCHECK 0008 - \"" + shown + "\" cannot be found\n");
                continue;
            }
            if (!open_on_unit(unit, name, *m)) cannot_open(shown);
            console().line("OK.");
            console().line("Opened File Unit:" + integer_field(unit, 4));
            return;
        }

        if (asks_before_closing(code)) {
            FileId id;
            const int holder = file_id(name, id) ? unit_holding(id) : 0;
            if (holder != 0 && holder != unit) {
                console().line();
                console().write(shown + " is already open, close it? ");
                const std::optional<std::string> answer = console().read_line();
                if (!answer) end_of_input("asking whether to close \"" + shown + "\"");
                if (answer->empty() || (answer->front() != 'y' && answer->front() != 'Y')) continue;
                if (!close_held_unit(holder)) stop_run("  Unable to close file.");
            }
        }

        if (code == "LO")
            fail_at_once("Should not be here [entex - lo]. Please contact " + std::string(kSupportAddress));
        if (!m) {
            std::string first80 = name.substr(0, std::min<std::size_t>(80, name.size()));
            first80.resize(80, ' ');
            console().line("  Unrecognised file type " + code + " file " + first80);
            return;
        }
        if (code == "IO") {
            if (!open_on_unit(unit, name, *m)) cannot_open(shown);
            return;
        }
        // Nothing but a file is ever written over; an output is explained and retried until it
        // opens.
        refuse_unwritable_output(name);
        for (;;) {
            if (open_on_unit(unit, name, *m)) {
                console().line("OK.  File Unit:" + integer_field(unit, 4));
                return;
            }
            if (code == "A " && exists) {
                console().line("FAILED.  No File Unit allocated.");
                unit = 0;
                return;
            }
            console().line("Can't Open");
            console().line();
            console().line(" Can't open: " + shown);
            console().line();
            console().line(" Another application or user maybe using it,");
            console().line("    or the file's folder does not exist.");
            console().line(" If so, close the file or create file path.");
            if (!pause_until_enter()) end_of_input("waiting to try \"" + shown + "\" again");
        }
    }
}

void WRITENOADVANCE(std::string_view text, int n) {
    if (n <= 0) return;
    console().write(text.substr(0, std::min(static_cast<std::size_t>(n), text.size())));
}

int LENSL(std::string& text) {
    std::size_t i = text.size();
    while (i >= 1 && (text[i - 1] == ' ' || text[i - 1] == '\0')) --i;
    if (i >= 1 && i < text.size()) text[i] = '\0';
    return static_cast<int>(i);
}

int CSTRINGEND(std::string& text) {
    const std::size_t i = text.find_first_of(std::string_view(" \0", 2));
    if (i == std::string::npos) return static_cast<int>(text.size());
    text[i] = '\0';
    return static_cast<int>(i);
}

void WRITEPROMPT(std::string& text) {
    const int n = LENSL(text);
    WRITENOADVANCE(text, n);
}

void READPROMPT(std::string& text, int& length, std::size_t field) {
    const std::optional<std::string> answer = console().read_line();
    if (!answer) end_of_input("waiting for an answer");
    text = answer->substr(0, std::min(field, answer->size()));
    text.resize(field, ' ');
    length = LENSL(text);
}

bool ASKYES(std::string_view question) {
    console().write(std::string(question) + "? ");
    const std::optional<std::string> answer = console().read_line();
    if (!answer) end_of_input("asking \"" + trimmed(question) + "?\"");
    const char first = answer->empty() ? ' ' : answer->front();
    return first == 'y' || first == 'Y';
}

std::array<bool, 26>& debug_flags() {
    static std::array<bool, 26> flags{};
    return flags;
}

void SETFLAGS() {
    console().write("Set flags: ");
    const std::optional<std::string> answer = console().read_line();
    if (!answer) end_of_input("asking for debug flags");
    for (char c : std::string_view(*answer).substr(0, std::min<std::size_t>(26, answer->size()))) {
        if (c >= 'A' && c <= 'Z') debug_flags()[static_cast<std::size_t>(c - 'A')] = true;
        if (c >= 'a' && c <= 'z') debug_flags()[static_cast<std::size_t>(c - 'a')] = true;
    }
}

}  // namespace zorvel::util
