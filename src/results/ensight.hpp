#pragma once
// EnSight Gold files of one ".2dm" mesh and its results: the ASCII and the binary geometry,
// a log of the coordinate shift beside each, and one ASCII variable file per dataset and
// output time. The case file that ties them together belongs to the export (op_ensight).
//
// Every geometry is moved so that the mesh's smallest x and y become 0 (x - xmin, y - ymin;
// z as it is). Node n is entry n of the node table, element e entry e of the element table;
// one part (number 1) holds every element. Fields: I10 an integer right-justified in 10
// characters, E12.5 " 0.12345E+02" ("-" for a negative value), F15.5 fixed, 5 decimals.
//
// ASCII geometry "<mesh>_text.geo", one item a line:
//   "Converted from KESTRA .2dm file." (FV mesh: "Converted from KESTRA FV .2dm file.")
//   "High Resolution Output" | "Standard Resolution Output"
//       (FV mesh: "Cell Centred Output (output == dat)" | "Cell Cornered Output (output == datv)")
//   "node id given", "element id given", "extents"
//   2E12.5: 0, xmax - xmin;  2E12.5: 0, ymax - ymin;  2E12.5: zmin, zmax
//   "part", I10 1, "2D KESTRA Elements", "coordinates", I10 nnodes
//   nnodes lines I10 node numbers; then x - xmin, y - ymin, z: nnodes lines E12.5 each
//   per kind present, in this order: "tria3" | "quad4" | "quad8", I10 count, count lines
//   I10 element numbers, count lines 3I10 | 4I10 | 8I10 node numbers (a 9-node
//   quadrilateral as quad8: its corners, then its mid-side nodes; the centre is left out)
//
// Binary geometry "<mesh>_binary.geo", EnSight "C Binary": little-endian, no record
// markers; texts are 80 bytes padded with blanks, integers int32, reals float32:
//   "C Binary", "Converted from KESTRA output", "High Resolution Output" | "Standard
//   Resolution Output", "node id given", "element id given", "extents",
//   6 reals 0, xmax - xmin, 0, ymax - ymin, zmin, zmax,
//   "part", int 1, "KESTRA", "coordinates", int n, n ints 1..n, n reals x - xmin,
//   n reals y - ymin, n reals z; per kind present: "tria3" | "quad4" | "quad8", int
//   count, count ints element numbers, count x (3 | 4 | 8) ints node numbers
//
// Log "<geometry file>.log", four lines: "Conversion Log File.", "Shifted x coords by: "
// F15.5 xmin, "Shifted y coords by: " F15.5 ymin, "No Z shift applied."
//
// Variable file "<base>.0001" ... "<base>.9999": the description in 80 characters (trailing
// blanks written), "part", I10 1, then one of (each value E12.5 on a line of its own; a
// vector's block holds all x components, then all y components, then as many zeros):
//   per element, finite-volume results (one value per element): "tria3", "quad4", "quad8"
//       blocks for the kinds present, each element's own value
//   per element, high-resolution mesh: "tria3" the mean of the three corners' values,
//       "quad4" the mean of the four corners', "quad8" the centre node's value
//   per node: "coordinates", the value of every node
// An element counts only when it is wet (any flag but 0): a dry element gets 0, and in the
// per-node layout a node that is a corner of no wet element gets 0.

#include <cstdint>
#include <string>
#include <string_view>

#include "results/mesh_2dm.hpp"
#include "results/res_type.hpp"

namespace zorvel::results {

// Variable files of one dataset are numbered 1 to this.
inline constexpr std::int32_t kMaxEnsightSteps = 9999;
// Length of the description line of a variable file.
inline constexpr std::size_t kEnsightDescriptionLen = 80;

// Writes the ASCII geometry file and its log; the mesh's extents are recomputed and kept.
void ENSIGHTGEOTEXT(MESH_TYPE& mesh, std::string_view name);
// Writes the binary geometry file and its log; the mesh's extents are recomputed and kept.
void ENSIGHTGEOBINARY(MESH_TYPE& mesh, std::string_view name);
// Writes one variable file of the result on the mesh under the description (cut to 80).
void ENSIGHTVARIABLE(const MESH_TYPE& mesh, const RES_TYPE& res, std::string_view name,
                     std::string_view description);
// The name of variable file n of a dataset: the trimmed base (its file name as
// ensight_name gives it), "." and n in four digits. A number beyond kMaxEnsightSteps ends
// the run.
std::string ENSIGHTFILENAME(std::string_view base, std::int32_t n);

// A file name of the set as a line of its case file can hold it unquoted: every blank,
// control character, quote, wildcard ("*", "?") and character that no portable file name
// holds ("\", ":", "<", ">", "|") becomes "_". Case files name files without folders.
std::string ensight_name(std::string_view name);

// True when the variables of the mesh and result are written per element.
bool ensight_per_element(const MESH_TYPE& mesh, const RES_TYPE& res);
// Ends the run: a dataset has more output times than variable files can be numbered.
[[noreturn]] void too_many_ensight_steps();

}  // namespace zorvel::results
