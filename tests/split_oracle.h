#pragma once

#include <vector>

#include "job/jobrecord.h"

namespace velkar::test {

// The knife ordering done the plain way, step by step as the program's
// behaviour is defined: linear searches from the head of the list after every
// merge and neighbour-swapping sorts. Slow (quadratic), and kept out of the
// program: it is the reference the indexed ordering is compared with.
//
// Each takes and returns the bare records of a knife file. Returns false for a
// line before any move (out is then left alone).
bool LiteralChain(const std::vector<JobRecord>& in, std::vector<JobRecord>& out);
bool LiteralBands(const std::vector<JobRecord>& in, std::vector<JobRecord>& out);
// Chain, chain, bands; a step that finds a line before any move leaves its input as it was.
std::vector<JobRecord> LiteralOrder(const std::vector<JobRecord>& in);

}  // namespace velkar::test
