#pragma once
// The file-opening engine and the library's console questions. ENTEX opens one file
// on a unit its caller has chosen, by a two-character mode code, and is the one place
// that talks to the user about files: it traces every attempt, asks for another name
// while an input cannot be found, asks before closing a file this run already holds,
// and explains and retries an output that cannot be opened.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace zorvel::util {

// Opens the name on the unit (a unit of the file-unit tables) with the settings of the
// mode code. Returns with the file open on the unit, with the unit set to 0 when an
// existing file cannot be appended to ("A "), or with nothing opened for an unknown
// code. The name is cleaned in place and replaced by a name typed at the prompt.
void ENTEX(int& unit, std::string& name, std::string_view mode, std::string_view description);

// Writes the first n characters of the text without a line end.
void WRITENOADVANCE(std::string_view text, int n);
// Length without trailing blanks and NULs; a NUL is put after the last character kept.
int LENSL(std::string& text);
// Length up to the first blank or NUL, where a NUL is put.
int CSTRINGEND(std::string& text);
// Writes a question without its trailing blanks and without a line end.
void WRITEPROMPT(std::string& text);
// Reads an answer into a field of the given length (cut or padded with blanks) and
// gives its length as LENSL does.
void READPROMPT(std::string& text, int& length, std::size_t field = 1000);
// Asks a yes/no question; true when the answer begins with "y" or "Y".
bool ASKYES(std::string_view question);
// Sets debug flags from letters typed at the console.
void SETFLAGS();

// The 26 debug flags of the library, one per letter; SETFLAGS only ever sets them.
std::array<bool, 26>& debug_flags();

// The mode code as the 2-character field the engine compares ("I" is "I ").
std::string mode_code(std::string_view mode);

// Ends the run at one of the opener's stops: the message as a line, exit status 1.
[[noreturn]] void stop_run(std::string_view message);

// Ends the run when the console input ended while the user was being asked something.
[[noreturn]] void end_of_input(std::string_view what);

}  // namespace zorvel::util
