#pragma once

#include <QByteArray>
#include <QRectF>
#include <QTransform>
#include <cstdint>
#include <string>

namespace velkar {

// What the import needs to know about an SVG document before Qt renders it:
// that it is one, its size, and its layers that name a knife.
struct SvgDocumentScan {
    std::string refusal;  // empty for an SVG document, else why it is not one
    double widthMm = 0;   // the document's size; 0 where not given in absolute units
    double heightMm = 0;
    QRectF viewBox;  // empty when absent or unusable
    // preserveAspectRatio: alignment 0 min, 1 mid, 2 max in x and y, or none.
    bool alignNone = false;
    int alignX = 1;
    int alignY = 1;
    bool slice = false;
    std::int64_t filters = 0;  // elements with a filter effect
    bool knifeLayers = false;  // a group labelled "Knife N" or "Pen N"
};

// Reads the document once as XML. A document whose XML is broken or whose root
// is not <svg> gets a refusal naming the line and the reason.
SvgDocumentScan ScanSvgDocument(const QByteArray& data);

// The document with a marker shape (knifemarker.h) at the start and the end of
// each group labelled "Knife N" or "Pen N"; only called for documents that
// ScanSvgDocument accepted.
QByteArray MarkKnifeLayers(const QByteArray& data);

// The knife that a group's label names: "Knife N" or "Pen N" at its start, any
// letter case, spaces optional, anything after (Inkscape's plotter layers are
// named "Pen 2 Speed 10"). N from 1 to 8 is that knife, other numbers knife 1;
// 0 when the label names no knife.
int KnifeOfLabel(const QString& label);

// Maps the document's user units (what Qt's SVG renderer paints in) to job
// units, 40 to the millimetre, with y growing upwards from the bottom edge of
// the page. Sizes and the viewBox give millimetres, 96 user units to the inch
// where the document gives none.
QTransform UserToJob(const SvgDocumentScan& scan);

// Millimetres in a length such as "210mm", "8.5in", "100" (user units, 1/96
// inch), "12pt"; 0 for percentages, font-relative units and anything unusable.
double LengthInMm(const QString& text);

}  // namespace velkar
