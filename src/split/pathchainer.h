#pragma once

#include <functional>

#include "job/pathlist.h"

namespace velkar {

// Joins the open paths of `paths` whose ends meet and hands every finished path
// to `write`, emptying the list.
//
// The result is that of the plain walk: take the first path H (first point A,
// last point B); find the first other path Q in list order for which one of
// A == Q.last, B == Q.first, A == Q.first, B == Q.last holds; apply the first of
// these tests that holds for that Q (append H to Q; append Q to H; append the
// reversed H followed by Q as a new last path; append the reversed Q to H) and
// start again; when no path meets H, write H and remove it.
// Instead of walking the list after every merge, it finds Q through an index
// of the points where paths start and end, so a knife of a million paths takes
// about a second rather than hours. Points compare by x and y only.
void ChainPaths(CPathList& paths, const std::function<void(const CJobPath&)>& write);

}  // namespace velkar
