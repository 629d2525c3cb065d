#include "util/units.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "util/begun_outputs.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/opener.hpp"
#include "util/paths.hpp"
#include "util/run_end.hpp"
#include "util/support.hpp"
#include "util/text.hpp"

namespace zorvel::util {

namespace {

// Closes one table entry's file; at an error end an output is removed instead.
template <typename Entry>
void close_entry(Entry& e, bool error_end) {
    if (!e.open || !e.file || !e.file->is_open()) return;
    if (error_end && e.file->is_output())
        e.file->discard();
    else
        e.file->close();
}

// Closes every open entry's file, slots first; at an error end outputs are removed instead.
void close_entries(bool error_end) {
    UnitTables& t = unit_tables();
    for (SlotEntry& s : t.slots) close_entry(s, error_end);
    for (PoolEntry& p : t.pool) close_entry(p, error_end);
}

// Calls f on the entry of the unit (slots first, then the pool); false when no entry has it.
template <typename F>
bool with_entry(int unit, F&& f) {
    UnitTables& t = unit_tables();
    for (SlotEntry& s : t.slots)
        if (s.unit == unit) {
            f(s);
            return true;
        }
    for (PoolEntry& p : t.pool)
        if (p.unit == unit) {
            f(p);
            return true;
        }
    return false;
}

// Closes an entry's file; an output whose contents did not all reach the disk ends
// the run, and what it wrote is taken back, since the file cannot be trusted.
void close_checked(std::unique_ptr<File>& file) {
    if (!file) return;
    std::unique_ptr<File> f = std::move(file);
    if (f->close() || !f->is_output()) return;
    const std::string name = f->name();
    f->discard();
    console().finish_line();
    console().line("ERROR - Writing to \"" + name + "\" failed.");
    EXITS();
}

// The run's begun outputs at its end: moved into place at a normal end (status 0), else
// their temporary files removed.
void end_begun_outputs(int status) {
    if (status == 0)
        move_outputs_into_place();
    else
        remove_begun_outputs();
}

// Slot i (1 to 8) of the tables; the caller has checked the number.
SlotEntry& slot_entry(int slot) { return unit_tables().slots[static_cast<std::size_t>(slot - 1)]; }

// True for a slot number of the tables (1 to 8).
bool valid_slot(int slot) { return slot >= 1 && slot <= kSlotCount; }

// The non-blank characters of the first n characters of a text.
std::string non_blank(std::string_view text, std::size_t n) {
    std::string out;
    for (char c : text.substr(0, std::min(n, text.size())))
        if (c != ' ') out.push_back(c);
    return out;
}

// The part of slot 1's name that derived names use: from its third character when its
// second is "_", else all of it.
std::size_t slot1_name_start() {
    const std::string& n = slot_entry(1).name;
    return n.size() >= 2 && n[1] == '_' ? 2 : 0;
}

}  // namespace

UnitTables& unit_tables() {
    static UnitTables tables;
    return tables;
}

void FILEUNITINIT(int base) {
    UnitTables& t = unit_tables();
    const int b = base <= 9 ? 9 : base;
    t.base = b;
    for (int i = 0; i < kSlotCount; ++i) {
        SlotEntry& s = t.slots[static_cast<std::size_t>(i)];
        s.unit = b - 8 + (i + 1);
        s.open = false;
        s.held = false;
        s.mode = "  ";
        s.name_length = 0;
        s.file.reset();
    }
    for (int i = 0; i < kPoolSize; ++i) {
        PoolEntry& p = t.pool[static_cast<std::size_t>(i)];
        p.unit = b + (i + 1);
        p.open = false;
        p.held = false;
        p.file_type = 0;
        p.file.reset();
    }
    t.pause_before_exit = true;
    t.keep_units = false;
}

void OPENFILE(int& unit, std::string_view mode, std::string& name) {
    UnitTables& t = unit_tables();
    t.working_name = fit(TRIMF(name), kNameLen);
    if (t.working_name.empty()) {
        console().line();
        console().line("Empty filename specified.  Bailing out.  Please contact " + std::string(kSupportAddress) +
                       ".");
        console().line("Press Enter to Close");
        console().wait_for_enter();
        throw RunEnd{1};
    }
    auto entry = std::find_if(t.pool.begin(), t.pool.end(), [](const PoolEntry& p) { return !p.open && !p.held; });
    if (entry == t.pool.end()) stop_run("No free file numbers.");
    entry->file.reset();
    unit = entry->unit;
    std::string asked = t.working_name;
    CLEANPATH(asked);
    ENTEX(unit, t.working_name, mode, "  ");
    const std::string ext = FILEEXT(t.working_name);
    if (ext == ".mif") entry->file_type = 101;
    if (ext == ".mid") entry->file_type = 102;
    if (ext == ".12da") entry->file_type = 111;
    entry->open = unit != 0 && entry->file != nullptr;
    if (!entry->open) unit = 0;
    // A name typed at the prompt goes back to the caller: it is the file really opened.
    if (t.working_name != asked) name = t.working_name;
}

void CLOSER(int& unit) {
    with_entry(unit, [&](auto& e) {
        if (!e.open && !e.held) return;
        e.open = false;
        e.held = false;
        close_checked(e.file);
        console().line("...Closed File Unit:" + integer_field(e.unit, 4));
        unit = 0;
    });
}

void CLOSEALL() {
    console().line();
    console().line("Closing all file units...");
    UnitTables& t = unit_tables();
    auto close_open = [](auto& e) {
        if (!e.open) return;
        e.open = false;
        close_checked(e.file);
    };
    for (SlotEntry& s : t.slots) close_open(s);
    for (PoolEntry& p : t.pool) close_open(p);
}

std::int32_t GETFILETYPE(int unit) {
    for (const PoolEntry& p : unit_tables().pool)
        if (p.unit == unit) return p.file_type;
    return 0;
}

void OPENPREFIXED(int& unit, std::string_view mode, std::string_view prefix, std::string_view extension) {
    const SlotEntry& first = slot_entry(1);
    std::string name = non_blank(prefix, 2);
    const std::size_t from = slot1_name_start();
    const std::size_t to = std::min(static_cast<std::size_t>(std::max(first.name_length, 0)), first.name.size());
    if (to > from) name += first.name.substr(from, to - from);
    name += non_blank(extension, 4);
    name = fit(name, kNameLen);
    OPENFILE(unit, mode, name);
}

void OPENER(int slot, int& unit, std::string_view mode, std::string_view description, int ask) {
    if (!valid_slot(slot)) stop_run("Incorrect file number - OPENER");
    SlotEntry& s = slot_entry(slot);
    if (s.open) stop_run("File already opened - OPENER");
    if (ask < 1 && s.name_length < 1) EXITS();
    unit = s.unit;
    s.mode = mode_code(mode);
    s.held = false;
    s.file.reset();
    ENTEX(unit, s.name, mode, description);
    // Book what the engine did, under the name it really opened.
    s.name = trimmed(s.name);
    s.name_length = static_cast<int>(s.name.size());
    s.open = unit != 0 && s.file != nullptr;
    if (!s.open) unit = 0;
}

void SETNAMEOPEN(int slot, int& unit, std::string_view name, std::string_view mode, std::string_view description,
                 int ask) {
    if (valid_slot(slot)) {
        SlotEntry& s = slot_entry(slot);
        s.name = fit(TRIMF(name), kNameLen);
        s.name_length = static_cast<int>(s.name.size());
    }
    OPENER(slot, unit, mode, description, ask);
}

void DEFAULTNAMEOPEN(int slot, int& unit, std::string_view mode, std::string_view description, int ask,
                     std::string_view prefix) {
    if (valid_slot(slot) && slot_entry(slot).name_length == 0) {
        const SlotEntry& first = slot_entry(1);
        const std::size_t from = slot1_name_start();
        std::string head(prefix.substr(0, std::min<std::size_t>(2, prefix.size())));
        head.resize(2, ' ');
        const std::string derived = fit(head + first.name.substr(std::min(from, first.name.size())), kNameLen);
        const int length = from == 2 ? first.name_length : first.name_length + 2;
        SlotEntry& s = slot_entry(slot);
        s.name = derived;
        s.name_length = std::min(length, static_cast<int>(kNameLen));
    }
    OPENER(slot, unit, mode, description, ask);
}

void OPENINPUTOUTPUT() {
    UnitTables& t = unit_tables();
    OPENER(1, t.io_input_unit, "I ", "input", 8);
    OPENER(2, t.io_output_unit, "F ", "output", 9);
}

bool NAMED(int slot) {
    if (!valid_slot(slot)) stop_run("Invalid file number - NAMED");
    return slot_entry(slot).name_length >= 1;
}

void GETNAM(int slot, std::string& name) {
    if (!valid_slot(slot)) stop_run("Invalid file number - GETNAM");
    name = slot_entry(slot).name;
}

void CLEARNAME(int slot) {
    if (!valid_slot(slot)) return;
    slot_entry(slot).name.clear();
    slot_entry(slot).name_length = 0;
}

void EXITS(int status) {
    const UnitTables& t = unit_tables();
    if (!t.keep_units) close_entries(status != 0);
    // Every output of the run is complete at a normal end; an error end takes them all back.
    end_begun_outputs(status);
    if (t.pause_before_exit) {
        console().line();
        console().line("Press Enter to Close");
        console().wait_for_enter();
    }
    throw RunEnd{status};
}

void fail(std::string_view message) {
    line_after_gap(message);
    EXITS();
}

void fail_at_once(std::string_view message) {
    console().line(message);
    EXITS();
}

void time_not_found(std::string_view message, bool at_once) {
    if (at_once)
        console().line(message);
    else
        line_after_gap(message);
    console().line("Use -dttol<tolerance> to widen the time search, e.g. -dttol0.01");
    EXITS();
}

void PAUSESIMULATION() { (void)pause_until_enter(); }

bool pause_until_enter() {
    console().line();
    console().line("Press Enter to Continue");
    return console().read_line().has_value();
}

bool SAMESIGN(float a, float b) { return (a >= 0.0f && b >= 0.0f) || (a < 0.0f && b < 0.0f); }

void pause_and_exit(int status) {
    console().wait_for_enter();
    throw RunEnd{status};
}

File* unit_file(int unit) {
    UnitTables& t = unit_tables();
    for (SlotEntry& s : t.slots)
        if (s.unit == unit && s.open) return s.file.get();
    for (PoolEntry& p : t.pool)
        if (p.unit == unit && p.open) return p.file.get();
    return nullptr;
}

void unit_line(int unit, std::string_view text) {
    if (unit < 1) return;
    File* f = unit_file(unit);
    if (f == nullptr || !f->is_output()) return;
    f->write(text);
    f->put('\n');
}

bool is_table_unit(int unit) {
    return unit != 0 && with_entry(unit, [](auto&) {});
}

void attach_unit_file(int unit, std::unique_ptr<File> file) {
    with_entry(unit, [&](auto& e) { e.file = std::move(file); });
}

int unit_holding(const FileId& id) {
    UnitTables& t = unit_tables();
    for (SlotEntry& s : t.slots)
        if (s.open && s.file && s.file->is_open() && s.file->id() == id) return s.unit;
    for (PoolEntry& p : t.pool)
        if (p.open && p.file && p.file->is_open() && p.file->id() == id) return p.unit;
    return 0;
}

bool close_held_unit(int unit) {
    bool ok = true;
    with_entry(unit, [&](auto& e) {
        if (e.file) {
            ok = e.file->close() || !e.file->is_output();
            if (!ok) e.file->discard();
            e.file.reset();
        }
        e.open = false;
        e.held = true;
    });
    return ok;
}

int close_all_at_end(int status) {
    close_entries(status != 0);
    try {
        end_begun_outputs(status);
    } catch (const RunEnd& end) {
        status = end.status;  // an output that could not be moved into place
    }
    console().finish_line();
    console().flush();
    return status;
}

void move_outputs_into_place() {
    std::string failed;
    bool written_into = false;
    if (move_begun_outputs_into_place(failed, written_into)) return;
    const std::string why = std::strerror(errno);
    console().finish_line();
    if (written_into)
        console().line("ERROR - Unable to write the completed output into \"" + failed + "\": " + why + ".");
    else
        console().line("ERROR - Unable to move the completed output onto \"" + failed + "\": " + why + ".");
    EXITS();
}

}  // namespace zorvel::util
