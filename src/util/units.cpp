#include "util/units.hpp"

#include "util/console.hpp"
#include "util/run_end.hpp"

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
        s.mode = "  ";
        s.name_length = 0;
        s.file.reset();
    }
    for (int i = 0; i < kPoolSize; ++i) {
        PoolEntry& p = t.pool[static_cast<std::size_t>(i)];
        p.unit = b + (i + 1);
        p.open = false;
        p.file_type = 0;
        p.file.reset();
    }
    t.pause_before_exit = true;
    t.keep_units = false;
}

void EXITS(int status) {
    UnitTables& t = unit_tables();
    if (!t.keep_units) {
        for (SlotEntry& s : t.slots) close_entry(s, status != 0);
        for (PoolEntry& p : t.pool) close_entry(p, status != 0);
    }
    if (t.pause_before_exit) {
        console().line();
        console().line("Press Enter to Close");
        console().wait_for_enter();
    }
    throw RunEnd{status};
}

void PAUSESIMULATION() {
    console().line();
    console().line("Press Enter to Continue");
    console().wait_for_enter();
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

void close_all_at_end(int status) {
    UnitTables& t = unit_tables();
    for (SlotEntry& s : t.slots) close_entry(s, status != 0);
    for (PoolEntry& p : t.pool) close_entry(p, status != 0);
    console().finish_line();
    console().flush();
}

}  // namespace zorvel::util
