// The ".dat" header and record readers and the writer (layout in dat.hpp).

#include "results/dat.hpp"

#include <algorithm>
#include <memory>
#include <new>

#include "results/dat_fold.hpp"
#include "results/dat_io.hpp"
#include "results/res_ops.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "util/zeroed_array.hpp"

namespace zorvel::results {

namespace dat_io {

namespace {

// The file's name in quotes, for the messages that end a run.
std::string quoted(const util::File& f) { return "\"" + util::trimmed(f.name()) + "\""; }

}  // namespace

util::File& input(int unit) {
    util::File* f = util::unit_file(unit);
    if (f == nullptr || f->is_output() || !f->is_open())
        util::fail("ERROR - No .dat file open for reading on unit " + std::to_string(unit) + ".");
    return *f;
}

void cut_off(const util::File& f) { util::fail("ERROR - Unexpected end of .dat file: " + quoted(f)); }
void invalid_header(const util::File& f) { util::fail("ERROR - Invalid header in .dat file: " + quoted(f)); }
void no_time_record(const util::File& f) { util::fail("ERROR - No time record found in .dat file: " + quoted(f)); }
void unsupported_layout(const util::File& f, std::int32_t real_bytes, std::int32_t flag_bytes) {
    util::fail("ERROR - Unsupported .dat file layout (card 110 = " + std::to_string(real_bytes) +
               ", card 120 = " + std::to_string(flag_bytes) + "): " + quoted(f));
}
void invalid_record(const util::File& f) { util::fail("ERROR - Invalid record in .dat file: " + quoted(f)); }
void counts_differ(const util::File& f) {
    util::fail("ERROR - Numbers of nodes and cells in .dat file do not match the results: " + quoted(f));
}

void read_bytes(util::File& f, void* dst, std::size_t n) {
    if (n > 0 && !f.read(dst, n)) cut_off(f);
}

const std::byte* view_bytes(util::File& f, std::size_t n) {
    const std::byte* p = nullptr;
    try {
        p = f.view(n);
    } catch (const std::bad_alloc&) {
        CHECK_ALLOC(1);
    }
    if (p == nullptr) cut_off(f);
    return p;
}

void skip_bytes(util::File& f, std::uint64_t n) {
    if (n > 0 && !f.skip(n)) cut_off(f);
}

void read_part(util::File& f, std::size_t n, void* dst, std::size_t room) {
    const std::size_t m = std::min(n, room);
    read_bytes(f, dst, m);
    skip_bytes(f, n - m);
}

RecordHead read_head(util::File& f) {
    std::byte raw[5];
    read_bytes(f, raw, sizeof raw);
    RecordHead head;
    head.flag_byte = static_cast<std::int8_t>(raw[0]);
    head.time = load_real(raw + 1);
    util::console().line("Reading data for time " + util::AREALD(head.time, 3));
    return head;
}

void read_back(util::File& f, std::uint64_t at, void* dst, std::size_t n) {
    const std::uint64_t here = f.position();
    if (!f.rewind()) cut_off(f);
    skip_bytes(f, at);
    read_bytes(f, dst, n);
    if (!f.rewind()) cut_off(f);
    skip_bytes(f, here);
}

void read_at(util::File& f, std::uint64_t at, void* dst, std::size_t n) {
    if (n > 0 && !f.read_at(at, dst, n)) cut_off(f);
}

std::int32_t finish_record(util::File& f) {
    std::int32_t card = kCardEnd;
    if (!f.at_end()) {
        read_bytes(f, &card, sizeof card);
        // A time record's card must be followed by the record; nothing but another
        // record or the end card can follow a record.
        if (card == kCardTimeRecord && f.at_end()) cut_off(f);
        if (card != kCardTimeRecord && card != kCardEnd) invalid_record(f);
    }
    util::console().line("Done.");
    return card;
}

std::byte* body_buffer(std::size_t n) {
    static std::unique_ptr<std::byte[]> buffer;
    static std::size_t capacity = 0;
    if (n > capacity) {
        buffer.reset();
        capacity = 0;
        try {
            buffer.reset(new std::byte[n]);
        } catch (const std::bad_alloc&) {
            CHECK_ALLOC(1);
        }
        capacity = n;
    }
    return buffer.get();
}

std::byte* fold_buffer() {
    static std::byte* buffer = nullptr;
    if (buffer == nullptr) {
        buffer = static_cast<std::byte*>(util::allocate_zeroed(kFoldBytes));
        if (buffer == nullptr) CHECK_ALLOC(1);
    }
    return buffer;
}

}  // namespace dat_io

namespace {

// One integer of the header.
std::int32_t read_int(util::File& f) {
    std::int32_t v = 0;
    dat_io::read_bytes(f, &v, sizeof v);
    return v;
}

// The output open on the unit; ends the run when there is none.
util::File& output(int unit) {
    util::File* f = util::unit_file(unit);
    if (f == nullptr || !f->is_output() || !f->is_open())
        util::fail("ERROR - No .dat file open for writing on unit " + std::to_string(unit) + ".");
    return *f;
}

// Ends the run when a write to the output has failed.
void check_written(const util::File& f, std::string_view name) {
    if (f.failed()) util::fail("ERROR - Could not write to .dat file: \"" + util::trimmed(name) + "\"");
}

// Packs an integer at p and moves p past it.
void put_int(std::byte*& p, std::int32_t v) {
    std::memcpy(p, &v, 4);
    p += 4;
}

// Packs a real at p and moves p past it.
void put_real(std::byte*& p, float v) {
    std::memcpy(p, &v, 4);
    p += 4;
}

// Reads one time record (its card already read) and the card after it.
void read_record(int unit, bool vector, std::int32_t nnodes, std::int32_t ncells, std::span<std::int8_t> flags,
                 std::span<float> x, std::span<float> y, float& time, std::int32_t& card) {
    util::File& f = dat_io::input(unit);
    const dat_io::RecordHead head = dat_io::read_head(f);
    time = head.time;
    const std::size_t nc = head.has_flags() ? length_of(ncells) : 0;
    const std::size_t nv = dat_io::value_bytes(nnodes, vector);
    dat_io::read_part(f, nc, flags.data(), flags.size());
    const std::size_t n = length_of(nnodes);
    if (vector) {
        const std::size_t m = std::min({n, x.size(), y.size()});
        dat_io::in_pieces(f, nv, 8, [&](const std::byte* values, std::size_t off, std::size_t len) {
            const std::size_t first = off / 8;
            if (first < m) dat_fold::split_pairs(values, std::min(len / 8, m - first), x.data() + first, y.data() + first);
        });
    } else {
        dat_io::read_part(f, nv, x.data(), 4 * std::min(n, x.size()));
    }
    card = dat_io::finish_record(f);
}

// Writes the line that announces a time record, its card, flag byte and time and the
// record's cell flags (0 past those it holds); the values follow.
util::File& start_record(int unit, const RES_TYPE& res, std::string_view out_path) {
    util::line_after_gap("Writing output data to: " + util::trimmed(out_path));
    util::File& f = output(unit);
    std::byte head[9];
    std::byte* p = head;
    put_int(p, kCardTimeRecord);
    *p++ = std::byte{1};
    put_real(p, res.time);
    f.write(head, sizeof head);
    const std::size_t nc = length_of(res.ncells);
    const std::size_t have_cells = std::min(nc, res.CELL.size());
    if (have_cells > 0) f.write(res.CELL.data(), have_cells);
    for (std::size_t i = have_cells; i < nc; ++i) f.put(0);
    return f;
}

}  // namespace

void READDATHEADER(int unit, std::int32_t& nnodes, std::int32_t& ncells, std::int32_t& card, bool& vector,
                   std::string_view file_name, std::string& name) {
    util::File& f = dat_io::input(unit);
    util::Console& con = util::console();
    con.line();
    con.line("Reading Header for: " + util::trimmed(file_name));
    std::int32_t real_bytes = 4;  // cards 110 and 120: bytes per real and per activity flag
    std::int32_t flag_bytes = 1;
    while (card != kCardTimeRecord && !f.at_end()) {
        card = read_int(f);
        switch (card) {
            case 110:
                real_bytes = read_int(f);
                break;
            case 120:
                flag_bytes = read_int(f);
                break;
            case 100:
            case 150:
            case 160:
                (void)read_int(f);
                break;
            case 130:
                vector = false;
                break;
            case 140:
                vector = true;
                break;
            case 170:
                nnodes = read_int(f);
                break;
            case 180:
                ncells = read_int(f);
                break;
            case 190: {
                char raw[util::kDatNameLen];
                dat_io::read_bytes(f, raw, sizeof raw);
                name = util::fit(std::string_view(raw, sizeof raw), util::kDatNameLen);
                break;
            }
            case kCardTimeRecord:
                if (f.at_end()) dat_io::cut_off(f);
                break;
            default:
                break;
        }
    }
    con.line("Number Cells:" + util::integer_field(ncells, 12));
    con.line("Number Nodes:" + util::integer_field(nnodes, 12));
    con.line("Data Description: " + util::trimmed(name));
    if (nnodes < 1 || ncells < 0) dat_io::invalid_header(f);
    if (real_bytes != 4 || flag_bytes != 1) dat_io::unsupported_layout(f, real_bytes, flag_bytes);
    // Counts are checked against the file before anything is allocated from them: the
    // first record (its card already read) must fit in the bytes after the header.
    if (card == kCardTimeRecord) {
        const std::uint64_t record = 9 + static_cast<std::uint64_t>(ncells) + dat_io::value_bytes(nnodes, vector);
        const std::uint64_t left = f.size() > f.position() ? f.size() - f.position() : 0;
        if (record - 4 > left) dat_io::invalid_header(f);
    }
}

void ReadDatFile(int unit, bool vector, std::int32_t nnodes, std::int32_t ncells, std::span<std::int8_t> flags,
                 std::span<float> x, std::span<float> y, float& time, std::int32_t& card) {
    read_record(unit, vector, nnodes, ncells, flags, x, y, time, card);
}

std::vector<float> remaining_record_times(int unit, bool vector, std::int32_t nnodes, std::int32_t ncells) {
    util::File& f = dat_io::input(unit);
    const std::uint64_t start = f.position();
    std::vector<float> times;
    for (;;) {
        std::byte head[5];
        dat_io::read_bytes(f, head, sizeof head);
        try {
            times.push_back(dat_io::load_real(head + 1));
        } catch (const std::bad_alloc&) {
            CHECK_ALLOC(1);
        }
        const std::uint64_t flags = static_cast<std::int8_t>(head[0]) == 1 ? length_of(ncells) : 0;
        dat_io::skip_bytes(f, flags + dat_io::value_bytes(nnodes, vector));
        if (f.at_end()) break;
        const std::int32_t card = read_int(f);
        if (card != kCardTimeRecord) break;
        if (f.at_end()) dat_io::cut_off(f);
    }
    if (!f.rewind()) dat_io::cut_off(f);
    dat_io::skip_bytes(f, start);
    return times;
}

void read_dat_time(int unit, bool vector, std::int32_t nnodes, std::int32_t ncells, float& time,
                   std::int32_t& card) {
    util::File& f = dat_io::input(unit);
    const dat_io::RecordHead head = dat_io::read_head(f);
    time = head.time;
    const std::uint64_t nc = head.has_flags() ? length_of(ncells) : 0;
    dat_io::skip_bytes(f, nc + dat_io::value_bytes(nnodes, vector));
    card = dat_io::finish_record(f);
}

void READDATFILE2(int unit, bool vector, std::int32_t nnodes, std::int32_t ncells, std::span<std::int8_t> flags,
                  std::span<float> x, std::span<float> y, float& time, std::int32_t& card) {
    util::console().line("Placeholder.");
    read_record(unit, vector, nnodes, ncells, flags, x, y, time, card);
}

void WRITE_DAT_HEADER(int unit, std::string_view name, bool vector, std::int32_t nnodes, std::int32_t ncells) {
    util::File& f = output(unit);
    std::string_view trimmed = util::rtrim(name);
    if (trimmed.size() > util::kDatNameLen) trimmed = trimmed.substr(trimmed.size() - util::kDatNameLen);
    std::byte header[92];
    std::byte* p = header;
    for (std::int32_t v : {3000, 100, 3, 110, 4, 120, 1, vector ? 140 : 130, 170, nnodes, 180, ncells, 190})
        put_int(p, v);
    std::memset(p, ' ', util::kDatNameLen);
    std::memcpy(p, trimmed.data(), trimmed.size());
    f.write(header, sizeof header);
    check_written(f, f.name());
}

void WRITE_DAT_TIMESTEP(int unit, const RES_TYPE& res, std::string_view out_path, bool vector) {
    util::File& f = start_record(unit, res, out_path);
    const std::size_t nn = length_of(res.nnodes);
    const std::size_t have = nodes_held(res);
    if (!vector) {
        // Scalars go out straight from the values; nodes the record does not hold as 0.
        if (have > 0) f.write(res.value.data(), have * sizeof(float));
        for (std::size_t j = have; j < nn; ++j) f.write("\0\0\0\0", 4);
    } else {
        // Vectors go out as pairs through a small buffer, a block of nodes at a time.
        constexpr std::size_t kBlock = 8192;
        float block[2 * kBlock];
        for (std::size_t first = 0; first < nn; first += kBlock) {
            const std::size_t last = std::min(nn, first + kBlock);
            float* out = block;
            for (std::size_t j = first; j < last; ++j) {
                *out++ = j < have ? res.value[j] : 0.0f;
                *out++ = j < have ? res.y[j] : 0.0f;
            }
            f.write(block, static_cast<std::size_t>(out - block) * sizeof(float));
        }
    }
    check_written(f, out_path);
    util::console().line("Done.");
}

void write_dat_step_as_stored(int unit, const RES_TYPE& res, std::span<const std::byte> values,
                              std::string_view out_path) {
    util::File& f = start_record(unit, res, out_path);
    if (!values.empty()) f.write(values.data(), values.size());
    check_written(f, out_path);
    util::console().line("Done.");
}

void WRITE_DAT_END_CARD(int unit) {
    util::File& f = output(unit);
    const std::int32_t card = kCardEnd;
    f.write(&card, sizeof card);
    check_written(f, f.name());
}

}  // namespace zorvel::results
