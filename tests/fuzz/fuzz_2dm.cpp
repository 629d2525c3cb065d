// Fuzz harness of the ".2dm" mesh reader, called as the command driver calls it: tables
// sized from the results' counts (the first two bytes), then the rest read in two passes
// (SCAN2DM, then READ2DM or the read for the corners alone) and in the one pass that does
// the work of both. The one pass must write the same console text, end the same way and
// keep the same values. Every line the fast line readers take must read the same by the
// general reader.

#include <array>
#include <bit>
#include <cstdint>
#include <string>

#include "driver/checks.hpp"
#include "harness.hpp"
#include "results/mesh_2dm.hpp"
#include "results/mesh_fields.hpp"
#include "results/mesh_lines.hpp"
#include "util/file_io.hpp"
#include "util/units.hpp"

using namespace zorvel;

namespace {

// The console text, the exit status and the tables of one read of in.2dm.
struct Outcome {
    std::string text;
    int status = 0;
    results::MESH_TYPE mesh;
};

// Reads in.2dm into tables of the counts, whole or for its corners, in one pass or two.
Outcome read_mesh(std::int32_t nnodes, std::int32_t ncells, bool one_pass, bool corners) {
    Outcome o;
    o.status = fuzz::run_silenced([&] {
        int unit = 0;
        std::string name = "in.2dm";
        util::OPENFILE(unit, "I ", name);
        if (corners) {
            o.mesh.corners.resize(static_cast<std::size_t>(ncells));
            if (one_pass) {
                results::scan_read_2dm_corners(unit, o.mesh, nnodes);
            } else {
                results::SCAN2DM(unit, o.mesh);
                results::read_2dm_corners(unit, o.mesh, nnodes);
            }
        } else {
            driver::size_mesh(o.mesh, nnodes, ncells);
            if (one_pass) {
                results::scan_read_2dm(unit, o.mesh);
            } else {
                results::SCAN2DM(unit, o.mesh);
                results::READ2DM(unit, o.mesh);
            }
        }
        util::CLOSER(unit);
    });
    o.text = fuzz::silenced_output();
    return o;
}

// True when the two reads kept the same, bit for bit.
bool same_tables(const results::MESH_TYPE& a, const results::MESH_TYPE& b) {
    if (a.NODES.size() != b.NODES.size() || a.CELLS.size() != b.CELLS.size() || a.corners != b.corners ||
        a.part_names != b.part_names || a.nparts != b.nparts || a.nnodes != b.nnodes || a.ncells != b.ncells)
        return false;
    for (std::size_t i = 0; i < a.NODES.size(); ++i) {
        const results::mesh_node &p = a.NODES[i], &q = b.NODES[i];
        using Bits3 = std::array<std::uint32_t, 3>;
        if (std::bit_cast<std::uint64_t>(p.x) != std::bit_cast<std::uint64_t>(q.x) ||
            std::bit_cast<std::uint64_t>(p.y) != std::bit_cast<std::uint64_t>(q.y) ||
            std::bit_cast<std::uint32_t>(p.z) != std::bit_cast<std::uint32_t>(q.z) || p.kind != q.kind ||
            p.offset_flag != q.offset_flag || std::bit_cast<Bits3>(p.extra) != std::bit_cast<Bits3>(q.extra))
            return false;
    }
    for (std::size_t i = 0; i < a.CELLS.size(); ++i) {
        const results::mesh_cell &p = a.CELLS[i], &q = b.CELLS[i];
        if (p.kind != q.kind || p.nodes != q.nodes || p.material != q.material || p.extra != q.extra ||
            p.flag != q.flag || p.code != q.code || p.spare != q.spare)
            return false;
    }
    return true;
}

// The fast readers against the general reader on one line's text after its keyword.
void check_line(std::string_view keyword, std::string_view text) {
    using results::mesh_text::Fields;
    using results::mesh_text::Got;
    if (keyword == "ND") {
        for (const int fields : {4, 8}) {
            std::int32_t id = 0, general_id = 0;
            std::int8_t flag = 0, general_flag = 0;
            if (!results::mesh_lines::node_checked(text, fields, id, flag)) continue;
            Fields f(text);
            bool ok = f.integer(general_id) == Got::ok && f.real_read<double>() && f.real_read<double>() &&
                      f.real_read<float>();
            if (fields == 8)
                ok = ok && f.integer(general_flag) == Got::ok && f.real_read<float>() && f.real_read<float>() &&
                     f.real_read<float>();
            if (!ok || id != general_id || (fields == 8 && flag != general_flag))
                fuzz::finding("a node line the fast reader took reads otherwise");
        }
        return;
    }
    for (int count = 1; count <= 14; ++count) {
        for (const bool word : {false, true}) {
            std::int32_t values[16];
            std::string_view code, general_code;
            if (!results::mesh_lines::element_read(text, count, word, values, code)) continue;
            Fields f(text);
            for (int k = 0; k < count; ++k) {
                std::int32_t v = 0;
                if (f.integer(v) != Got::ok || v != values[k])
                    fuzz::finding("an element line the fast reader took reads otherwise");
            }
            if (word && (f.word(general_code) != Got::ok || general_code != code))
                fuzz::finding("the code the fast reader took reads otherwise");
        }
    }
}

// Each node and element line of the file, as next_line hands it out, through check_line.
void check_lines(std::string_view file) {
    std::string line;
    while (!file.empty()) {
        const std::size_t nl = file.find('\n');
        std::string_view text = file.substr(0, nl);
        file = nl == std::string_view::npos ? std::string_view() : file.substr(nl + 1);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        std::size_t key = 0;
        if (text.substr(0, 2) == "ND")
            key = 2;
        else if (text.substr(0, 3) == "E3T" || text.substr(0, 3) == "E4Q" || text.substr(0, 3) == "E9Q")
            key = 3;
        if (key == 0) continue;
        line.assign(text);
        line += '\n';
        line.append(util::File::kLineSlack, '5');
        check_line(text.substr(0, key), std::string_view(line).substr(key, text.size() - key));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::enter_work_folder();
    fuzz::Bytes in(data, size);
    const std::int32_t nnodes = in.byte();
    const std::int32_t ncells = in.byte();
    const std::string_view file = in.rest();
    fuzz::write_file("in.2dm", reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
    check_lines(file);
    for (const bool corners : {false, true}) {
        const Outcome two = read_mesh(nnodes, ncells, false, corners);
        const Outcome one = read_mesh(nnodes, ncells, true, corners);
        if (one.status != two.status || one.text != two.text)
            fuzz::finding("the one pass writes or ends otherwise than the two passes");
        if (two.status == 0 && !same_tables(one.mesh, two.mesh))
            fuzz::finding("the one pass keeps otherwise than the two passes");
    }
    return 0;
}
