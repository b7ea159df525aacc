// A computing header that includes a report writer: the layer check must
// refuse it (tests/CMakeLists.txt, test layers_refuse_upward_include).
#pragma once

#include "report/format.hpp"
