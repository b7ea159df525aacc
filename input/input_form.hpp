// Which of the input forms a file is: the program's input file (its first
// value a unit code), a free station in its text form (its first word
// "estacao-livre", in any case) or in JSON (its first byte that is not blank
// a '{'). No file of the program's form begins either way, so each keeps its
// meaning.
#pragma once

#include <istream>

namespace resection {

enum class InputForm { ProgramFile, StationText, StationJson };

// From the first bytes of the stream (a UTF-8 byte-order mark and blanks
// passed over); the stream is set back to its start.
InputForm inputFormOf(std::istream& in);

} // namespace resection
