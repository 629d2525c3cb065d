#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <bit>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "results/mesh_2dm.hpp"
#include "util/console.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace zorvel::results {
namespace {

std::string data(const std::string& name) { return std::string(ZORVEL_DATA_DIR) + "/" + name; }

// Puts the file on the first pool unit, as the opener would, without its trace.
int open_on_unit(const std::string& path) {
    util::FILEUNITINIT(1000);
    util::PoolEntry& e = util::unit_tables().pool[0];
    e.file = util::File::open(path, util::FileKind::text_in);
    EXPECT_TRUE(e.file) << path;
    e.open = true;
    return e.unit;
}

std::string count_line(const std::string& label, long long n) {
    std::string digits = std::to_string(n);
    return label + std::string(20 - digits.size(), ' ') + digits + "\n";
}

std::string scan_counts(long long nodes, long long tri, long long quad4, long long quad9) {
    return "\nFinished Scanning .2dm file\n" + count_line("Number of nodes:          ", nodes) +
           count_line("Number of triangles:      ", tri) + count_line("Number of 4-node quads:   ", quad4) +
           count_line("Number of 9-node quads:   ", quad9) +
           count_line("Total number of elements: ", tri + quad4 + quad9);
}

const std::string kFvStart =
    "\nNo KESTRA geo-referencing information - assume KESTRA FV mesh...\n"
    "...scanning .2dm file to determine size\n";
const std::string kGeoStart = " Reading geo-referencing information...\n";
const std::string kPre2005 = "\nDetected pre 2005-09-AF .2dm format.\n";
const std::string kScanning = "...scanning .2dm file to determine size\n";
const std::string kReadStart = "Rewinding .2dm file...\n   Done.\n\n...reading .2dm file\n\nElement:";
const std::string kReadEnd = "\n\n\nFinished Reading .2dm file\n";
const std::string kClose = "\nPress Enter to Close\n";

// Scans and reads a mesh into tables of the scanned sizes (one part-name entry, as the
// driver makes them); returns the console text.
std::string read_mesh(const std::string& path, MESH_TYPE& mesh, const std::string& input = "") {
    std::ostringstream out;
    std::istringstream in(input);
    util::ConsoleCapture cap(out, in);
    const int unit = open_on_unit(path);
    SCAN2DM(unit, mesh);
    mesh.NODES.assign(static_cast<std::size_t>(mesh.nnodes), mesh_node{});
    mesh.CELLS.assign(static_cast<std::size_t>(mesh.ncells), mesh_cell{});
    mesh.part_names.assign(1, std::string());
    READ2DM(unit, mesh);
    return out.str();
}

// Scans a mesh and reads it for its corners alone (read_2dm_corners), as the wet-cell rule
// has it read; returns the console text.
std::string read_corners(const std::string& path, MESH_TYPE& mesh, const std::string& input = "") {
    std::ostringstream out;
    std::istringstream in(input);
    util::ConsoleCapture cap(out, in);
    const int unit = open_on_unit(path);
    SCAN2DM(unit, mesh);
    mesh.corners.assign(static_cast<std::size_t>(mesh.ncells), {});
    read_2dm_corners(unit, mesh, mesh.nnodes);
    return out.str();
}

// Scans a mesh into tables of its own sizes; returns the console text of a READ2DM (or of a
// read for the corners alone) that ends the run.
std::string failing_read(const std::string& path, bool corners_only = false) {
    std::ostringstream out;
    std::istringstream in;
    util::ConsoleCapture cap(out, in);
    MESH_TYPE mesh;
    const int unit = open_on_unit(path);
    SCAN2DM(unit, mesh);
    out.str("");
    if (corners_only) {
        mesh.corners.resize(static_cast<std::size_t>(mesh.ncells));
        EXPECT_THROW(read_2dm_corners(unit, mesh, mesh.nnodes), util::RunEnd) << path;
    } else {
        mesh.NODES.resize(static_cast<std::size_t>(mesh.nnodes));
        mesh.CELLS.resize(static_cast<std::size_t>(mesh.ncells));
        EXPECT_THROW(READ2DM(unit, mesh), util::RunEnd) << path;
    }
    return out.str();
}

std::string kind(const mesh_node& n) { return std::string(n.kind.data(), 2); }

using Nodes9 = std::array<std::int32_t, 9>;

TEST(Mesh2dm, FiniteVolumeMeshReadsShortLines) {
    MESH_TYPE mesh;
    const std::string text = read_mesh(data("fv.2dm"), mesh);
    EXPECT_EQ(text, kFvStart + scan_counts(5, 1, 1, 0) + kReadStart + kReadEnd);
    EXPECT_TRUE(mesh.is_fv);
    EXPECT_FALSE(mesh.high_res);
    EXPECT_FALSE(mesh.pre2005);
    EXPECT_EQ(mesh.nnodes, 5);
    EXPECT_EQ(mesh.ncells, 2);
    EXPECT_EQ(mesh.nparts, 0);
    EXPECT_EQ(mesh.georef, (std::array<double, 7>{}));
    EXPECT_DOUBLE_EQ(mesh.NODES[4].x, 2.0);
    EXPECT_DOUBLE_EQ(mesh.NODES[4].y, 0.5);
    EXPECT_FLOAT_EQ(mesh.NODES[4].z, 14.0f);
    for (const mesh_node& n : mesh.NODES) EXPECT_EQ(kind(n), "FV");
    EXPECT_EQ(mesh.CELLS[0].kind, 4);
    EXPECT_EQ(mesh.CELLS[0].nodes, (Nodes9{1, 4, 3, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(mesh.CELLS[0].material, 1);
    EXPECT_EQ(mesh.CELLS[1].kind, 3);
    EXPECT_EQ(mesh.CELLS[1].nodes, (Nodes9{2, 3, 5, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(mesh.CELLS[1].material, 2);
    EXPECT_EQ(mesh.CELLS[1].extra, (std::array<std::int32_t, 2>{0, 0}));
}

TEST(Mesh2dm, Pre2005MeshKeepsEveryPartAndTheOlderFields) {
    MESH_TYPE mesh;
    const std::string text = read_mesh(data("pre2005.2dm"), mesh);
    EXPECT_EQ(text, kGeoStart + kPre2005 + kScanning + scan_counts(5, 1, 1, 0) + kReadStart + kReadEnd);
    EXPECT_TRUE(mesh.pre2005);
    EXPECT_FALSE(mesh.is_fv);
    EXPECT_EQ(mesh.georef, (std::array<double, 7>{100.5, 200.25, 0.0, 1.0, 1.0, 0.0, 0.0}));
    EXPECT_FLOAT_EQ(mesh.z_offset, 0.0f);
    // Commas separate fields and a "D" exponent is read as a real.
    EXPECT_DOUBLE_EQ(mesh.NODES[4].x, 2.0);
    EXPECT_FLOAT_EQ(mesh.NODES[4].z, 14.0f);
    EXPECT_EQ(mesh.CELLS[0].nodes, (Nodes9{1, 4, 3, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(mesh.CELLS[0].extra, (std::array<std::int32_t, 2>{7, 8}));
    EXPECT_EQ(mesh.CELLS[0].flag, 0);
    // Nodes 2 and 3 belong to both elements and keep the kind of the later one.
    EXPECT_EQ(kind(mesh.NODES[0]), "H ");
    EXPECT_EQ(kind(mesh.NODES[1]), "T ");
    EXPECT_EQ(kind(mesh.NODES[2]), "T ");
    EXPECT_EQ(kind(mesh.NODES[3]), "H ");
    EXPECT_EQ(kind(mesh.NODES[4]), "T ");
    EXPECT_EQ(mesh.nparts, 2);
    EXPECT_EQ(mesh.part_names, (std::vector<std::string>{"channel", "flood plain"}));
}

TEST(Mesh2dm, CurrentMeshWithNineNodeQuadAndZOffset) {
    MESH_TYPE mesh;
    const std::string text = read_mesh(data("current.2dm"), mesh);
    EXPECT_EQ(text, kGeoStart + kScanning + scan_counts(10, 1, 0, 1) + "\nDetected High Resolution Output\n" +
                        kReadStart + kReadEnd);
    EXPECT_FALSE(mesh.pre2005);
    EXPECT_TRUE(mesh.high_res);
    EXPECT_EQ(mesh.georef, (std::array<double, 7>{500000.0, 6000000.0, 0.0, 1.0, 1.0, 0.0, 0.0}));
    EXPECT_FLOAT_EQ(mesh.z_offset, 5.0f);
    EXPECT_FLOAT_EQ(mesh.NODES[9].z, 2.5f);  // 7.5 above the offset
    EXPECT_EQ(mesh.NODES[9].offset_flag, 1);
    EXPECT_FLOAT_EQ(mesh.NODES[8].z, 14.0f);
    EXPECT_EQ(mesh.NODES[8].extra, (std::array<float, 3>{0.25f, 0.5f, 0.75f}));

    const mesh_cell& q = mesh.CELLS[0];
    EXPECT_EQ(q.kind, 9);
    EXPECT_EQ(q.nodes, (Nodes9{1, 3, 5, 7, 2, 4, 6, 8, 9}));
    EXPECT_EQ(q.material, 3);
    EXPECT_EQ(q.extra, (std::array<std::int32_t, 2>{11, 12}));
    EXPECT_EQ(q.flag, 1);
    EXPECT_EQ(q.code, (std::array<char, 2>{0, 0}));
    const mesh_cell& t = mesh.CELLS[1];
    EXPECT_EQ(t.kind, 3);
    EXPECT_EQ(t.nodes, (Nodes9{3, 5, 10, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(t.flag, 2);
    EXPECT_EQ(t.code, (std::array<char, 2>{'W', 'X'}));
    EXPECT_EQ(t.spare, 0);

    const char* kinds[] = {"H ", "UV", "T ", "UV", "T ", "UV", "H ", "UV", "C ", "T "};
    for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(kind(mesh.NODES[i]), kinds[i]) << "node " << i + 1;
}

TEST(Mesh2dm, BothQuadKindsWarnAndWaitForEnter) {
    MESH_TYPE mesh;
    std::ostringstream out;
    std::istringstream in("\n");
    util::ConsoleCapture cap(out, in);
    SCAN2DM(open_on_unit(data("mixed_quads.2dm")), mesh);
    EXPECT_EQ(out.str(), kGeoStart + kScanning + scan_counts(11, 0, 1, 1) +
                             "\nDetected High Resolution Output\n"
                             "\nWARNING - Both 4 and 9 node quadrilateral elements detected.  This may cause issues\n"
                             "\nPress Enter to Continue\n");
    EXPECT_TRUE(mesh.high_res);
    EXPECT_EQ(in.tellg(), 1);  // the Enter was taken
}

TEST(Mesh2dm, LineEndsAndLongLinesAreReadWhole) {
    MESH_TYPE crlf;
    read_mesh(data("crlf.2dm"), crlf);
    EXPECT_TRUE(crlf.pre2005);
    EXPECT_DOUBLE_EQ(crlf.georef[6], 0.0);
    EXPECT_FLOAT_EQ(crlf.NODES[2].z, 12.0f);
    EXPECT_EQ(crlf.CELLS[0].nodes, (Nodes9{1, 3, 2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(crlf.part_names, (std::vector<std::string>{"river"}));

    MESH_TYPE long_lines;
    read_mesh(data("long_line.2dm"), long_lines);
    EXPECT_FLOAT_EQ(long_lines.NODES[0].z, 10.0f);
    EXPECT_EQ(long_lines.CELLS[0].nodes, (Nodes9{1, 3, 2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(long_lines.CELLS[0].material, 1);
}

TEST(Mesh2dm, ProgressEveryTenThousandElements) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("zorvel_mesh_25000_" + std::to_string(::getpid()) + ".2dm");
    {
        std::ofstream f(path);
        f << "MESH2D\nND 1 0 0 0\nND 2 1 0 0\nND 3 1 1 0\n";
        for (int i = 1; i <= 25000; ++i) f << "E3T " << i << " 1 2 3 1\n";
    }
    MESH_TYPE mesh;
    const std::string text = read_mesh(path.string(), mesh);
    std::filesystem::remove(path);
    EXPECT_EQ(text, kFvStart + scan_counts(3, 25000, 0, 0) + kReadStart + "   10000   20000" + kReadEnd);
}

TEST(Mesh2dm, FirstLineFaultsEndTheRun) {
    struct Case {
        const char* file;
        std::string expected;
    } cases[] = {
        {"lowercase_keyword.2dm",
         "\nDid not find \"MESH2D\" in first 6 characters of first line\nFound: mesh2d\n" + kClose},
        {"bad_georef.2dm",
         kGeoStart + "\nERROR - Reading .2dm file from following line in .2dm file\n   .2dm file: " +
             data("bad_georef.2dm") + ", line 1\n\nMESH2D    100.5 2OO.25 0.0 1.0 1.0 0.0 0.0\n\n" + kClose},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        std::istringstream in;
        util::ConsoleCapture cap(out, in);
        MESH_TYPE mesh;
        EXPECT_THROW(SCAN2DM(open_on_unit(data(c.file)), mesh), util::RunEnd) << c.file;
        EXPECT_EQ(out.str(), c.expected) << c.file;
    }
}

TEST(Mesh2dm, FaultyLinesEndTheRunNamingFileAndLine) {
    struct Case {
        const char* file;
        std::string message;
        int line;
        std::string shown;  // the line itself, for a read error
    } cases[] = {
        {"bad_number.2dm", "ERROR - Reading .2dm file from following line in .2dm file", 3, "ND 2 1.0 1.O 11.0"},
        {"bad_element_number.2dm", "ERROR - Reading .2dm file from following line in .2dm file", 5,
         "E3T 1 1 2.5 3 1"},
        {"short_node_line.2dm", "ERROR - Reading .2dm file from following line in .2dm file", 3,
         "ND 2 1.0 0.0 11.0"},
        {"missing_node.2dm", "ERROR - Element 1 names node 7, which is not between 1 and the number of nodes (3).",
         5, ""},
        {"node_id_outside.2dm", "ERROR - Node id 4 is not between 1 and the number of nodes (3).", 4, ""},
        {"element_id_outside.2dm", "ERROR - Element id 3 is not between 1 and the number of elements (2).", 7, ""},
        {"e9q_in_fv.2dm", "ERROR - Unexpected 9 point quad in FV or pre 2005 mesh.", 6, ""},
    };
    for (const Case& c : cases) {
        std::string expected = kReadStart + "\n" + c.message + "\n   .2dm file: " + data(c.file) + ", line " +
                               std::to_string(c.line) + "\n";
        if (!c.shown.empty()) expected += "\n" + c.shown + "\n\n";
        EXPECT_EQ(failing_read(data(c.file)), expected + kClose) << c.file;
        EXPECT_EQ(failing_read(data(c.file), true), expected + kClose) << c.file << ", corners alone";
    }
}

TEST(Mesh2dm, MeshThatDoesNotFitItsResultsStoresNothing) {
    struct Case {
        std::size_t nodes, cells;
        std::string expected;
    } cases[] = {
        {5, 3,
         "\nERROR - Number of cells does not match results file. Expecting number of cells:            3\n"
         "   .2dm file: " + data("fv.2dm") + " has 2 cells.\n"},
        {4, 2,
         "\nERROR - Number of nodes does not match results file. Expecting number of nodes:            4\n"
         "   .2dm file: " + data("fv.2dm") + " has 5 nodes.\n"},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        std::istringstream in;
        util::ConsoleCapture cap(out, in);
        MESH_TYPE mesh;
        const int unit = open_on_unit(data("fv.2dm"));
        SCAN2DM(unit, mesh);
        mesh.NODES.assign(c.nodes, mesh_node{});
        mesh.CELLS.assign(c.cells, mesh_cell{});
        out.str("");
        EXPECT_THROW(READ2DM(unit, mesh), util::RunEnd);
        EXPECT_EQ(out.str(), c.expected + kClose);
        for (const mesh_node& n : mesh.NODES) EXPECT_EQ(n.z, 0.0f);
    }
}

TEST(Mesh2dm, ElementWithoutALineEndsTheRun) {
    for (const bool corners_only : {false, true}) {
        const std::string text = failing_read(data("repeated_element_id.2dm"), corners_only);
        const std::string tail = "\nERROR - Should not be here, cell is not e3t, e4q or e9q.  Contact ";
        ASSERT_NE(text.find(kReadEnd + tail), std::string::npos) << text;
        EXPECT_NE(text.find(".\n   .2dm file: " + data("repeated_element_id.2dm") +
                            " has no element line for element 2.\n" + kClose),
                  std::string::npos)
            << text;
    }
}

// A read for the corners alone writes what READ2DM writes and keeps each element's corners
// as READ2DM stores them (triangles turned round, 0 in the fourth word), and no node.
TEST(Mesh2dm, CornersAloneAreTheCornersOfTheFullRead) {
    for (const char* file : {"fv.2dm", "pre2005.2dm", "current.2dm", "mixed_quads.2dm"}) {
        SCOPED_TRACE(file);
        MESH_TYPE full, corners;
        const std::string input = "\n";  // the pause of a mesh with both kinds of quadrilateral
        EXPECT_EQ(read_corners(data(file), corners, input), read_mesh(data(file), full, input));
        ASSERT_EQ(corners.corners.size(), full.CELLS.size());
        for (std::size_t e = 0; e < full.CELLS.size(); ++e) {
            const Nodes9& words = full.CELLS[e].nodes;
            EXPECT_EQ(corners.corners[e], (std::array<std::int32_t, 4>{words[0], words[1], words[2], words[3]})) << e;
        }
        EXPECT_TRUE(corners.NODES.empty());
        ASSERT_EQ(corners.nparts, full.nparts);
        for (std::int32_t k = 0; k < full.nparts; ++k)
            EXPECT_EQ(corners.part_names[static_cast<std::size_t>(k)], full.part_names[static_cast<std::size_t>(k)]);
    }
}

// Numbers of every form a free-format read takes come out as the general reader gives them:
// plain decimals (read by their own loop), exponents, "D" exponents, signs, many digits.
TEST(Mesh2dm, NumbersOfEveryFormReadAsTheGeneralReaderReadsThem) {
    const char* const forms[] = {"0",         "-0.0",     "+2.25",   ".5",         "5.",
                                 "-.125",     "1e3",      "1.5D2",   "-2.5d-1",    "0.1",
                                 "512345.000000",         "6123456.123456",        "0.000000001",
                                 "123456789.123456789",   "3.14159265358979323846", "9007199254740993",
                                 "16777217.0", "0.30000000000000004",              "1234567.1234567"};
    std::string text = "MESH2D\n";
    int id = 0;
    for (const char* f : forms) text += "ND " + std::to_string(++id) + " " + f + " " + f + " " + f + "\n";
    text += "E3T 1 1 2 3 1\n";
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("zorvel_mesh_numbers_" + std::to_string(::getpid()) + ".2dm");
    {
        std::ofstream out(path);
        out << text;
    }
    MESH_TYPE mesh;
    read_mesh(path.string(), mesh);
    std::filesystem::remove(path);
    ASSERT_EQ(mesh.NODES.size(), std::size(forms));
    for (std::size_t j = 0; j < std::size(forms); ++j) {
        std::string general = forms[j];
        if (general[0] == '+') general.erase(0, 1);
        for (char& c : general)
            if (c == 'd' || c == 'D') c = 'e';
        double x = 0;
        float z = 0;
        std::from_chars(general.data(), general.data() + general.size(), x);
        std::from_chars(general.data(), general.data() + general.size(), z);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(mesh.NODES[j].x), std::bit_cast<std::uint64_t>(x)) << forms[j];
        EXPECT_EQ(std::bit_cast<std::uint64_t>(mesh.NODES[j].y), std::bit_cast<std::uint64_t>(x)) << forms[j];
        EXPECT_EQ(std::bit_cast<std::uint32_t>(mesh.NODES[j].z), std::bit_cast<std::uint32_t>(z)) << forms[j];
    }
}

TEST(Mesh2dm, ElevationsAndCornersIntoPlainArrays) {
    std::ostringstream out;
    std::istringstream in;
    util::ConsoleCapture cap(out, in);
    std::vector<float> z(5, 1.0f);
    std::vector<std::int32_t> c1(2, 9), c2(2, 9), c3(2, 9), c4(2, 9);
    const int unit = open_on_unit(data("pre2005.2dm"));
    READ2DMELEVATIONS(unit, z, 5, c1, c2, c3, c4, 2);
    EXPECT_EQ(out.str(), "...reading .2dm file\n");
    EXPECT_EQ(z, (std::vector<float>{10, 11, 12, 13, 14}));
    EXPECT_EQ(c1, (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(c2, (std::vector<std::int32_t>{4, 3}));
    EXPECT_EQ(c3, (std::vector<std::int32_t>{3, 5}));
    EXPECT_EQ(c4, (std::vector<std::int32_t>{2, 0}));

    // More nodes expected than the file gives: a warning and a pause; the rest stay -99999.
    std::vector<float> more(6);
    out.str("");
    READ2DMELEVATIONS(open_on_unit(data("pre2005.2dm")), more, 6, c1, c2, c3, c4, 2);
    EXPECT_EQ(out.str(),
              "...reading .2dm file\n\nWARNING - Did not read an elevation for all nodes from .2dm file.\n"
              "\nPress Enter to Continue\n");
    EXPECT_EQ(more[5], -99999.0f);

    // Fewer: a node id beyond them ends the run.
    std::vector<float> fewer(4);
    out.str("");
    EXPECT_THROW(READ2DMELEVATIONS(open_on_unit(data("pre2005.2dm")), fewer, 4, c1, c2, c3, c4, 2), util::RunEnd);
    EXPECT_EQ(out.str(), "...reading .2dm file\n\nERROR - .2dm file is incompatible with .dat file whilst reading "
                         "node elevations\n   .2dm file: " +
                             data("pre2005.2dm") + ", line 7\n" + kClose);
}

}  // namespace
}  // namespace zorvel::results
