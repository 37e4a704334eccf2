#include "drawingimport/postscriptdrawing.h"

#include <stdlib.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <cmath>

#include "import/standardplotreader.h"
#include "job/binaryfile.h"
#include "job/jobreader.h"
#include "job/tempdir.h"

namespace velkar {

namespace {

// Ghostscript can run for long on a large PDF; beyond this it is taken as stuck.
constexpr int ToolTimeoutMs = 5 * 60 * 1000;

// A temporary file of its own, removed when this goes.
class TemporaryPlotFile {
public:
    TemporaryPlotFile() {
        std::string pattern = PrivateTempFile("drawing-XXXXXX.hpgl");
        const int fd = ::mkstemps(pattern.data(), 5);
        if (fd < 0) throw TempDirError(PrivateTempDir() + ": " + SystemErrorText(errno));
        ::close(fd);
        m_strPath = pattern;
    }
    ~TemporaryPlotFile() { ::unlink(m_strPath.c_str()); }
    TemporaryPlotFile(const TemporaryPlotFile&) = delete;
    TemporaryPlotFile& operator=(const TemporaryPlotFile&) = delete;
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};

std::string LastLine(const QByteArray& text) {
    const QList<QByteArray> lines = text.trimmed().split('\n');
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if (!it->trimmed().isEmpty()) return it->trimmed().toStdString();
    return "it wrote no drawing";
}

// The knives, paths and lengths of a written job.
void CountCuts(const std::string& job, DrawingStats& stats) {
    JobReader reader;
    if (!reader.Open(job)) return;
    JobRecord r;
    int knife = 1;
    double x = 0, y = 0;
    bool cutting = false;
    while (reader.Read(r)) {
        if (r.code == RecKnife) knife = r.x >= 1 && r.x <= 8 ? r.x : 1;
        KnifeUse& use = stats.knives[knife - 1];
        if (r.code == RecLine) {
            if (!cutting) ++use.paths;
            cutting = true;
            use.lengthMm += std::hypot(r.x - x, r.y - y) / 40;
        } else if (r.code == RecMove || r.code == RecKnife || r.code == RecPathEnd) {
            cutting = false;
        }
        if (r.code == RecLine || r.code == RecMove) x = r.x, y = r.y;
    }
    for (int k = 0; k < 8; ++k)
        if (stats.knives[k].paths > 0) stats.knives[k].sources.push_back("pen " + std::to_string(k + 1));
}

}  // namespace

ConversionResult ConvertPostScriptDrawing(const std::string& input, const std::string& output, std::int32_t& count,
                                          DrawingStats& stats, std::string& error) {
    count = 0;
    stats = DrawingStats{};
    error.clear();
    {
        QFile file(QString::fromStdString(input));
        if (!file.open(QIODevice::ReadOnly)) {
            error = "cannot read " + input + ": " + file.errorString().toStdString();
            return ConversionFileFailed;
        }
    }
    const QString pstoedit = QStandardPaths::findExecutable(QStringLiteral("pstoedit"));
    if (pstoedit.isEmpty()) {
        error = "cannot convert " + input + ": pstoedit is not installed (Debian package pstoedit)";
        return ConversionNoTool;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("gs")).isEmpty()) {
        error = "cannot convert " + input + ": Ghostscript is not installed (Debian package ghostscript)";
        return ConversionNoTool;
    }
    try {
        TemporaryPlotFile plot;
        QProcess tool;
        tool.setProgram(pstoedit);
        // Text as outlines, a pen per colour; Debian 12's Ghostscript needs its
        // former PDF reader, with which pstoedit works.
        tool.setArguments(
            {QStringLiteral("-q"), QStringLiteral("-dt"), QStringLiteral("-psarg"), QStringLiteral("-dNEWPDF=false"),
             QStringLiteral("-f"), QStringLiteral("hpgl:-penplotter -pencolors 8"),
             QFileInfo(QString::fromStdString(input)).absoluteFilePath(), QString::fromStdString(plot.Path())});
        tool.setStandardInputFile(QProcess::nullDevice());
        tool.start();
        const bool finished = tool.waitForFinished(ToolTimeoutMs);
        if (!finished) {
            tool.kill();
            tool.waitForFinished();
            error = "cannot convert " + input + ": pstoedit did not finish within 5 minutes";
            return ConversionNoTool;
        }
        const QByteArray messages = tool.readAllStandardError() + tool.readAllStandardOutput();
        if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
            error = "not a PostScript or PDF drawing: " + input + ": pstoedit: " + LastLine(messages);
            return ConversionNotDrawing;
        }
        // pstoedit ends well and writes nothing when the drawing holds no lines,
        // such as a page of raster images: its last words are then only a remark.
        if (QFileInfo(QString::fromStdString(plot.Path())).size() == 0) {
            error = "not a PostScript or PDF drawing: " + input +
                    ": pstoedit found no lines in it (raster images are not cut)";
            return ConversionNotDrawing;
        }
        StandardPlotStats skipped;
        const ConversionResult result = ConvertStandardPlotFile(plot.Path(), output, count, skipped, error);
        if (result != ConversionDone) {
            // The reader names the temporary file; the operator knows the drawing.
            for (std::size_t at; (at = error.find(plot.Path())) != std::string::npos;)
                error.replace(at, plot.Path().size(), input);
            return result == ConversionNotPlotterFile ? ConversionNotDrawing : result;
        }
        try {
            CountCuts(output, stats);
        } catch (const FileError&) {
            // The job is complete; only its summary is lost.
        }
        return ConversionDone;
    } catch (const TempDirError& e) {
        error = "cannot convert " + input + ": " + e.what();
        return ConversionFileFailed;
    }
}

}  // namespace velkar
