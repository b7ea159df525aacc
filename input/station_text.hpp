// One free station in the text form a surveyor types: a header that names
// the form, the angle unit, the station and the default precision of each
// kind of observation; the known points; then one observation a line.
//
//   estacao-livre gd
//   estacao E1 1.600
//   precisao direccao 1.5
//   precisao distancia 0.002 2
//   pontos
//   P1  43626.673  276557.347  268.715
//   P2  42211.532  274411.871
//   observacoes
//   P1 direccao  268.71506
//   P1 distancia 1523.412 0.003
//   P2 direccao  323.41615 3
//
// The README describes every line. The records are read in the
// free form of the program's input file (values separated by blanks or one
// comma, names bare or in quotes), but a line holds exactly one record: a
// value missing from it, a value too many or a decimal comma ends the run
// with a message that names the line.
#pragma once

#include "input/station_survey.hpp"

#include <istream>
#include <string>

namespace resection {

// The word that opens a file in this form: its first value.
inline constexpr const char* freeStationKeyword = "estacao-livre";

// The station of a whole file in this form, checked (checkSurvey).
StationSurvey readStationText(std::istream& in, const std::string& fileName);

} // namespace resection
