#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace velkar::cli {

// velkar render JOB -o FILE.png|.svg|.pdf [--scale S] [--sharp MM] [--close MM] [--move-x MM] [--move-y MM]
int RunRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace velkar::cli
