#pragma once
// ".2dm" meshes: the nodes, elements and part names of the mesh that a model's results
// belong to, read in two passes over a file open on a unit (or in one that does the work
// of both, for a caller that makes its tables before the first).
//
// Text lines, recognised by their first characters (exact, upper case); fields after the
// keyword are free-format, separated by blanks, tabs or commas:
//   MESH2D   columns 1-6; from column 11 the geo-referencing values: none (trimmed length
//            below 10: finite-volume mesh), seven (trimmed length 10-82: the layout from
//            before 2005) or seven and the z offset (trimmed length 83 or more: current)
//   ND       id x y z                                 finite-volume, pre-2005
//            id x y z offset-flag r1 r2 r3            current (flag 1: z is above the offset)
//   E3T      id n1 n2 n3 mat                          finite-volume
//            id n1 n2 n3 mat i1 i2                    pre-2005
//            id n1 n2 n3 mat i1 i2 small code         current
//   E4Q      id n1 n2 n3 n4 mat [i1 i2 [small]]       likewise, without the code
//   E9Q      id n1 .. n9 mat i1 i2 small              current only; corners and mid-sides
//            alternate around the element, then the centre
//   MESHPART from column 10: the part's name (a word or a quoted text)
// Every other line is ignored. Node and element ids number the entries from 1.
//
// Stored element order: corners first, then the mid-side nodes, then the centre. A triangle
// n1 n2 n3 is stored n1 n3 n2 and a 4-node quadrilateral n1 n2 n3 n4 as n1 n4 n3 n2 (turned
// the other way round); a 9-node quadrilateral keeps its sense: n1 n3 n5 n7, n2 n4 n6 n8, n9.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zorvel::results {

inline constexpr std::size_t kPartNameLen = 100;

// One node of a mesh. kind: "FV" (finite-volume mesh), "T " triangle corner, "H "
// quadrilateral corner, "UV" mid-side node and "C " centre node of a 9-node quadrilateral.
struct mesh_node {
    double x = 0.0;
    double y = 0.0;
    float z = 0.0f;                      // bed level
    std::array<char, 2> kind{' ', ' '};
    std::int8_t offset_flag = 0;         // 1: the line's z was relative to the z offset
    std::array<float, 3> extra{};        // the three further reals of a current node line
    float z2 = 0.0f;                     // the second input's bed level (difference)
};

// One element of a mesh. nodes[w - 2] is the element's word w: nodes[0..3] the corners
// (nodes[3] is 0 for a triangle), nodes[4..7] the mid-sides of a 9-node quadrilateral (the
// first between corners 0 and 1), nodes[8] its centre. Node numbers count from 1.
struct mesh_cell {
    std::int32_t kind = 0;               // 3, 4 or 9
    std::array<std::int32_t, 9> nodes{};
    std::int32_t material = 0;
    std::array<std::int32_t, 2> extra{}; // the two further integers of the line
    std::int8_t flag = 0;                // the small integer of a current line
    std::array<char, 2> code{};          // the code of a current triangle line
    std::int8_t spare = 0;               // 0 for every element line
};

// A mesh read from a ".2dm" file. The caller sizes NODES and CELLS with its results'
// counts before READ2DM (index i holds node or element i + 1); READ2DM refuses a mesh whose
// counts differ from them.
struct MESH_TYPE {
    std::int32_t nnodes = 0;
    std::int32_t ncells = 0;
    bool high_res = false;
    bool is_fv = false;
    std::int32_t ntri = 0;
    std::int32_t nquad4 = 0;
    std::int32_t nquad9 = 0;
    std::int32_t nparts = 0;
    std::vector<mesh_node> NODES;
    std::vector<mesh_cell> CELLS;
    double xmin = 0.0;
    double xmax = 0.0;
    double ymin = 0.0;
    double ymax = 0.0;
    float zmin = 0.0f;
    float zmax = 0.0f;
    std::array<double, 7> georef{};
    float z_offset = 0.0f;
    bool pre2005 = false;
    std::vector<std::string> part_names;  // texts of 100 characters, grown as parts are read
    // The corner nodes (words 2 to 5) of each element alone, for a caller that needs no
    // more of the mesh: filled by read_2dm_corners in place of NODES and CELLS.
    std::vector<std::array<std::int32_t, 4>> corners;
};

// First pass over a ".2dm" file at its start: layout, geo-referencing values and counts.
void SCAN2DM(int unit, MESH_TYPE& mesh);
// Second pass after SCAN2DM: every node, element and part name, and the node kinds.
void READ2DM(int unit, MESH_TYPE& mesh);
// READ2DM for a caller that needs only the corner nodes of the elements (the wet-cell rule
// of the maximum and minimum): the same pass, lines, checks and ends, but the nodes are
// not kept and each element keeps only its corners, in corners (sized by the caller, one
// entry per element); nnodes is the number of nodes of the results the mesh belongs to.
void read_2dm_corners(int unit, MESH_TYPE& mesh, std::int32_t nnodes);
// SCAN2DM and READ2DM in one pass over the file, for a caller that sizes NODES and CELLS
// before the scan: the same console lines, checks, ends and stored values as the two calls.
void scan_read_2dm(int unit, MESH_TYPE& mesh);
// SCAN2DM and read_2dm_corners in one pass over the file, likewise (corners sized first).
void scan_read_2dm_corners(int unit, MESH_TYPE& mesh, std::int32_t nnodes);
// Reads only the bed levels and the corner numbers of triangles and 4-node quadrilaterals
// (stored turned round, as READ2DM stores them) into plain arrays.
void READ2DMELEVATIONS(int unit, std::span<float> elevations, std::int32_t nnodes,
                       std::span<std::int32_t> c1, std::span<std::int32_t> c2,
                       std::span<std::int32_t> c3, std::span<std::int32_t> c4,
                       std::int32_t ncells);

}  // namespace zorvel::results
