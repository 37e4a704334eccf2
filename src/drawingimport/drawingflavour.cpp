#include "drawingimport/drawingflavour.h"

#include <zlib.h>

#include <QFile>
#include <QFileInfo>

namespace velkar {

namespace {

// The start of a gzip stream unpacked, as far as it goes in size bytes.
QByteArray Gunzip(const QByteArray& data, int size) {
    QByteArray out(size, '\0');
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return {};
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(size);
    inflate(&z, Z_SYNC_FLUSH);
    out.truncate(static_cast<int>(z.total_out));
    inflateEnd(&z);
    return out;
}

bool LooksLikeSvg(const QByteArray& head) {
    const qsizetype svg = head.indexOf("<svg");
    return svg >= 0 && head.trimmed().startsWith('<');
}

}  // namespace

int DrawingFlavourOf(const std::string& path) {
    const QString suffix = QFileInfo(QString::fromStdString(path)).suffix().toLower();
    if (suffix == QLatin1String("svg") || suffix == QLatin1String("svgz")) return FlavourSvg;
    if (suffix == QLatin1String("eps") || suffix == QLatin1String("ps") || suffix == QLatin1String("pdf") ||
        suffix == QLatin1String("ai"))
        return FlavourPostScript;
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return 0;
    QByteArray head = file.read(4096);
    if (head.startsWith("%!PS") || head.startsWith("\xc5\xd0\xd3\xc6") || head.left(1024).contains("%PDF-"))
        return FlavourPostScript;
    if (head.startsWith("\x1f\x8b")) head = Gunzip(head, 4096);
    if (head.startsWith("\xef\xbb\xbf")) head.remove(0, 3);
    return LooksLikeSvg(head) ? FlavourSvg : 0;
}

}  // namespace velkar
