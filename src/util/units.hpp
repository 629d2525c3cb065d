#pragma once
// The file-unit tables and the run frame: a pool of 1000 units handed out first
// free first, 8 slot units with stored names, and the ways a run pauses and ends.
// Each unit owns the File open on it.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "util/file_io.hpp"

namespace zorvel::util {

inline constexpr int kPoolSize = 1000;
inline constexpr int kSlotCount = 8;

struct PoolEntry {
    int unit = 0;
    bool open = false;
    std::int32_t file_type = 0;
    std::unique_ptr<File> file;
};

struct SlotEntry {
    int unit = 0;
    bool open = false;
    std::string mode = "  ";
    std::string name;
    int name_length = 0;
    std::unique_ptr<File> file;
};

struct UnitTables {
    int base = 0;
    std::array<SlotEntry, kSlotCount> slots;
    std::array<PoolEntry, kPoolSize> pool;
    bool pause_before_exit = false;
    bool keep_units = false;
};

// The process's one set of tables.
UnitTables& unit_tables();

// Sets up the tables with the given unit base (9 or less counts as 9).
void FILEUNITINIT(int base);
// Opens a file on the first free pool unit with a mode code ("I ", "BI", "O ", "BO", ...),
// tracing the attempt on the console; a name typed at the prompt for a missing input
// replaces the caller's name, so the caller goes on with the file really opened.
void OPENFILE(int& unit, std::string_view mode, std::string& name);
// Closes a unit of the tables, traces it and sets the caller's unit to 0.
void CLOSER(int& unit);
void CLOSEALL();

// Ends the run: closes every open unit silently, pauses at "Press Enter to Close",
// and ends with the given status (1, an error end, unless the caller says otherwise).
[[noreturn]] void EXITS(int status = 1);
// Pauses at "Press Enter to Continue" until Enter (or the end of input).
void PAUSESIMULATION();
bool SAMESIGN(float a, float b);

// Ends the run at once: waits for Enter with no line of its own, then ends with the
// status (the "pause-and-exit" of the command line's errors).
[[noreturn]] void pause_and_exit(int status);

// The File open on a unit, or nullptr when no open entry has that unit.
File* unit_file(int unit);

// Closes every file still open at the end of the process. At an error end
// (status not 0) outputs still open are removed instead, so none is left
// half-written looking valid.
void close_all_at_end(int status);

}  // namespace zorvel::util
