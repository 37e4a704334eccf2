#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <ostream>

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include "cli/cli.h"
#include "cli/commands.h"
#include "job/binaryfile.h"
#include "job/filereplacement.h"
#include "job/jobreader.h"
#include "serial/profile.h"
#include "render/jobrenderer.h"

namespace velkar::cli {

namespace {

constexpr int MaxPictureSide = 20000;

bool ParseNumber(const std::string& option, const std::string& text, double min, double max, double& value,
                 std::ostream& err) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value) || value < min || value > max) {
        ReportError(err, option + " must be a number from " + QString::number(min).toStdString() + " to " +
                             QString::number(max).toStdString() + ", not '" + text + "'");
        return false;
    }
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Painting needs a GUI application object; none is shown, so no display is needed.
std::unique_ptr<QGuiApplication> MakeOffscreenApplication() {
    if (QCoreApplication::instance()) return nullptr;
    static int argc = 3;
    static char arg0[] = "velkar";
    static char arg1[] = "-platform";
    static char arg2[] = "offscreen";
    static char* argv[] = {arg0, arg1, arg2, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

int RunRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    (void)out;
    std::string job;
    std::string output;
    RenderSettings settings;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "-o" || a == "--scale" || a == "--sharp" || a == "--close" || a == "--move-x" ||
                                a == "--move-y";
        if (takesValue && i + 1 >= args.size()) {
            ReportError(err, a + " needs a value");
            return ExitUsage;
        }
        double v = 0.0;
        if (a == "-o") {
            output = args[++i];
        } else if (a == "--scale") {
            if (!ParseNumber(a, args[++i], 0.0025, 512.0, v, err)) return ExitUsage;
            settings.scale = v;
        } else if (a == "--sharp") {
            if (!ParseNumber(a, args[++i], 0.0, 2.0, v, err)) return ExitUsage;
            settings.sharpOffset = static_cast<float>(v);
        } else if (a == "--close") {
            if (!ParseNumber(a, args[++i], 0.0, 5.0, v, err)) return ExitUsage;
            settings.closeOffset = static_cast<float>(v);
        } else if (a == "--move-x" || a == "--move-y") {
            if (!ParseNumber(a, args[++i], -1000000.0, 1000000.0, v, err)) return ExitUsage;
            (a == "--move-x" ? settings.moveX : settings.moveY) = static_cast<float>(v);
        } else if (!a.empty() && a[0] == '-') {
            ReportError(err, "unknown option '" + a + "'");
            return ExitUsage;
        } else if (job.empty()) {
            job = a;
        } else {
            ReportError(err, "more than one job named: '" + a + "'");
            return ExitUsage;
        }
    }
    if (job.empty() || output.empty()) {
        ReportError(err, "render needs a job and -o FILE");
        return ExitUsage;
    }
    const std::string suffix = Lower(output.size() >= 4 ? output.substr(output.size() - 4) : output);
    if (suffix != ".png" && suffix != ".svg" && suffix != ".pdf") {
        ReportError(err, output + ": the picture file must end in .png, .svg or .pdf");
        return ExitUsage;
    }

    {
        JobReader reader;
        if (!reader.Open(job)) {
            ReportError(err, "cannot open " + job + ": " + SystemErrorText(reader.OpenError()));
            return ExitFileError;
        }
        JobRecord work;
        if (!ReadJobHeader(reader, work).valid) {
            ReportError(err, job + ": not a PT1 job (the first three records are not its headers)");
            return ExitFileError;
        }
    }

    const auto app = MakeOffscreenApplication();
    settings.jobPath = job;
    const MaterialSize material = LoadMaterialSize();
    settings.materialLengthMm = material.length;
    settings.materialWidthMm = material.width;
    const int z = CJobRenderer::ScaleDivisor(settings.scale);
    const QSize size(CJobRenderer::MaterialPixels(material.width, z) + 400,
                     CJobRenderer::MaterialPixels(material.length, z) + 500);
    if (size.width() < 1 || size.height() < 1 || size.width() > MaxPictureSide || size.height() > MaxPictureSide) {
        ReportError(err, "a picture of " + std::to_string(size.width()) + " x " + std::to_string(size.height()) +
                             " pixels cannot be drawn (each side 1 to " + std::to_string(MaxPictureSide) +
                             "); choose another --scale or material size");
        return ExitUsage;
    }

    // The picture is drawn into a scratch file beside the output, which replaces
    // the output only when the picture is complete.
    FileReplacement replacement;
    if (!replacement.Open(output)) {
        ReportError(err, "cannot write " + output + ": " + replacement.Reason());
        return ExitFileError;
    }
    QFile file;
    if (!file.open(replacement.TakeDescriptor(), QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ReportError(err, "cannot write " + output + ": " + file.errorString().toStdString());
        return ExitFileError;
    }
    bool saved = true;
    if (suffix == ".png") {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            CJobRenderer::Draw(painter, settings);
        }
        saved = image.save(&file, "PNG");
    } else if (suffix == ".svg") {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QStringLiteral("Velkar job"));
        QPainter painter(&svg);
        saved = painter.isActive();
        if (saved) CJobRenderer::Draw(painter, settings);
        saved = painter.end() && saved;
    } else {
        QPdfWriter pdf(&file);
        pdf.setResolution(72);
        pdf.setPageMargins(QMarginsF());
        pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point, QString(), QPageSize::ExactMatch));
        QPainter painter(&pdf);
        saved = painter.isActive();
        if (saved) CJobRenderer::Draw(painter, settings);
        saved = painter.end() && saved;
    }
    // Write errors of the painters surface only in the file's own state, which
    // a clean close would reset.
    QString writeError = file.error() != QFileDevice::NoError ? file.errorString() : QString();
    file.close();
    if (writeError.isEmpty() && file.error() != QFileDevice::NoError) writeError = file.errorString();
    if (!saved || !writeError.isEmpty()) {
        ReportError(err, "cannot write " + output + (writeError.isEmpty() ? "" : ": " + writeError.toStdString()));
        return ExitFileError;
    }
    try {
        replacement.Commit();
    } catch (const FileError& e) {
        ReportError(err, "cannot write " + output + ": " + e.Reason());
        return ExitFileError;
    }
    return ExitOk;
}

}  // namespace velkar::cli
