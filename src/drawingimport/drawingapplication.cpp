#include "drawingimport/drawingapplication.h"

#include <QGuiApplication>
#include <cstdio>

namespace velkar {

bool EnsureDrawingApplication(std::string& error) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return true;
    if (QCoreApplication::instance()) {
        error = "drawings need Qt's GUI application object, and this process has another";
        return false;
    }
    // The command line tells what matters itself; Qt's own remarks (a missing
    // runtime directory, fonts) stay off the terminal.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    static int argc = 3;
    static char name[] = "velkar", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    // Kept for the life of the process: Qt objects made later belong to it.
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    (void)application;
    return true;
}

}  // namespace velkar
