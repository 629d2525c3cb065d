// Exported routines of file names and paths. Each yields a text into the caller's result field.

#include "util/exports/abi.hpp"
#include "util/paths.hpp"

using namespace zorvel::util::exports;
namespace u = zorvel::util;

// The suffix routine's name holds a double underscore, which C++ keeps for itself.
extern "C" void file_suffix_export(char* result, Len result_len, const char* name, Len name_len)
    __asm__("FILE___EXT");

extern "C" {

// Extension with its dot, lower case.
void FILEEXT(char* result, Len result_len, const char* name, Len name_len) {
    text_to_text(u::FILEEXT, result, result_len, name, name_len);
}

// Extension with its dot, case kept.
void FILEEXTKC(char* result, Len result_len, const char* name, Len name_len) {
    text_to_text(u::FILEEXTKC, result, result_len, name, name_len);
}

// Name without folder and extension.
void FILENAME(char* result, Len result_len, const char* name, Len name_len) {
    text_to_text(u::FILENAME, result, result_len, name, name_len);
}

// Name without folder.
void FILENAMEEXT(char* result, Len result_len, const char* name, Len name_len) {
    text_to_text(u::FILENAMEEXT, result, result_len, name, name_len);
}

// Suffix from the last "_" of the base name, lower case (exported as FILE___EXT).
void file_suffix_export(char* result, Len result_len, const char* name, Len name_len) {
    text_to_text(u::FILE___EXT, result, result_len, name, name_len);
}

// Base name cut before its last "_".
void FILENAMENO_(char* result, Len result_len, const char* name, Len name_len) {
    text_to_text(u::FILENAMENO_, result, result_len, name, name_len);
}

// Folder and name without extension.
void FILENAMEPATH(char* result, Len result_len, const char* name, Len name_len) {
    text_to_text(u::FILENAMEPATH, result, result_len, name, name_len);
}

// Folder and name without extension, cut before the last "_".
void FILENAMEPATHNO_(char* result, Len result_len, const char* name, Len name_len) {
    text_to_text(u::FILENAMEPATHNO_, result, result_len, name, name_len);
}

// Folder with its final separator.
void FILEFOLDERPATH(char* result, Len result_len, const char* name, Len name_len) {
    text_to_text(u::FILEFOLDERPATH, result, result_len, name, name_len);
}

// The cleaned name, written into the result and back into the argument.
void CLEANPATH(char* result, Len result_len, char* name, Len name_len) {
    guarded([&] {
        std::string n = text_copy(name, name_len);
        const std::string cleaned = u::CLEANPATH(n);
        store(name, name_len, n);
        store(result, result_len, cleaned);
    });
}

// The folder and the name joined and normalised.
void ADDFOLDER(char* result, Len result_len, const char* folder, Len folder_len, const char* name, Len name_len) {
    guarded([&] { store(result, result_len, u::ADDFOLDER(text(folder, folder_len), text(name, name_len))); });
}

// The path with its parent and current-folder references resolved.
void REMOVEDOTDOT(char* result, Len result_len, const char* path, Len path_len) {
    text_to_text(u::REMOVEDOTDOT, result, result_len, path, path_len);
}

}  // extern "C"
