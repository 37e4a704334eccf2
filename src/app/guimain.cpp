#include "app/guimain.h"

#include <cstdio>
#include <cstring>

#include <QApplication>

#include "app/velkarapp.h"
#include "render/artwork.h"
#include "split/pipelinefiles.h"

namespace velkar {

int RunDesktop(int argc, char** argv) {
    // Without any display Qt would abort; say what is missing instead.
    const bool platformChosen = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    bool platformArgument = false;
    for (int i = 1; i < argc; ++i) platformArgument = platformArgument || std::strcmp(argv[i], "-platform") == 0;
    if (!platformChosen && !platformArgument && !qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "velkar: no display for the desktop program (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                     "run it under xvfb-run, or see 'velkar --help' for the commands that need none\n");
        return 1;
    }
    PipelineFiles::RemoveLeftovers();
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velkar"));
    QApplication::setOrganizationName(QStringLiteral("QV VELKAR1"));
    QApplication::setWindowIcon(CArtwork::Icon(QStringLiteral(":/velkar/icons/velkar.svg"), QSize(32, 32)));
    CVelkarApp app;
    QString error;
    if (!app.InitInstance(QApplication::arguments().mid(1), &error)) {
        std::fprintf(stderr, "velkar: %s\n", error.toLocal8Bit().constData());
        return 2;
    }
    return app.Run();
}

}  // namespace velkar
