// Reading ".dat" records into result records: the next record, the record at a
// time, and the reductions of all records to a maximum, minimum or average.
// A record's flags and values are read straight into the arrays that keep them, or a
// piece at a time into the fold buffer and used from there while they are in the cache;
// a search skips the records it passes, a reduction those it does not fold. A reduction
// folds straight into the node arrays of its records. A record without flags stands for
// the flags of the last record that carried them; those are read again from the file
// when needed.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <vector>

#include "results/dat.hpp"
#include "results/dat_fold.hpp"
#include "results/dat_group.hpp"
#include "results/dat_io.hpp"
#include "results/res_ops.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::results {

namespace {

using dat_io::load_real;

std::vector<float> g_values;       // sums of an average: x, or x and y per node
std::vector<float> g_speeds;       // speeds of the running vectors
std::vector<std::int8_t> g_flags;  // flags of an earlier record, read again
std::vector<std::byte> g_stored;   // values of a record as the file stores them, kept for a copy

// The cells that a record counts and holds.
std::span<CELL_RES_TYPE> cells_of(RES_TYPE& res) {
    return {res.CELL.data(), std::min(length_of(res.ncells), res.CELL.size())};
}

// Copies a record's values into the nodes: x into value, and y for a vector layout.
void scatter_values(const std::byte* values, bool vector, RES_TYPE& res) {
    const std::size_t n = nodes_held(res);
    if (vector)
        dat_fold::split_pairs(values, n, res.value.data(), res.y.data());
    else if (n > 0)
        std::memcpy(res.value.data(), values, 4 * n);
}

// Copies flags as they are into the cells.
void copy_flags(const void* flags, std::span<CELL_RES_TYPE> cells) {
    if (!cells.empty()) std::memcpy(cells.data(), flags, cells.size());
}

// The flags that stand for a record without flags: those of the last record of
// this pass that carried them, read again from the file when first asked for.
class LastFlags {
public:
    explicit LastFlags(std::size_t ncells) : nc_(ncells) {}
    // A record's flags begin at offset at.
    void seen(std::uint64_t at) {
        at_ = at;
        loaded_ = false;
    }
    // The flags, or nullptr when no record of this pass carried any.
    const std::int8_t* get(util::File& f) {
        if (at_ == 0) return nullptr;
        std::int8_t* kept = work_array(g_flags, static_cast<std::int64_t>(nc_)).data();
        if (!loaded_) {
            if (nc_ > 0) dat_io::read_back(f, at_, kept, nc_);
            loaded_ = true;
        }
        return kept;
    }

private:
    std::size_t nc_;
    std::uint64_t at_ = 0;
    bool loaded_ = false;
};

// The record that a search found: its parts as viewed, valid until the next call on the file.
struct Found {
    float time = 0.0f;
    bool vector = false;
    const std::byte* flags = nullptr;  // nullptr when neither it nor an earlier record carried flags
    const std::byte* values = nullptr;
};

constexpr std::string_view kTimeNotFound = "ERROR - Could not find specified timestep in .dat file.";

// Reads the file from its header up to the first record within tol of time and
// hands its parts to take; the records before it are skipped over. False when no record
// lies within tol of the time.
template <typename Take>
bool search(int unit, std::int32_t nnodes, std::int32_t ncells, float time, float tol, std::string_view header_name,
            Take&& take) {
    util::File& f = dat_io::input(unit);
    if (!f.rewind()) dat_io::cut_off(f);
    std::int32_t hn = 0, hc = 0, card = 0;
    bool vector = false;
    std::string name;
    READDATHEADER(unit, hn, hc, card, vector, header_name, name);
    if (hn != nnodes || hc != ncells) dat_io::counts_differ(f);
    const std::size_t nc = length_of(ncells);
    const std::size_t nv = dat_io::value_bytes(nnodes, vector);
    std::uint64_t records = 0;
    std::uint64_t flags_at = 0;  // where the last skipped flags were; 0 for none
    while (card == kCardTimeRecord && !f.at_end()) {
        const dat_io::RecordHead head = dat_io::read_head(f);
        ++records;
        const std::size_t fb = head.has_flags() ? nc : 0;
        if (tol > std::fabs(head.time - time)) {
            // Earlier flags are read back before the record is viewed.
            const std::byte* earlier = nullptr;
            if (!head.has_flags() && flags_at > 0) {
                std::int8_t* kept = work_array(g_flags, nc).data();
                dat_io::read_back(f, flags_at, kept, nc);
                earlier = reinterpret_cast<const std::byte*>(kept);
            }
            const std::byte* body = dat_io::view_bytes(f, fb + nv);
            take(Found{head.time, vector, head.has_flags() ? body : earlier, body + fb});
            (void)dat_io::finish_record(f);
            util::console().line("...Found time " + util::right_justified(util::AREALD(time, 3), 10) + " in dat file.");
            return true;
        }
        if (head.has_flags()) flags_at = f.position();
        dat_io::skip_bytes(f, fb + nv);
        card = dat_io::finish_record(f);
    }
    if (records == 0) dat_io::no_time_record(f);
    return false;
}

// Moves past the rest of a record that is not folded, noting where its flags were.
void skip_body(util::File& f, const dat_io::RecordHead& head, std::size_t nc, std::size_t nv, LastFlags& last) {
    const std::size_t fb = head.has_flags() ? nc : 0;
    if (head.has_flags()) last.seen(f.position());
    dat_io::skip_bytes(f, fb + nv);
}

// The texts and codes of one kind of extreme.
struct ExtremeKind {
    float stop_code;    // a stored time-of-extreme record: the reduction ends before it
    float stored_code;  // a stored extreme
    const char* start;
    const char* ignoring;
    const char* processing;
    const char* stored;
    const char* ignoring_stored;
};

constexpr ExtremeKind kMaximum{
    99999.1f, 99999.0f, "Extracting maximums from all timesteps in .dat file",
    "Ignoring maximum values as -ignore_MM specified.", "Processing",
    "File has maximums stored (time = 99,999) using these values and ignoring all other timesteps.",
    "Ignoring maximum values as -ignore_MM has been specified."};
constexpr ExtremeKind kMinimum{
    -99999.1f, -99999.0f, "Extracting minimums from all timesteps in .dat file",
    "Ignoring minimum values as -ignore_MM specified.", "Processing.",
    "File has minimums stored (time = 99,999) using these values and ignoring all other timesteps.",
    "Ignoring minimum values as -ignore_MM specified."};

// The running extreme of a reduction: the extreme record's node arrays, the speeds of
// its vectors, and the time-of-extreme record's values when it holds the nodes (no times
// are kept otherwise).
struct Running {
    std::size_t n = 0;  // nodes of the extreme record
    bool vector = false;
    float* ex = nullptr;  // values, or x components
    float* ey = nullptr;  // y components (vectors)
    float* es = nullptr;  // speeds (vectors)
    float* et = nullptr;  // times, or nullptr when none are kept

    Running(RES_TYPE& ext, RES_TYPE& text, bool is_vector) : vector(is_vector) {
        n = nodes_held(ext);
        ex = ext.value.data();
        ey = ext.y.data();
        if (text.value.size() >= n) et = text.value.data();
        if (vector) {
            es = work_array(g_speeds, static_cast<std::int64_t>(n)).data();
            for (std::size_t j = 0; j < n; ++j) es[j] = util::VECTOR_MAGNITUDE(ex[j], ey[j]);
        }
    }
    // The bytes of one node's values.
    std::size_t node_bytes() const { return vector ? 8 : 4; }
    // Folds the values of count nodes from node first on of one or more records (each at
    // node first, record k at time t[k]) into the running extreme, record after record.
    template <bool Max>
    void fold(std::span<const std::byte* const> values, const float* t, std::size_t first, std::size_t count) {
        count = first < n ? std::min(count, n - first) : 0;
        float* times = et != nullptr ? et + first : nullptr;
        if (vector)
            dat_fold::fold_vector_run<Max>(values, t, count, ex + first, ey + first, es + first, times);
        else
            dat_fold::fold_scalar_run<Max>(values, t, count, ex + first, times);
    }
    // Makes the values of count nodes from node first on the extreme, all of them at time t.
    void replace(const std::byte* values, std::size_t first, std::size_t count, float t) {
        count = first < n ? std::min(count, n - first) : 0;
        if (vector) {
            dat_fold::split_pairs(values, count, ex + first, ey + first);
            for (std::size_t j = first; j < first + count; ++j) es[j] = util::VECTOR_MAGNITUDE(ex[j], ey[j]);
        } else if (count > 0) {
            std::memcpy(ex + first, values, 4 * count);
        }
        if (et != nullptr) std::fill(et + first, et + first + count, t);
    }
};

// Ordinary records in a row are folded as a group (see dat_group.hpp): a group reads and
// writes the running arrays once, however many records it has.
constexpr std::size_t kGroup = dat_group::kMost;
static_assert(kGroup <= dat_fold::kRunMost);

// A walk over the steps folds its records as a group too: it keeps two to five arrays per
// node, read and written once per group.
constexpr std::size_t kStepGroup = dat_group::kMost;
static_assert(kStepGroup <= kMostSteps);

// A record that a reduction folds like any other: no stored extreme or time-of-extreme code.
bool ordinary_for(const ExtremeKind& kind, float t) {
    return std::fabs(t - kind.stop_code) > 0.01f && !(std::fabs(t - kind.stored_code) < 0.01f);
}

// DATMAXIMUMS (Max) and DATMINIMUMS: the remaining records folded into the extreme record
// and the time-of-extreme record, or a stored extreme taken when it is the last record.
template <bool Max>
void reduce_extreme(int unit, bool vector, RES_TYPE& ext, RES_TYPE& text, bool ignore_mm) {
    const ExtremeKind& kind = Max ? kMaximum : kMinimum;
    util::Console& con = util::console();
    con.line();
    con.line(kind.start);
    util::File& f = dat_io::input(unit);
    if (f.at_end()) dat_io::no_time_record(f);

    const std::size_t nc = length_of(ext.ncells);
    const std::size_t nv = dat_io::value_bytes(ext.nnodes, vector);
    const std::span<CELL_RES_TYPE> ecells = cells_of(ext);
    const std::span<CELL_RES_TYPE> tcells{text.CELL.data(), std::min(ecells.size(), text.CELL.size())};
    Running run(ext, text, vector);
    const std::size_t nb = run.node_bytes();
    LastFlags last_flags(nc);

    bool cells_folded = false;
    bool values_folded = false;
    bool stored_last = false;
    float t = 0.0f;
    // Vectors start from the first record folded: every node takes its vector and its
    // time, so the value and the time of a node (zero vectors throughout included)
    // always come from one record, as its source does.
    const bool replacing = vector;
    const auto fold_values = [&](const std::byte* values, std::size_t offset, std::size_t len, float time) {
        if (replacing && !values_folded)
            run.replace(values, offset / nb, len / nb, time);
        else
            run.fold<Max>(std::span(&values, 1), &time, offset / nb, len / nb);
    };
    const auto fold_flags = [&](std::span<const std::int8_t* const> flags, std::size_t first, std::size_t count) {
        if (first < ecells.size())
            dat_fold::fold_flag_run<Max>(flags, ecells.subspan(first, std::min(count, ecells.size() - first)));
        cells_folded = true;
    };
    // A record folded piece by piece as it is read, before the card after it is read.
    const auto fold_record = [&](const dat_io::RecordHead& head) {
        if (head.has_flags()) {
            last_flags.seen(f.position());
            dat_io::in_pieces(f, nc, 1, [&](const std::byte* p, std::size_t off, std::size_t len) {
                const auto* flags = reinterpret_cast<const std::int8_t*>(p);
                fold_flags(std::span(&flags, 1), off, len);
            });
        } else if (const std::int8_t* earlier = last_flags.get(f)) {
            fold_flags(std::span(&earlier, 1), 0, nc);
        }
        dat_io::in_pieces(f, nv, nb,
                          [&](const std::byte* p, std::size_t off, std::size_t len) { fold_values(p, off, len, t); });
        values_folded = true;
    };
    // A group of records folded a block at a time through all of them; then each is read
    // past in turn, with its console lines.
    std::array<dat_group::Member, kGroup> members;
    const auto fold_group = [&](std::span<const dat_group::Member> group) {
        std::array<const std::int8_t*, kGroup> flags_at;
        std::array<float, kGroup> times;
        for (std::size_t k = 0; k < group.size(); ++k) times[k] = group[k].time;
        dat_group::by_blocks(f, group, &dat_group::Member::flags, nc, 1,
                             [&](std::span<const std::byte* const> blocks, std::size_t off, std::size_t len) {
                                 for (std::size_t k = 0; k < blocks.size(); ++k)
                                     flags_at[k] = reinterpret_cast<const std::int8_t*>(blocks[k]);
                                 fold_flags(std::span(flags_at.data(), blocks.size()), off, len);
                             });
        // Vectors not yet folded start from the group's first record.
        const std::size_t first = replacing && !values_folded ? 1 : 0;
        dat_group::by_blocks(f, group, &dat_group::Member::values, nv, nb,
                             [&](std::span<const std::byte* const> blocks, std::size_t off, std::size_t len) {
                                 if (first == 1) run.replace(blocks[0], off / nb, len / nb, group[0].time);
                                 if (first < blocks.size())
                                     run.fold<Max>(blocks.subspan(first), times.data() + first, off / nb, len / nb);
                             });
        values_folded = true;
        for (std::size_t j = 0; j < group.size(); ++j) {
            t = dat_io::read_head(f).time;
            last_flags.seen(f.position());
            dat_io::skip_bytes(f, nc + nv);
            (void)dat_io::finish_record(f);
            con.line(kind.processing);
        }
    };
    // A stored extreme, kept until the card after it tells whether it is the last record:
    // its flags (its own, else those of the last record that carried them; nullptr when
    // none did) and its values, in the body buffer.
    struct Kept {
        const std::int8_t* flags = nullptr;
        const std::byte* values = nullptr;
    } kept;
    const auto keep_record = [&](const dat_io::RecordHead& head) {
        std::byte* copy = dat_io::body_buffer(nc + nv);
        kept = Kept{nullptr, copy};
        if (head.has_flags()) {
            last_flags.seen(f.position());
            dat_io::read_bytes(f, copy + nv, nc);
            kept.flags = reinterpret_cast<const std::int8_t*>(copy + nv);
        } else {
            kept.flags = last_flags.get(f);
        }
        dat_io::read_bytes(f, copy, nv);
    };
    const auto ordinary = [&](float time) { return ordinary_for(kind, time); };
    for (;;) {
        if (const std::size_t g = dat_group::gather(f, nc, nv, std::span(members), ordinary); g > 0) {
            fold_group(std::span(members.data(), g));
            continue;
        }
        const dat_io::RecordHead head = dat_io::read_head(f);
        t = head.time;
        const bool stop = std::fabs(t - kind.stop_code) <= 0.01f;
        const bool stored = std::fabs(t - kind.stored_code) < 0.01f;
        const bool ignore = ignore_mm && std::fabs(t - kind.stored_code) < 0.001f;
        if (stop || ignore)
            skip_body(f, head, nc, nv, last_flags);
        else if (stored)
            keep_record(head);
        else
            fold_record(head);
        const bool last = dat_io::finish_record(f) != kCardTimeRecord;
        if (stop) break;
        if (last && stored) {
            stored_last = true;
            break;
        }
        if (ignore) {
            con.line();
            con.line(kind.ignoring);
        } else {
            con.line(kind.processing);
            if (stored) {
                if (kept.flags != nullptr) fold_flags(std::span(&kept.flags, 1), 0, nc);
                fold_values(kept.values, 0, nv, t);
                values_folded = true;
            }
        }
        if (last) break;
    }
    // Every fold gives the time-of-extreme record the extreme's flags.
    if (cells_folded)
        std::copy(ecells.begin(), ecells.begin() + static_cast<std::ptrdiff_t>(tcells.size()), tcells.begin());

    if (stored_last) {
        con.line();
        if (ignore_mm) {
            con.line(kind.ignoring_stored);
        } else {
            con.line(kind.stored);
            run.replace(kept.values, 0, run.n, t);
            if (kept.flags != nullptr) {
                copy_flags(kept.flags, ecells);
                copy_flags(kept.flags, tcells);
            }
        }
    }
    con.line();
    con.line("Finished processing file.");
}

// The number after "Unknown " in a time label: the whole-number part of t (its
// leading digits where it is too large for a 64-bit integer).
std::string whole_part(float t) {
    if (std::isnan(t)) return "NaN";
    if (std::isinf(t)) return t < 0 ? "-Infinity" : "Infinity";
    const double w = std::trunc(static_cast<double>(t));
    if (std::fabs(w) < 9.0e18) return util::AINTEGER8(static_cast<std::int64_t>(w));
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, w, std::chars_format::fixed, 0);
    return std::string(buf, r.ptr);
}

// Reads the next time record into the record (nothing once end_of_data is set): its
// time and cell flags, then its values, which take(f, n) reads (all n bytes of them), then
// the card after it, which sets end_of_data when no record follows. A record already
// folded (look false) is moved past: only its time is taken.
template <typename Take>
void next_record(int unit, RES_TYPE& res, Take&& take, bool look = true) {
    if (res.end_of_data) return;
    util::Console& con = util::console();
    con.line("   Call ReadDatFile.");
    util::File& f = dat_io::input(unit);
    const dat_io::RecordHead head = dat_io::read_head(f);
    res.time = head.time;
    const std::size_t nc = head.has_flags() ? length_of(res.ncells) : 0;
    const std::size_t nv = dat_io::value_bytes(res.nnodes, res.is_vector);
    if (look) {
        const std::span<CELL_RES_TYPE> cells = cells_of(res);
        dat_io::read_part(f, nc, cells.data(), cells.size());
        take(f, nv);
    } else {
        dat_io::skip_bytes(f, nc + nv);
    }
    const std::int32_t card = dat_io::finish_record(f);
    con.line("   Done.");
    if (card != kCardTimeRecord) {
        con.line();
        con.line("End of .dat file.");
        res.end_of_data = true;
    }
}

// Reads the next n bytes of a record's values into the nodes: straight into value for
// scalars, a piece at a time split into value and y for vectors.
void read_values(util::File& f, std::size_t n, RES_TYPE& res) {
    const std::size_t held = nodes_held(res);
    if (!res.is_vector) {
        dat_io::read_part(f, n, res.value.data(), 4 * held);
        return;
    }
    dat_io::in_pieces(f, n, 8, [&](const std::byte* values, std::size_t off, std::size_t len) {
        const std::size_t first = off / 8;
        if (first < held)
            dat_fold::split_pairs(values, std::min(len / 8, held - first), res.value.data() + first,
                                  res.y.data() + first);
    });
}

}  // namespace

void NEXTDATTIMESTEP(int unit, RES_TYPE& res) {
    next_record(unit, res, [&](util::File& f, std::size_t n) { read_values(f, n, res); });
}

std::span<const std::byte> next_dat_step_as_stored(int unit, RES_TYPE& res) {
    std::span<std::byte> kept;
    next_record(unit, res, [&](util::File& f, std::size_t n) {
        kept = work_array(g_stored, static_cast<std::int64_t>(n));
        dat_io::read_bytes(f, kept.data(), n);
    });
    return kept;
}

void dat_values_into(std::span<const std::byte> values, RES_TYPE& res) {
    if (values.size() < dat_io::value_bytes(res.nnodes, res.is_vector)) return;
    scatter_values(values.data(), res.is_vector, res);
}

void next_dat_magnitudes(int unit, RES_TYPE& res, std::span<float> now) {
    next_record(unit, res, [&](util::File& f, std::size_t n) {
        const std::size_t m = std::min(length_of(res.nnodes), now.size());
        if (!res.is_vector) {
            dat_io::read_part(f, n, now.data(), 4 * m);
            return;
        }
        dat_io::in_pieces(f, n, 8, [&](const std::byte* values, std::size_t off, std::size_t len) {
            for (std::size_t j = off / 8, end = std::min(m, (off + len) / 8); j < end; ++j) {
                const std::byte* v = values + 8 * j - off;
                now[j] = util::VECTOR_MAGNITUDE(load_real(v), load_real(v + 4));
            }
        });
    });
}

std::size_t fold_dat_steps(int unit, RES_TYPE& res, StepFold& fold, bool (*is_step)(float)) {
    if (res.end_of_data) return 0;
    util::File& f = dat_io::input(unit);
    const std::size_t nc = length_of(res.ncells);
    const std::size_t nv = dat_io::value_bytes(res.nnodes, res.is_vector);
    std::array<dat_group::Member, kStepGroup> members;
    const std::size_t g = dat_group::gather(f, nc, nv, members, is_step);
    if (g == 0) return 0;
    const std::span<const dat_group::Member> group(members.data(), g);
    StepRun run;
    run.count = g;
    run.pairs = res.is_vector;
    run.nnodes = res.nnodes;
    run.ncells = res.ncells;
    for (std::size_t k = 0; k < g; ++k) run.time[k] = members[k].time;
    fold.start_run(run);
    const std::size_t nb = res.is_vector ? 8 : 4;
    dat_group::by_blocks(f, group, &dat_group::Member::values, nv, nb,
                         [&](std::span<const std::byte* const> blocks, std::size_t off, std::size_t len) {
                             std::copy(blocks.begin(), blocks.end(), run.values.begin());
                             run.node0 = off / nb;
                             fold.fold_nodes(run, off / nb, len / nb);
                         });
    // The record keeps the flags of the last record read, which stand for those of a later
    // record that carries none.
    const std::span<CELL_RES_TYPE> kept = cells_of(res);
    dat_group::by_blocks(f, group, &dat_group::Member::flags, nc, 1,
                         [&](std::span<const std::byte* const> blocks, std::size_t off, std::size_t len) {
                             for (std::size_t k = 0; k < blocks.size(); ++k)
                                 run.flags[k] = reinterpret_cast<const std::int8_t*>(blocks[k]);
                             run.cell0 = off;
                             fold.fold_cells(run, off, len);
                             if (off < kept.size())
                                 std::memcpy(kept.data() + off, blocks.back(), std::min(len, kept.size() - off));
                         });
    return g;
}

void next_dat_folded(int unit, RES_TYPE& res) {
    next_record(unit, res, [](util::File&, std::size_t) {}, false);
}

void next_dat_folding(int unit, RES_TYPE& res, StepFold& fold, bool (*is_step)(float)) {
    next_record(unit, res, [&](util::File& f, std::size_t n) {
        if (!is_step(res.time)) {
            dat_io::skip_bytes(f, n);
            return;
        }
        // A run of one step, folded a piece at a time as it is read; its cells are the
        // record's, read into it before.
        StepRun run;
        run.count = 1;
        run.pairs = res.is_vector;
        run.nnodes = res.nnodes;
        run.ncells = static_cast<std::int32_t>(cells_of(res).size());
        run.time[0] = res.time;
        run.flags[0] = reinterpret_cast<const std::int8_t*>(res.CELL.data());
        fold.start_run(run);
        const std::size_t nb = res.is_vector ? 8 : 4;
        dat_io::in_pieces(f, n, nb, [&](const std::byte* values, std::size_t off, std::size_t len) {
            run.values[0] = values;
            run.node0 = off / nb;
            fold.fold_nodes(run, off / nb, len / nb);
        });
        fold.fold_cells(run, 0, length_of(run.ncells));
    });
}

namespace {

// Reads the body of the record whose head was just read into the water levels: its time,
// its values (first components) and, when it carries them, its flags.
void load_levels(util::File& f, const dat_io::RecordHead& head, const RES_TYPE& res, WaterLevelRecord& wl) {
    wl.time = head.time;
    const std::size_t nc = head.has_flags() ? length_of(res.ncells) : 0;
    const std::size_t nv = dat_io::value_bytes(res.nnodes, res.is_vector);
    const std::size_t mc = std::min(nc, wl.flags.size());
    dat_io::in_pieces(f, nc, 1, [&](const std::byte* flags, std::size_t off, std::size_t len) {
        for (std::size_t i = off, end = std::min(mc, off + len); i < end; ++i)
            wl.flags[i] = static_cast<std::int8_t>(flags[i - off]);
    });
    const std::size_t m = std::min(length_of(res.nnodes), wl.values.size());
    if (!res.is_vector) {
        dat_io::read_part(f, nv, wl.values.data(), 4 * m);
    } else {
        // A vector's second components are dropped.
        dat_io::in_pieces(f, nv, 8, [&](const std::byte* values, std::size_t off, std::size_t len) {
            for (std::size_t j = off / 8, end = std::min(m, (off + len) / 8); j < end; ++j)
                wl.values[j] = load_real(values + 8 * j - off);
        });
    }
}

// Reads the card after a water-level record; past the last record the levels' end mark is set.
void finish_levels(util::File& f, WaterLevelRecord& wl) {
    if (dat_io::finish_record(f) != kCardTimeRecord) {
        util::console().line();
        util::console().line("End of .dat file.");
        wl.end_of_data = true;
    }
}

}  // namespace

void NEXTDATVALUES(int unit, const RES_TYPE& res, WaterLevelRecord& wl) {
    if (wl.end_of_data) return;
    util::File& f = dat_io::input(unit);
    load_levels(f, dat_io::read_head(f), res, wl);
    finish_levels(f, wl);
}

bool next_dat_values_at(int unit, const RES_TYPE& res, WaterLevelRecord& wl, float time, float tol) {
    util::File& f = dat_io::input(unit);
    const std::size_t nc = length_of(res.ncells);
    const std::size_t nv = dat_io::value_bytes(res.nnodes, res.is_vector);
    while (!wl.end_of_data) {
        const dat_io::RecordHead head = dat_io::read_head(f);
        const bool found = std::fabs(head.time - time) <= tol;
        if (found)
            load_levels(f, head, res, wl);
        else
            dat_io::skip_bytes(f, (head.has_flags() ? nc : 0) + nv);
        finish_levels(f, wl);
        if (found) return true;
    }
    return false;
}

void FINDDATTIME(int unit, RES_TYPE& res, float time, float tol, std::string_view file_name) {
    const bool found = search(unit, res.nnodes, res.ncells, time, tol, file_name, [&](const Found& record) {
        res.time = record.time;
        if (record.flags != nullptr) copy_flags(record.flags, cells_of(res));
        scatter_values(record.values, record.vector, res);
    });
    if (!found) util::time_not_found(kTimeNotFound);
}

// The levels are looked for at the time at which the data were just found within the same
// tolerance: a wider one would take levels farther from the data's time, so no advice here.
void FINDDATVALUES(int unit, const RES_TYPE& res, WaterLevelRecord& wl, float time, float tol) {
    const bool found = search(unit, res.nnodes, res.ncells, time, tol, "", [&](const Found& record) {
        if (record.flags != nullptr)
            for (std::size_t i = 0, m = std::min(length_of(res.ncells), wl.flags.size()); i < m; ++i)
                wl.flags[i] = static_cast<std::int8_t>(record.flags[i]);
        const std::size_t step = record.vector ? 8 : 4;
        for (std::size_t j = 0, m = std::min(length_of(res.nnodes), wl.values.size()); j < m; ++j)
            wl.values[j] = load_real(record.values + step * j);
    });
    if (!found) util::fail(kTimeNotFound);
}

void DATMAXIMUMS(int unit, bool vector, RES_TYPE& max, RES_TYPE& tmax, bool ignore_mm) {
    reduce_extreme<true>(unit, vector, max, tmax, ignore_mm);
}

void DATMINIMUMS(int unit, bool vector, RES_TYPE& min, RES_TYPE& tmin, bool ignore_mm) {
    reduce_extreme<false>(unit, vector, min, tmin, ignore_mm);
}

void DATAVERAGES(int unit, bool vector, RES_TYPE& res) {
    util::Console& con = util::console();
    con.line();
    con.line("Extracting averages from all timesteps in .dat file");
    util::File& f = dat_io::input(unit);
    if (f.at_end()) dat_io::no_time_record(f);
    const std::size_t k = vector ? 2 : 1;
    const std::size_t nc = length_of(res.ncells);
    const std::size_t nv = dat_io::value_bytes(res.nnodes, vector);
    const std::size_t n = nodes_held(res);
    const std::span<CELL_RES_TYPE> cells = cells_of(res);
    float* sum = work_array(g_values, length_of(res.nnodes) * k).data();
    LastFlags last_flags(nc);
    for (std::size_t j = 0; j < n; ++j) {
        sum[k * j] = res.value[j];
        if (vector) sum[k * j + 1] = res.y[j];
    }
    const std::size_t nsum = n * k;
    std::int64_t records = 0;
    for (;;) {
        const dat_io::RecordHead head = dat_io::read_head(f);
        // Stored extremes and other time codes are not output times.
        const bool output_time = std::fabs(head.time) <= 99998.0f;
        if (output_time) {
            if (head.has_flags()) {
                last_flags.seen(f.position());
                dat_io::in_pieces(f, nc, 1, [&](const std::byte* p, std::size_t off, std::size_t len) {
                    const auto* flags = reinterpret_cast<const std::int8_t*>(p);
                    if (off < cells.size())
                        dat_fold::fold_flag_run<true>(std::span(&flags, 1),
                                                      cells.subspan(off, std::min(len, cells.size() - off)));
                });
            } else if (const std::int8_t* earlier = last_flags.get(f)) {
                dat_fold::fold_flags<true>(earlier, cells);
            }
            dat_io::in_pieces(f, nv, 4, [&](const std::byte* p, std::size_t off, std::size_t len) {
                if (off / 4 < nsum) dat_fold::add_reals(p, std::min(len / 4, nsum - off / 4), sum + off / 4);
            });
            ++records;
        } else {
            skip_body(f, head, nc, nv, last_flags);
        }
        if (dat_io::finish_record(f) != kCardTimeRecord) break;
    }
    if (records == 0) dat_io::no_time_record(f);
    const float divisor = static_cast<float>(records);
    for (std::size_t j = 0; j < n; ++j) {
        res.value[j] = sum[k * j] / divisor;
        if (vector) res.y[j] = sum[k * j + 1] / divisor;
    }
    con.line();
    con.line("Finished processing file.");
}

TimeKind time_kind(float t) {
    if (99999.0f + t > 0.001f && t - 99999.0f < -0.001f) return TimeKind::temporal;
    if (std::fabs(t - 99999.0f) < 0.001f) return TimeKind::maximum;
    if (std::fabs(t + 99999.0f) < 0.001f) return TimeKind::minimum;
    if (std::fabs(t - 900001.0f) < 0.001f) return TimeKind::peak_h;
    if (std::fabs(t - 900002.0f) < 0.001f) return TimeKind::peak_v;
    if (t >= 100000.0f && t < 200000.0f) return TimeKind::first_depth;
    if (t >= 200000.0f && t < 300000.0f) return TimeKind::duration;
    return TimeKind::unknown;
}

std::string time_label(float t) {
    switch (time_kind(t)) {
        case TimeKind::temporal: return "Temporal";
        case TimeKind::maximum: return "Maximums";
        case TimeKind::minimum: return "Minimums";
        case TimeKind::peak_h: return "Time of Peak h";
        case TimeKind::peak_v: return "Time of Peak V";
        case TimeKind::first_depth: return "Time of First Depth > " + util::AREALD(t - 100000.0f, 2) + "m";
        case TimeKind::duration: return "Duration Above " + util::AREALD(t - 200000.0f, 2) + "m";
        case TimeKind::unknown: break;
    }
    return "Unknown " + whole_part(t);
}

std::string TIMELABEL(float t) { return util::fit(time_label(t), 20); }

}  // namespace zorvel::results
