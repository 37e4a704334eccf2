#include "app/guimain.h"

#include <cstdio>

#include <QApplication>

#include "app/velkarapp.h"
#include "view/artwork.h"

namespace velkar {

int RunDesktop(int argc, char** argv) {
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
