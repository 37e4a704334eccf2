#include "drawingimport/svgdrawingreader.h"

#include <zlib.h>

#include <QFile>
#include <QLoggingCategory>
#include <QPainter>
#include <QSvgRenderer>

#include "drawingimport/drawingapplication.h"
#include "drawingimport/drawingpaintengine.h"
#include "drawingimport/drawingrecorder.h"
#include "drawingimport/svgdocumentscan.h"
#include "import/plotjobsink.h"
#include "import/standardplotreader.h"
#include "job/binaryfile.h"
#include "job/jobwriter.h"

namespace velkar {

namespace {

// Drawings beyond this, packed or unpacked, are refused rather than held in memory.
constexpr qsizetype MaxDrawingSize = qsizetype{1} << 30;

// Unpacks a gzip stream; false when it is broken or too large.
bool Gunzip(const QByteArray& packed, QByteArray& out, std::string& reason) {
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
        reason = "cannot unpack";
        return false;
    }
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.constData()));
    z.avail_in = static_cast<uInt>(packed.size());
    out.resize(std::min<qsizetype>(MaxDrawingSize, std::max<qsizetype>(65536, packed.size() * 4)));
    int rc = Z_OK;
    while (rc == Z_OK) {
        if (z.total_out == static_cast<uLong>(out.size())) {
            if (out.size() >= MaxDrawingSize) break;
            out.resize(std::min<qsizetype>(MaxDrawingSize, out.size() * 2));
        }
        z.next_out = reinterpret_cast<Bytef*>(out.data() + z.total_out);
        z.avail_out = static_cast<uInt>(out.size() - static_cast<qsizetype>(z.total_out));
        rc = inflate(&z, Z_NO_FLUSH);
    }
    out.truncate(static_cast<qsizetype>(z.total_out));
    inflateEnd(&z);
    if (rc == Z_STREAM_END) return true;
    reason = rc == Z_OK ? "unpacked it is larger than 1 GiB" : "its compressed data is broken";
    return false;
}

// The first warning of Qt's SVG module while a document loads, which says why it was rejected.
thread_local QString* svgWarning = nullptr;
QtMessageHandler previousHandler = nullptr;

void CatchSvgWarning(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (svgWarning && context.category && QLatin1String(context.category).startsWith(QLatin1String("qt.svg"))) {
        if (svgWarning->isEmpty()) *svgWarning = text;
        return;  // the import tells what matters; the module's remarks stay off the terminal
    }
    if (previousHandler) previousHandler(type, context, text);
}

class SvgWarningCatcher {
public:
    SvgWarningCatcher() {
        svgWarning = &m_text;
        previousHandler = qInstallMessageHandler(CatchSvgWarning);
    }
    ~SvgWarningCatcher() {
        qInstallMessageHandler(previousHandler);
        svgWarning = nullptr;
    }
    const QString& Text() const { return m_text; }

private:
    QString m_text;
};

}  // namespace

ConversionResult ConvertSvgDrawing(const std::string& input, const std::string& output, std::int32_t& count,
                                   DrawingStats& stats, std::string& error) {
    count = 0;
    stats = DrawingStats{};
    error.clear();
    const std::string refused = "not an SVG drawing: " + input + ": ";

    QFile file(QString::fromStdString(input));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot read " + input + ": " + file.errorString().toStdString();
        return ConversionFileFailed;
    }
    if (file.size() > MaxDrawingSize) {
        error = refused + "larger than 1 GiB";
        return ConversionNotDrawing;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = "cannot read " + input + ": " + file.errorString().toStdString();
        return ConversionFileFailed;
    }
    file.close();
    if (data.startsWith("\x1f\x8b")) {
        QByteArray unpacked;
        std::string reason;
        if (!Gunzip(data, unpacked, reason)) {
            error = refused + reason;
            return ConversionNotDrawing;
        }
        data = std::move(unpacked);
    }

    const SvgDocumentScan scan = ScanSvgDocument(data);
    if (!scan.refusal.empty()) {
        error = refused + scan.refusal;
        return ConversionNotDrawing;
    }
    stats.filters = scan.filters;
    if (scan.knifeLayers) data = MarkKnifeLayers(data);

    if (!EnsureDrawingApplication(error)) {
        error = "cannot convert " + input + ": " + error;
        return ConversionNoTool;
    }
    QSvgRenderer renderer;
    {
        SvgWarningCatcher warnings;
        if (!renderer.load(data)) {
            error = refused + (warnings.Text().isEmpty() ? std::string("Qt's SVG module cannot read it")
                                                         : warnings.Text().toStdString());
            return ConversionNotDrawing;
        }
    }
    data = QByteArray();  // the renderer holds the document now

    JobWriter writer;
    if (!writer.Open(output)) {
        error = "cannot write " + output + ": " + writer.OpenErrorText();
        return ConversionFileFailed;
    }
    try {
        PlotJobSink sink(writer, count);
        sink.Start();
        DrawingRecorder recorder(sink, UserToJob(scan), stats);
        {
            DrawingPaintDevice device(recorder);
            QPainter painter(&device);
            SvgWarningCatcher quiet;
            renderer.render(&painter, renderer.viewBoxF());
        }
        recorder.Finish();
        sink.Finish();
    } catch (const PlotRangeError& e) {
        count = 0;
        error = "cannot convert " + input + ": " + e.what();
        return ConversionOutOfRange;
    } catch (const FileError& e) {
        count = 0;
        error = "cannot write " + e.Path() + ": " + e.Reason();
        return ConversionFileFailed;
    }
    return ConversionDone;
}

}  // namespace velkar
