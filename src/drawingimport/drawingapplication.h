#pragma once

#include <string>

namespace velkar {

// Qt's SVG renderer and its fonts need a QGuiApplication. When the process has
// no Qt application (the command line), one is made on the offscreen platform
// and kept until the process ends, so no display is needed. False, with error
// set, when the process has a Qt application that is not a QGuiApplication.
bool EnsureDrawingApplication(std::string& error);

}  // namespace velkar
