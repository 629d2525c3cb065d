#pragma once
// File names and paths: extension, base name, folder, the data-type suffix after the
// last "_", cleaning of doubled separators, joining and normalising. "/" and "\" both
// separate folders; names are kept as given (no separator is converted here).

#include <string>
#include <string_view>

namespace zorvel::util {

std::string FILEEXT(std::string_view name);          // extension with its dot, lower case
std::string FILEEXTKC(std::string_view name);        // extension with its dot, case kept
std::string FILENAME(std::string_view name);         // without folder and extension
std::string FILENAMEEXT(std::string_view name);      // without folder
std::string FILE___EXT(std::string_view name);       // suffix from the last "_", lower case
std::string FILENAMENO_(std::string_view name);      // base name cut before its last "_"
std::string FILENAMEPATH(std::string_view name);     // folder and name without extension
std::string FILENAMEPATHNO_(std::string_view name);  // the same, cut before the last "_"
std::string FILEFOLDERPATH(std::string_view name);   // folder with its final separator
// Removes leading blanks and doubled separators; the argument is cleaned too.
std::string CLEANPATH(std::string& name);
std::string ADDFOLDER(std::string_view folder, std::string_view name);
std::string REMOVEDOTDOT(std::string_view path);
// Turns a drive letter or a leading "\\" into a folder name; true when neither applied.
bool DRIVEFOLDER(std::string& path);

}  // namespace zorvel::util
