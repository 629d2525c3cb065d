#pragma once
// The binary ".dat" result format: one dataset of one mesh, a header of cards,
// one time record per output time and an end card. A plain little-endian byte
// stream without record markers or padding.
//
//   card      int32 code saying what follows
//   3000      nothing (first card written)
//   100 150 160   one int32, read and dropped (written: 100=3)
//   110       int32 bytes per real: 4 (written 4; a file with another value is refused)
//   120       int32 bytes per activity flag: 1 (written 1; a file with another value is refused)
//   130 / 140 nothing: the values are scalars / vectors
//   170       int32 number of nodes n
//   180       int32 number of cells c
//   190       40-byte blank-padded dataset name
//   200       a time record:
//               int8  flag byte (1: cell flags follow; any other value: none)
//               real  time in hours, or a time code
//               c x int8 cell flags (1 wet, 0 dry), only when the flag byte is 1
//               n x real (scalar) or n x (x, y) real pairs (vector)
//   210       end of the data (a file may also just end after its last record)
//   other     in the header: carries nothing, the next card follows at once;
//             after a time record: refused (only 200 or 210 may follow a record)
//
// As written: 3000, 100 3, 110 4, 120 1, 130|140, 170 n, 180 c, 190 name (92 bytes),
// then 200 records with flag byte 1 (9 + c + 4n or 9 + c + 8n bytes each), then 210.
// Readers accept the header cards in any order.
//
// Files are read from and written to file units (opened "BI" / "BO"). A read that
// the file cannot satisfy, a header with impossible counts and a failed write end
// the run with an "ERROR - " line naming the file, as do a layout the reader does not
// handle (cards 110 and 120) and a record followed by a card of no record.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "results/res_type.hpp"
#include "results/step_fold.hpp"
#include "results/water_level.hpp"

namespace zorvel::results {

inline constexpr std::int32_t kCardTimeRecord = 200;
inline constexpr std::int32_t kCardEnd = 210;

// Reads the header up to its first time record; card comes back 200 when one
// follows, the file then standing at that record's flag byte. Outputs that the
// file does not set keep what the caller put there.
void READDATHEADER(int unit, std::int32_t& nnodes, std::int32_t& ncells, std::int32_t& card, bool& vector,
                   std::string_view file_name, std::string& name);

// Reads one time record whose card 200 has been read, then the card after it
// (210 at the end of the file). Flags keep their contents when the record has none;
// y is touched only for vectors.
void ReadDatFile(int unit, bool vector, std::int32_t nnodes, std::int32_t ncells, std::span<std::int8_t> flags,
                 std::span<float> x, std::span<float> y, float& time, std::int32_t& card);
// The times of the records from the one the file stands at (its card 200 read) to the
// last, read without a console line and with their values skipped; the file is then put
// back where it stood.
std::vector<float> remaining_record_times(int unit, bool vector, std::int32_t nnodes, std::int32_t ncells);
// ReadDatFile for a caller that wants only the time: the same console lines and card,
// the record's flags and values moved past unread.
void read_dat_time(int unit, bool vector, std::int32_t nnodes, std::int32_t ncells, float& time,
                   std::int32_t& card);
// ReadDatFile after a line of its own.
void READDATFILE2(int unit, bool vector, std::int32_t nnodes, std::int32_t ncells, std::span<std::int8_t> flags,
                  std::span<float> x, std::span<float> y, float& time, std::int32_t& card);

// Writes the 92-byte header; a name longer than 40 characters keeps its last 40.
void WRITE_DAT_HEADER(int unit, std::string_view name, bool vector, std::int32_t nnodes, std::int32_t ncells);
// Writes one time record of the record at its time, with its cell flags.
void WRITE_DAT_TIMESTEP(int unit, const RES_TYPE& res, std::string_view out_path, bool vector);
// WRITE_DAT_TIMESTEP with values as a ".dat" record of the output's layout stores them.
void write_dat_step_as_stored(int unit, const RES_TYPE& res, std::span<const std::byte> values,
                              std::string_view out_path);
// Writes the end card that closes the data.
void WRITE_DAT_END_CARD(int unit);

// Reads the next time record into the record; sets end_of_data when none follows.
void NEXTDATTIMESTEP(int unit, RES_TYPE& res);
// NEXTDATTIMESTEP for a record that is to be written again unchanged: its time, cell
// flags and end mark go into the record, but its values are kept as the file stores
// them (valid until the next such read) in place of the record's nodes.
std::span<const std::byte> next_dat_step_as_stored(int unit, RES_TYPE& res);
// Puts values kept as a ".dat" record stores them into the record's nodes.
void dat_values_into(std::span<const std::byte> values, RES_TYPE& res);
// NEXTDATTIMESTEP for the walks that compare one value per node from step to step: the
// record gets the time and flags, now the values (the magnitudes of vectors); the
// record's node values are left as they were.
void next_dat_magnitudes(int unit, RES_TYPE& res, std::span<float> now);
// For a walk that folds its steps (see step_fold.hpp): the records from the next one on
// that can be folded together (at least two and at most four, each carrying its own
// flags and a time for which is_step holds, whole in the file and followed by a further
// record) are folded into fold as one run, straight from the file, and the record keeps
// the last one's flags; the file stays where it was. Gives the number folded, 0 for none.
std::size_t fold_dat_steps(int unit, RES_TYPE& res, StepFold& fold, bool (*is_step)(float));
// NEXTDATTIMESTEP for a record that fold_dat_steps has folded: the same lines, its time and
// end mark into the record, its flags and values moved past.
void next_dat_folded(int unit, RES_TYPE& res);
// NEXTDATTIMESTEP for a walk that folds its steps, for a record that is not folded with
// others: the record gets the time and flags, and when is_step holds for its time its
// values are folded into fold as a run of one step, straight from the file.
void next_dat_folding(int unit, RES_TYPE& res, StepFold& fold, bool (*is_step)(float));
// Reads the next time record's values (first components) and flags into the water levels.
void NEXTDATVALUES(int unit, const RES_TYPE& res, WaterLevelRecord& wl);
// Reads on from where the file stands to the next record within tol of time, into the water
// levels as NEXTDATVALUES does; the records before it are passed over unread. False when the
// file ends first (or had ended): the levels then keep the record they held.
bool next_dat_values_at(int unit, const RES_TYPE& res, WaterLevelRecord& wl, float time, float tol);
// Reads the file from its header to the record within tol of time, into the record; a
// time that no record has ends the run with a line on widening the search (-dttol).
void FINDDATTIME(int unit, RES_TYPE& res, float time, float tol, std::string_view file_name);
// The same search into the water levels' values and flags; a time that no record has
// ends the run without that line.
void FINDDATVALUES(int unit, const RES_TYPE& res, WaterLevelRecord& wl, float time, float tol);

// Folds the file's remaining records into the maximum and the time of the maximum,
// or takes the stored maximum (time 99999) when it is the last record. A time record
// that holds fewer nodes than the maximum keeps no times.
void DATMAXIMUMS(int unit, bool vector, RES_TYPE& max, RES_TYPE& tmax, bool ignore_mm);
// The same for the minimum (codes -99999 and -99999.1).
void DATMINIMUMS(int unit, bool vector, RES_TYPE& min, RES_TYPE& tmin, bool ignore_mm);
// Adds the file's remaining output times into the record and divides by their number.
void DATAVERAGES(int unit, bool vector, RES_TYPE& res);

// What a record's time stands for: an output time, or one of the time codes (99999 a
// stored maximum, -99999 a stored minimum, 900001 and 900002 the times of peak water
// level and velocity, 100000 + x the time of first depth above x, 200000 + x the
// duration above x); every other value is unknown. The tests are on 32-bit reals.
enum class TimeKind { temporal, maximum, minimum, peak_h, peak_v, first_depth, duration, unknown };
TimeKind time_kind(float time);
// The label of a time or time code, in full: "Temporal", "Maximums", "Minimums", "Time of
// Peak h", "Time of Peak V", "Time of First Depth > 0.10m", "Duration Above 0.30m", or
// "Unknown " and the whole-number part of the time.
std::string time_label(float time);
// The label cut to 20 characters.
std::string TIMELABEL(float time);

}  // namespace zorvel::results
