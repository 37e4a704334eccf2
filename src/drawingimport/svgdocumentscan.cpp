#include "drawingimport/svgdocumentscan.h"

#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <cmath>
#include <vector>

#include "drawingimport/knifemarker.h"

namespace velkar {

namespace {

const QString InkscapeNamespace = QStringLiteral("http://www.inkscape.org/namespaces/inkscape");

// Sizes beyond this (25 km) are taken as not given; coordinates beyond it are refused later anyway.
constexpr double MaxDocumentMm = 25.0e6;

bool IsKnifeGroup(const QXmlStreamReader& xml) {
    if (xml.name() != QLatin1String("g")) return false;
    return KnifeOfLabel(xml.attributes().value(InkscapeNamespace, QStringLiteral("label")).toString()) != 0;
}

bool HasFilter(const QXmlStreamAttributes& attributes) {
    const QStringView filter = attributes.value(QStringLiteral("filter")).trimmed();
    if (!filter.isEmpty() && filter != QLatin1String("none")) return true;
    static const QRegularExpression styleFilter(QStringLiteral("(^|;)\\s*filter\\s*:\\s*(?!none\\b)[^;\\s]"));
    return styleFilter.match(attributes.value(QStringLiteral("style"))).hasMatch();
}

void ReadViewBox(const QString& text, QRectF& box) {
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    const QStringList parts = text.trimmed().split(separators, Qt::SkipEmptyParts);
    if (parts.size() != 4) return;
    double v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].toDouble(&ok);
        if (!ok || !std::isfinite(v[i]) || std::fabs(v[i]) > 1e12) return;
    }
    if (v[2] > 0 && v[3] > 0) box = QRectF(v[0], v[1], v[2], v[3]);
}

void ReadAspectRatio(const QString& text, SvgDocumentScan& scan) {
    const QStringList parts = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.isEmpty()) return;
    const QString& align = parts.first();
    if (align == QLatin1String("none")) {
        scan.alignNone = true;
        return;
    }
    static const QRegularExpression pattern(QStringLiteral("^x(Min|Mid|Max)Y(Min|Mid|Max)$"));
    const QRegularExpressionMatch m = pattern.match(align);
    if (!m.hasMatch()) return;
    auto index = [](const QString& s) { return s == QLatin1String("Min") ? 0 : s == QLatin1String("Mid") ? 1 : 2; };
    scan.alignX = index(m.captured(1));
    scan.alignY = index(m.captured(2));
    scan.slice = parts.size() > 1 && parts[1] == QLatin1String("slice");
}

void ReadRoot(const QXmlStreamAttributes& a, SvgDocumentScan& scan) {
    scan.widthMm = LengthInMm(a.value(QStringLiteral("width")).toString());
    scan.heightMm = LengthInMm(a.value(QStringLiteral("height")).toString());
    ReadViewBox(a.value(QStringLiteral("viewBox")).toString(), scan.viewBox);
    ReadAspectRatio(a.value(QStringLiteral("preserveAspectRatio")).toString(), scan);
}

}  // namespace

double LengthInMm(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)\\s*(px|pt|pc|mm|cm|in|Q)?\\s*$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch()) return 0;
    const double value = m.captured(1).toDouble();
    const QString unit = m.captured(2);
    double perUnit = 25.4 / 96;  // user units and px
    if (unit == QLatin1String("pt"))
        perUnit = 25.4 / 72;
    else if (unit == QLatin1String("pc"))
        perUnit = 25.4 / 6;
    else if (unit == QLatin1String("mm"))
        perUnit = 1;
    else if (unit == QLatin1String("cm"))
        perUnit = 10;
    else if (unit == QLatin1String("in"))
        perUnit = 25.4;
    else if (unit == QLatin1String("Q"))
        perUnit = 0.25;
    const double mm = value * perUnit;
    return std::isfinite(mm) && mm > 0 && mm <= MaxDocumentMm ? mm : 0;
}

int KnifeOfLabel(const QString& label) {
    static const QRegularExpression pattern(QStringLiteral("^\\s*(?:knife|pen)\\s*(\\d{1,9})(?!\\d)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(label);
    if (!m.hasMatch()) return 0;
    const int n = m.captured(1).toInt();
    return n >= 1 && n <= 8 ? n : 1;
}

SvgDocumentScan ScanSvgDocument(const QByteArray& data) {
    SvgDocumentScan scan;
    QXmlStreamReader xml(data);
    bool root = true;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (root) {
            if (xml.name() != QLatin1String("svg")) {
                scan.refusal = "the document is <" + xml.name().toString().toStdString() + ">, not <svg>";
                return scan;
            }
            ReadRoot(attributes, scan);
            root = false;
        }
        if (HasFilter(attributes)) ++scan.filters;
        if (IsKnifeGroup(xml)) scan.knifeLayers = true;
    }
    if (xml.hasError())
        scan.refusal = "line " + std::to_string(xml.lineNumber()) + ": " + xml.errorString().toStdString();
    else if (root)
        scan.refusal = "no <svg> element";
    return scan;
}

QByteArray MarkKnifeLayers(const QByteArray& data) {
    QByteArray marked;
    marked.reserve(data.size() + 1024);
    QXmlStreamReader xml(data);
    QXmlStreamWriter out(&marked);
    std::vector<bool> knifeGroups;  // per open element: whether it is a knife layer
    auto writeMarker = [&out](int blue) {
        // A marker is written as raw text: it needs no namespace of its own.
        out.writeCharacters(QString());  // closes the start tag written before
        out.device()->write(QString::fromLatin1(KnifeMarkerElement).arg(blue, 2, 16, QLatin1Char('0')).toUtf8());
    };
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::Invalid) break;
        if (token == QXmlStreamReader::EndElement && !knifeGroups.empty()) {
            if (knifeGroups.back()) writeMarker(KnifeMarkerEndBlue);
            knifeGroups.pop_back();
        }
        out.writeCurrentToken(xml);
        if (token == QXmlStreamReader::StartElement) {
            const bool knife = IsKnifeGroup(xml);
            knifeGroups.push_back(knife);
            if (knife)
                writeMarker(
                    KnifeMarkerEndBlue +
                    KnifeOfLabel(xml.attributes().value(InkscapeNamespace, QStringLiteral("label")).toString()));
        }
    }
    return marked;
}

QTransform UserToJob(const SvgDocumentScan& scan) {
    constexpr double UserMm = 25.4 / 96;
    double sx = UserMm, sy = UserMm, tx = 0, ty = 0;
    double heightMm = scan.heightMm;
    const QRectF& vb = scan.viewBox;
    if (!vb.isEmpty()) {
        double w = scan.widthMm, h = scan.heightMm;
        // A missing size follows the viewBox's proportions, or its size in user units.
        if (w <= 0 && h <= 0)
            w = vb.width() * UserMm, h = vb.height() * UserMm;
        else if (w <= 0)
            w = h * vb.width() / vb.height();
        else if (h <= 0)
            h = w * vb.height() / vb.width();
        heightMm = h;
        sx = w / vb.width();
        sy = h / vb.height();
        if (!scan.alignNone) {
            sx = sy = scan.slice ? std::max(sx, sy) : std::min(sx, sy);
        }
        tx = -vb.x() * sx + (scan.alignNone ? 0 : scan.alignX * (w - vb.width() * sx) / 2);
        ty = -vb.y() * sy + (scan.alignNone ? 0 : scan.alignY * (h - vb.height() * sy) / 2);
    }
    // User y grows downwards; the job's grows upwards from the page's bottom edge.
    constexpr double UnitsPerMm = 40;
    return QTransform(sx * UnitsPerMm, 0, 0, -sy * UnitsPerMm, tx * UnitsPerMm, (heightMm - ty) * UnitsPerMm);
}

}  // namespace velkar
