#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace velkar {

// The program's own drawings (application icon, tool-bar buttons, magnifier
// cursors), kept as SVG resources under ":/velkar" and rendered at the size
// and pixel ratio asked for, so they stay sharp on high-density screens.
class CArtwork {
public:
    // A transparent pixmap of logical size at the pixel ratio; a null pixmap if the resource is missing.
    static QPixmap Pixmap(const QString& resource, QSize size, qreal ratio = 1.0);
    // An icon holding renderings at 1x and 2x of size.
    static QIcon Icon(const QString& resource, QSize size);
    // The 32 by 32 magnifier cursors, hot spot at the top left.
    static QCursor ZoomOutCursor();  // plus sign
    static QCursor ZoomInCursor();   // minus sign
};

}  // namespace velkar
