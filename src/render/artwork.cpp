#include "render/artwork.h"

#include <QPainter>
#include <QSvgRenderer>

// The resources live in a static library, so they are registered by hand.
static void InitVelkarResources() { Q_INIT_RESOURCE(velkar); }

namespace velkar {

QPixmap CArtwork::Pixmap(const QString& resource, QSize size, qreal ratio) {
    static const bool registered = (InitVelkarResources(), true);
    (void)registered;
    QSvgRenderer renderer(resource);
    if (!renderer.isValid()) return QPixmap();
    QPixmap pixmap(size * ratio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

QIcon CArtwork::Icon(const QString& resource, QSize size) {
    QIcon icon;
    icon.addPixmap(Pixmap(resource, size, 1.0));
    icon.addPixmap(Pixmap(resource, size, 2.0));
    return icon;
}

QCursor CArtwork::ZoomOutCursor() {
    return QCursor(Pixmap(QStringLiteral(":/velkar/cursors/zoomplus.svg"), QSize(32, 32)), 0, 0);
}

QCursor CArtwork::ZoomInCursor() {
    return QCursor(Pixmap(QStringLiteral(":/velkar/cursors/zoomminus.svg"), QSize(32, 32)), 0, 0);
}

}  // namespace velkar
