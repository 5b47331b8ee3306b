// The soak scenario of the window driver.
#pragma once

#include <string>
#include <vector>

namespace wd {

// Rounds of SCAN and ABORT at random moments on one twinex.exe, then QUIT.
// `args`: --rounds N (default 5), --seed S (default 1).
void soak(const std::string& exe, const std::string& work, const std::vector<std::string>& args);

}  // namespace wd
