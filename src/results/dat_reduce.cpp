// Reading ".dat" records into result records: the next record, the record at a
// time, and the reductions of all records to a maximum, minimum or average.
// Records are read in one bulk read into reused buffers; records whose values are
// not needed are skipped over. Reductions fold into dense work arrays and hand the
// result back to the records at the end.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "results/dat.hpp"
#include "results/dat_io.hpp"
#include "results/res_ops.hpp"
#include "util/console.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::results {

namespace {

using dat_io::count;
using dat_io::load_real;

// A work array of at least n entries, kept from call to call.
template <typename T>
T* work(std::vector<T>& array, std::size_t n) {
    if (array.size() < n) CHECK_ALLOC(allocate_array(array, static_cast<std::int64_t>(n)));
    return array.data();
}

std::vector<float> g_values;      // running values: x, or x and y per node
std::vector<float> g_speeds;      // speeds of the running vectors
std::vector<float> g_times;       // time of each node's extreme
std::vector<std::int8_t> g_flags;  // the flags of the last record that carried them

inline std::int8_t abs_flag(std::int8_t f) {
    return f >= 0 ? f : (f == -128 ? std::int8_t{127} : static_cast<std::int8_t>(-f));
}

// Copies a record's values into the nodes: x into value, and y for a vector layout.
void scatter_values(const std::byte* values, bool vector, std::span<ND_RES_TYPE> nodes) {
    if (vector) {
        for (std::size_t j = 0; j < nodes.size(); ++j) {
            nodes[j].value = load_real(values + 8 * j);
            nodes[j].y = load_real(values + 8 * j + 4);
        }
    } else {
        for (std::size_t j = 0; j < nodes.size(); ++j) nodes[j].value = load_real(values + 4 * j);
    }
}

void copy_flags(const std::byte* flags, std::span<CELL_RES_TYPE> cells) {
    if (!cells.empty()) std::memcpy(cells.data(), flags, cells.size());
}

std::span<ND_RES_TYPE> nodes_of(RES_TYPE& res) {
    return {res.ND.data(), std::min(count(res.nnodes), res.ND.size())};
}
std::span<CELL_RES_TYPE> cells_of(RES_TYPE& res) {
    return {res.CELL.data(), std::min(count(res.ncells), res.CELL.size())};
}

// The record that a search found, in the body buffer.
struct Found {
    float time = 0.0f;
    bool vector = false;
    const std::byte* flags = nullptr;  // nullptr when neither it nor an earlier record carried flags
    const std::byte* values = nullptr;
};

// Reads the file from its header up to the first record within tol of time and
// hands back its parts; the records before it are skipped over. A record without
// flags takes those of the last earlier record that carried them.
Found search(int unit, std::int32_t nnodes, std::int32_t ncells, float time, float tol,
             std::string_view header_name) {
    util::File& f = dat_io::input(unit);
    if (!f.rewind()) dat_io::cut_off(f);
    std::int32_t hn = 0, hc = 0, card = 0;
    bool vector = false;
    std::string name;
    READDATHEADER(unit, hn, hc, card, vector, header_name, name);
    if (hn != nnodes || hc != ncells) dat_io::counts_differ(f);
    const std::size_t nc = count(ncells);
    const std::size_t nv = dat_io::value_bytes(nnodes, vector);
    std::uint64_t records = 0;
    std::uint64_t flags_at = 0;  // where the last skipped flags were; 0 for none
    while (card == kCardTimeRecord && !f.at_end()) {
        const dat_io::RecordHead head = dat_io::read_head(f);
        ++records;
        const std::size_t fb = head.has_flags() ? nc : 0;
        if (tol > std::fabs(head.time - time)) {
            std::byte* body = dat_io::body_buffer(nv + nc);
            Found found{head.time, vector, nullptr, nullptr};
            if (head.has_flags()) {
                dat_io::read_bytes(f, body, nc + nv);
                found.flags = body;
                found.values = body + nc;
            } else {
                dat_io::read_bytes(f, body, nv);
                found.values = body;
            }
            (void)dat_io::finish_record(f);
            if (!head.has_flags() && flags_at > 0) {
                const std::uint64_t after = f.position();
                if (!f.rewind()) dat_io::cut_off(f);
                dat_io::skip_bytes(f, flags_at);
                dat_io::read_bytes(f, body + nv, nc);
                if (!f.rewind()) dat_io::cut_off(f);
                dat_io::skip_bytes(f, after);
                found.flags = body + nv;
            }
            util::console().line("...Found time " + dat_io::fixed_field(time, 10, 3) + " in dat file.");
            return found;
        }
        if (head.has_flags()) flags_at = f.position();
        dat_io::skip_bytes(f, fb + nv);
        card = dat_io::finish_record(f);
    }
    if (records == 0) dat_io::no_time_record(f);
    util::console().line();
    util::console().line("ERROR - Could not find specified timestep in .dat file.");
    util::EXITS();
}

// Reads the parts of a record after its head into the body buffer: the flags
// always, the values only when asked (else they are skipped). Remembers the flags.
const std::byte* read_body(util::File& f, const dat_io::RecordHead& head, std::size_t nc, std::size_t nv,
                           bool values, bool& have_flags) {
    const std::size_t fb = head.has_flags() ? nc : 0;
    std::byte* body = dat_io::body_buffer(nc + nv);
    dat_io::read_bytes(f, body, fb + (values ? nv : 0));
    if (!values) dat_io::skip_bytes(f, nv);
    if (head.has_flags()) {
        if (nc > 0) std::memcpy(g_flags.data(), body, nc);
        have_flags = true;
    }
    return body + fb;
}

// Folds one record's values into the running extreme (dense arrays).
template <bool Max>
void fold_values(const std::byte* values, bool vector, std::size_t n, float t, float* ev, float* es, float* et) {
    if (vector) {
        for (std::size_t j = 0; j < n; ++j) {
            const float x = load_real(values + 8 * j);
            const float y = load_real(values + 8 * j + 4);
            const float s = speed(x, y);
            if (Max ? s > es[j] : s < es[j]) {
                ev[2 * j] = x;
                ev[2 * j + 1] = y;
                es[j] = s;
                et[j] = t;
            }
        }
    } else {
        for (std::size_t j = 0; j < n; ++j) {
            const float v = load_real(values + 4 * j);
            const float m = ev[j];
            const bool wins = Max ? v > m : v < m;
            ev[j] = wins ? v : m;
            et[j] = wins ? t : et[j];
        }
    }
}

template <bool Max>
void fold_flags(const std::int8_t* flags, std::span<CELL_RES_TYPE> cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::int8_t a = abs_flag(flags[i]);
        const std::int8_t b = abs_flag(cells[i].flag);
        cells[i].flag = Max ? std::max(a, b) : std::min(a, b);
    }
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

template <bool Max>
void reduce_extreme(int unit, bool vector, RES_TYPE& ext, RES_TYPE& text, bool ignore_mm) {
    const ExtremeKind& kind = Max ? kMaximum : kMinimum;
    util::Console& con = util::console();
    con.line();
    con.line(kind.start);
    util::File& f = dat_io::input(unit);
    if (f.at_end()) dat_io::no_time_record(f);

    const std::size_t nn = count(ext.nnodes);
    const std::size_t nc = count(ext.ncells);
    const std::size_t nv = dat_io::value_bytes(ext.nnodes, vector);
    const std::span<ND_RES_TYPE> enodes = nodes_of(ext);
    const std::span<ND_RES_TYPE> tnodes{text.ND.data(), std::min(enodes.size(), text.ND.size())};
    const std::size_t n = tnodes.size();  // nodes held by both records
    const std::span<CELL_RES_TYPE> ecells = cells_of(ext);
    const std::span<CELL_RES_TYPE> tcells{text.CELL.data(), std::min(ecells.size(), text.CELL.size())};

    float* ev = work(g_values, nn * (vector ? 2 : 1));
    float* es = vector ? work(g_speeds, nn) : nullptr;
    float* et = work(g_times, nn);
    work(g_flags, nc);
    for (std::size_t j = 0; j < n; ++j) {
        if (vector) {
            ev[2 * j] = enodes[j].value;
            ev[2 * j + 1] = enodes[j].y;
            es[j] = speed(enodes[j].value, enodes[j].y);
        } else {
            ev[j] = enodes[j].value;
        }
        et[j] = tnodes[j].value;
    }

    bool have_flags = false;
    bool folded = false;
    bool stored_last = false;
    float t = 0.0f;
    const std::byte* values = nullptr;
    for (;;) {
        const dat_io::RecordHead head = dat_io::read_head(f);
        t = head.time;
        const bool stop = std::fabs(t - kind.stop_code) <= 0.01f;
        const bool ignore = ignore_mm && std::fabs(t - kind.stored_code) < 0.001f;
        values = read_body(f, head, nc, nv, !stop && !ignore, have_flags);
        const bool last = dat_io::finish_record(f) != kCardTimeRecord;
        if (stop) break;
        if (last && std::fabs(t - kind.stored_code) < 0.01f) {
            stored_last = true;
            break;
        }
        if (ignore) {
            con.line();
            con.line(kind.ignoring);
        } else {
            con.line(kind.processing);
            fold_values<Max>(values, vector, n, t, ev, es, et);
            if (have_flags) fold_flags<Max>(g_flags.data(), ecells);
            folded = true;
        }
        if (last) break;
    }
    if (folded && have_flags)
        for (std::size_t i = 0; i < tcells.size(); ++i) tcells[i] = ecells[i];

    if (stored_last) {
        con.line();
        if (ignore_mm) {
            con.line(kind.ignoring_stored);
        } else {
            con.line(kind.stored);
            if (vector) {
                for (std::size_t j = 0; j < n; ++j) {
                    ev[2 * j] = load_real(values + 8 * j);
                    ev[2 * j + 1] = load_real(values + 8 * j + 4);
                }
            } else {
                for (std::size_t j = 0; j < n; ++j) ev[j] = load_real(values + 4 * j);
            }
            std::fill(et, et + n, t);
            if (have_flags) {
                copy_flags(reinterpret_cast<const std::byte*>(g_flags.data()), ecells);
                copy_flags(reinterpret_cast<const std::byte*>(g_flags.data()), tcells);
            }
        }
    }

    for (std::size_t j = 0; j < n; ++j) {
        if (vector) {
            enodes[j].value = ev[2 * j];
            enodes[j].y = ev[2 * j + 1];
        } else {
            enodes[j].value = ev[j];
        }
        tnodes[j].value = et[j];
    }
    con.line();
    con.line("Finished processing file.");
}

// The number after "Unknown " in a time label: the whole-number part of t.
std::string whole_part(float t) {
    if (std::isnan(t)) return "NaN";
    if (std::isinf(t)) return t < 0 ? "-Infinity" : "Infinity";
    const double w = std::trunc(static_cast<double>(t));
    if (std::fabs(w) < 9.0e18) return std::to_string(static_cast<long long>(w));
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, w, std::chars_format::fixed, 0);
    return std::string(buf, r.ptr);
}

}  // namespace

void NEXTDATTIMESTEP(int unit, RES_TYPE& res) {
    if (res.end_of_data) return;
    util::Console& con = util::console();
    con.line("   Call ReadDatFile.");
    util::File& f = dat_io::input(unit);
    const dat_io::RecordHead head = dat_io::read_head(f);
    res.time = head.time;
    const std::size_t nc = head.has_flags() ? count(res.ncells) : 0;
    std::byte* body = dat_io::body_buffer(nc + dat_io::value_bytes(res.nnodes, res.is_vector));
    dat_io::read_bytes(f, body, nc + dat_io::value_bytes(res.nnodes, res.is_vector));
    if (nc > 0) copy_flags(body, cells_of(res));
    scatter_values(body + nc, res.is_vector, nodes_of(res));
    const std::int32_t card = dat_io::finish_record(f);
    con.line("   Done.");
    if (card != kCardTimeRecord) {
        con.line();
        con.line("End of .dat file.");
        res.end_of_data = true;
    }
}

void NEXTDATVALUES(int unit, const RES_TYPE& res, WaterLevelRecord& wl) {
    if (wl.end_of_data) return;
    util::File& f = dat_io::input(unit);
    const dat_io::RecordHead head = dat_io::read_head(f);
    wl.time = head.time;
    const std::size_t nc = head.has_flags() ? count(res.ncells) : 0;
    const std::size_t nv = dat_io::value_bytes(res.nnodes, res.is_vector);
    std::byte* body = dat_io::body_buffer(nc + nv);
    dat_io::read_bytes(f, body, nc + nv);
    const std::size_t step = res.is_vector ? 8 : 4;
    if (nc > 0)
        for (std::size_t i = 0, m = std::min(nc, wl.flags.size()); i < m; ++i)
            wl.flags[i] = static_cast<std::int8_t>(body[i]);
    for (std::size_t j = 0, m = std::min(count(res.nnodes), wl.values.size()); j < m; ++j)
        wl.values[j] = load_real(body + nc + step * j);
    if (dat_io::finish_record(f) != kCardTimeRecord) {
        util::console().line();
        util::console().line("End of .dat file.");
        wl.end_of_data = true;
    }
}

void FINDDATTIME(int unit, RES_TYPE& res, float time, float tol, std::string_view file_name) {
    const Found found = search(unit, res.nnodes, res.ncells, time, tol, file_name);
    res.time = found.time;
    if (found.flags != nullptr) copy_flags(found.flags, cells_of(res));
    scatter_values(found.values, found.vector, nodes_of(res));
}

void FINDDATVALUES(int unit, const RES_TYPE& res, WaterLevelRecord& wl, float time, float tol) {
    const Found found = search(unit, res.nnodes, res.ncells, time, tol, "");
    if (found.flags != nullptr)
        for (std::size_t i = 0, m = std::min(count(res.ncells), wl.flags.size()); i < m; ++i)
            wl.flags[i] = static_cast<std::int8_t>(found.flags[i]);
    const std::size_t step = found.vector ? 8 : 4;
    for (std::size_t j = 0, m = std::min(count(res.nnodes), wl.values.size()); j < m; ++j)
        wl.values[j] = load_real(found.values + step * j);
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
    const std::size_t nn = count(res.nnodes);
    const std::size_t nc = count(res.ncells);
    const std::size_t nv = dat_io::value_bytes(res.nnodes, vector);
    const std::span<ND_RES_TYPE> nodes = nodes_of(res);
    const std::span<CELL_RES_TYPE> cells = cells_of(res);
    float* sum = work(g_values, nn * k);
    work(g_flags, nc);
    for (std::size_t j = 0; j < nodes.size(); ++j) {
        sum[k * j] = nodes[j].value;
        if (vector) sum[k * j + 1] = nodes[j].y;
    }
    const std::size_t nsum = nodes.size() * k;
    bool have_flags = false;
    std::int64_t records = 0;
    for (;;) {
        const dat_io::RecordHead head = dat_io::read_head(f);
        // Stored extremes and other time codes are not output times.
        const bool code = std::fabs(head.time) > 99998.0f;
        const std::byte* values = read_body(f, head, nc, nv, !code, have_flags);
        const bool last = dat_io::finish_record(f) != kCardTimeRecord;
        if (!code) {
            for (std::size_t i = 0; i < nsum; ++i) sum[i] += load_real(values + 4 * i);
            if (have_flags) fold_flags<true>(g_flags.data(), cells);
            ++records;
        }
        if (last) break;
    }
    if (records == 0) dat_io::no_time_record(f);
    const float divisor = static_cast<float>(records);
    for (std::size_t j = 0; j < nodes.size(); ++j) {
        nodes[j].value = sum[k * j] / divisor;
        if (vector) nodes[j].y = sum[k * j + 1] / divisor;
    }
    con.line();
    con.line("Finished processing file.");
}

std::string TIMELABEL(float t) {
    std::string label;
    if (99999.0f + t > 0.001f && t - 99999.0f < -0.001f)
        label = "Temporal";
    else if (std::fabs(t - 99999.0f) < 0.001f)
        label = "Maximums";
    else if (std::fabs(t + 99999.0f) < 0.001f)
        label = "Minimums";
    else if (std::fabs(t - 900001.0f) < 0.001f)
        label = "Time of Peak h";
    else if (std::fabs(t - 900002.0f) < 0.001f)
        label = "Time of Peak V";
    else if (t >= 100000.0f && t < 200000.0f)
        label = "Time of First Depth > " + dat_io::fixed(t - 100000.0f, 2) + "m";
    else if (t >= 200000.0f && t < 300000.0f)
        label = "Duration Above " + dat_io::fixed(t - 200000.0f, 2) + "m";
    else
        label = "Unknown " + whole_part(t);
    return util::fit(label, 20);
}

}  // namespace zorvel::results
