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

// "held": the close question of the engine closed the file under its owner; the
// entry is not open, but stays out of the pool until its owner returns it with CLOSER.
struct PoolEntry {
    int unit = 0;
    bool open = false;
    bool held = false;
    std::int32_t file_type = 0;
    std::unique_ptr<File> file;
};

struct SlotEntry {
    int unit = 0;
    bool open = false;
    bool held = false;
    std::string mode = "  ";
    std::string name;
    int name_length = 0;
    std::unique_ptr<File> file;
};

struct UnitTables {
    int base = 0;
    std::array<SlotEntry, kSlotCount> slots;
    std::array<PoolEntry, kPoolSize> pool;
    bool pause_before_exit = true;  // also for a caller of the library that never ran FILEUNITINIT
    bool keep_units = false;
    std::string working_name;  // the name OPENFILE is opening
    int io_input_unit = 0;     // the units OPENINPUTOUTPUT opened
    int io_output_unit = 0;
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
// Closes every open unit of the tables, with one line for all of them.
void CLOSEALL();
// The file type code a pool unit got from its file's extension; 0 for other units.
std::int32_t GETFILETYPE(int unit);
// Opens prefix + slot 1's name + extension on a pool unit.
void OPENPREFIXED(int& unit, std::string_view mode, std::string_view prefix, std::string_view extension);

// Slot units (slots 1 to 8), each opened under the name it stores. Opens the slot's
// name (asking for one when it has none and ask is 1 or more) on the slot's unit.
void OPENER(int slot, int& unit, std::string_view mode, std::string_view description, int ask);
// Stores the name in the slot, then opens it.
void SETNAMEOPEN(int slot, int& unit, std::string_view name, std::string_view mode,
                 std::string_view description, int ask);
// Gives a slot without a name one made from the prefix and slot 1's name, then opens it.
void DEFAULTNAMEOPEN(int slot, int& unit, std::string_view mode, std::string_view description, int ask,
                     std::string_view prefix);
// Opens slot 1 as "input" and slot 2 as "output", asking for names they do not have.
void OPENINPUTOUTPUT();
// True when the slot has a name.
bool NAMED(int slot);
// The slot's name.
void GETNAM(int slot, std::string& name);
// Forgets the slot's name.
void CLEARNAME(int slot);

// Ends the run: closes every open unit silently and moves the outputs into place (an error
// end removes their temporary files instead), pauses at "Press Enter to Close", and ends with the given status (1, an
// error end, unless the caller says otherwise).
[[noreturn]] void EXITS(int status = 1);
// Ends the run after an error: an empty line, the message, then EXITS.
[[noreturn]] void fail(std::string_view message);
// Ends the run after an error: the message (no empty line before it), then EXITS.
[[noreturn]] void fail_at_once(std::string_view message);
// Ends the run at a time that no step has within the time search tolerance: the message as
// fail writes it (as fail_at_once when at_once), then a line on how to widen the search.
[[noreturn]] void time_not_found(std::string_view message, bool at_once = false);
// Pauses at "Press Enter to Continue" until Enter (or the end of input).
void PAUSESIMULATION();
// The same pause; false when the console input ended instead of Enter.
bool pause_until_enter();
// True when both values are 0 or above, or both below 0.
bool SAMESIGN(float a, float b);

// Ends the run at once: waits for Enter with no line of its own, then ends with the
// status (the "pause-and-exit" of the command line's errors).
[[noreturn]] void pause_and_exit(int status);

// The File open on a unit, or nullptr when no open entry has that unit.
File* unit_file(int unit);
// Writes the text and a line end to the output open on the unit (a log, a MIF or MID
// file); a unit below 1, or one without an open output, gets nothing.
void unit_line(int unit, std::string_view text);

// For the opening engine: true when the unit is a unit of the tables.
bool is_table_unit(int unit);
// For the opening engine: puts the file just opened on the unit's entry (the caller books it).
void attach_unit_file(int unit, std::unique_ptr<File> file);
// The unit of an open entry whose file is the one identified, 0 when none holds it.
int unit_holding(const FileId& id);
// The close the engine's close question makes, and the early close of a finished text
// output: closes the unit's file under its owner and holds the entry until the owner's
// CLOSER (or the end of the run); false when the close failed (an output is then removed).
bool close_held_unit(int unit);

// Closes every file still open at the end of the process and moves the outputs into place;
// gives the status the run ends with. At an error end (status not 0) the temporary file of
// every output the run has begun is removed instead, closed or not, and every earlier file
// under their names stays as it was.
int close_all_at_end(int status);
// Moves every output the run has completed onto its final name (see begun_outputs.hpp); a
// move that fails ends the run.
void move_outputs_into_place();

}  // namespace zorvel::util
