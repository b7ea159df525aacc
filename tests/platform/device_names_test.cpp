// The names Windows takes for devices rather than files, which the program
// refuses there as file names (run on every system: the rule is plain text).
#include "platform/platform.hpp"

#include <gtest/gtest.h>

namespace resection {
namespace {

TEST(WindowsDeviceName, LastPartBeforeItsFirstPoint) {
    const char* devices[] = {
        "nul",         "NUL.rel",        "aux.rel",  "Con",     "prn.a.b",        "com1",
        "COM9.txt",    "lpt1.rel",       "nul .txt", "nul:",    "aux.",           "c:nul",
        "dir/aux.rel", "c:\\dir\\con.x", "conin$",   "CONOUT$", "COM\xc2\xb9.rel"};
    for (const char* name : devices) {
        EXPECT_TRUE(isWindowsDeviceName(name)) << name;
    }
    const char* files[] = {"",     "nulo.rel",  "auxiliar", "com10",     "com0",       "lpt",
                           "xnul", "nul/x.rel", "a.nul",    "con x.rel", "COM\xc2\xb4"};
    for (const char* name : files) {
        EXPECT_FALSE(isWindowsDeviceName(name)) << name;
    }
}

} // namespace
} // namespace resection
