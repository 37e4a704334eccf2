// The drawing of a job: frame, scale, orientation, knife pens, picture move,
// the send guard, damaged files, and the render command's files.
#include <sys/stat.h>

#include <QImage>
#include <QPainter>
#include <QPicture>
#include <QtTest/QtTest>
#include <climits>

#include "clirun.h"
#include "qtsupport.h"
#include "render/jobrenderer.h"
#include "serial/profile.h"
#include "testsupport.h"

using namespace velkar;
using velkar::test::Rec;

namespace {

const QRgb White = qRgb(255, 255, 255);
const QRgb Black = qRgb(0, 0, 0);
const QRgb Grey = qRgb(200, 200, 200);

QImage Render(const RenderSettings& s, RenderOutcome* outcome = nullptr, QSize size = QSize(1200, 1000),
              QRect exposed = QRect()) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const RenderOutcome o = CJobRenderer::Draw(painter, s, exposed);
    if (outcome) *outcome = o;
    return image;
}

// The same picture through the painter's own line drawing (a vector surface).
QImage RenderThroughPicture(const RenderSettings& s, QSize size = QSize(1200, 1000)) {
    QPicture picture;
    {
        QPainter recorder(&picture);
        CJobRenderer::Draw(recorder, s);
    }
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.drawPicture(0, 0, picture);
    return image;
}

// The colours of image at the points.
QList<QRgb> At(const QImage& image, std::initializer_list<QPoint> points) {
    QList<QRgb> colours;
    for (QPoint p : points) colours << image.pixel(p);
    return colours;
}

}  // namespace

class RenderTest : public QObject {
    Q_OBJECT
    velkar::test::ScratchDir m_dir;

    RenderSettings Job(const std::vector<JobRecord>& body, std::int32_t orientation = OrientationAsStored,
                       std::int32_t maxY = 0) {
        const std::string path = m_dir.File("job.PT1");
        velkar::test::WriteJob(path, body, orientation, maxY);
        RenderSettings s;
        s.jobPath = path;
        return s;
    }

private slots:
    void FrameAndScrollSizeFollowTheMaterialAndTheScale() {
        RenderSettings s = Job({});
        RenderOutcome o;
        const QImage image = Render(s, &o);
        QVERIFY(o.drawn);
        QCOMPARE(o.jobRecords, 3);
        // The corners, the frame five pixels wide, and nothing inside for a job of headers only.
        QCOMPARE(At(image, {{300, 100}, {500, 100}, {500, 300}, {300, 300}, {302, 102}, {304, 104}, {400, 200}}),
                 QList<QRgb>({Grey, Grey, Grey, Grey, Grey, White, White}));
        auto sizes = [&s, &o] {
            Render(s, &o);
            return QList<int>{o.materialWidth, o.materialLength, o.scrollSize.width(), o.scrollSize.height()};
        };
        QCOMPARE(sizes(), QList<int>({200, 200, 600, 700}));
        s.materialWidthMm = 100;
        s.materialLengthMm = 50;
        s.scale = 0.5;  // divisor 20
        QCOMPARE(sizes(), QList<int>({200, 100, 600, 600}));
        s.materialWidthMm = 0;
        s.materialLengthMm = 0;
        QCOMPARE(sizes(), QList<int>({0, 0, 400, 500}));
        QCOMPARE(CJobRenderer::MaterialPixels(LONG_MAX, 1), 1 << 28);
    }

    void OrientationsPlaceTheJobInTheFrame() {
        // As stored, y runs downward: job (400, 400)..(4000, 400) lands on y 110 from x 310 to 400.
        QImage image = Render(Job({Rec(RecMove, 400, 400), Rec(RecLine, 4000, 400), Rec(RecPathEnd)}));
        QCOMPARE(At(image, {{310, 110}, {350, 110}, {400, 110}, {350, 111}, {401, 110}}),
                 QList<QRgb>({Black, Black, Black, White, White}));
        // Flag 1, max y 4000 at divisor 40: job y 4000 is drawn at y 100 (over the frame's top edge), y 0 at y 200.
        image = Render(Job({Rec(RecMove, 400, 3600), Rec(RecLine, 4000, 3600), Rec(RecMove, 400, 0),
                            Rec(RecLine, 4000, 0), Rec(RecMove, 400, 4000), Rec(RecLine, 4000, 4000), Rec(RecPathEnd)},
                           OrientationMirrorY, 4000));
        QCOMPARE(At(image, {{350, 110}, {350, 200}, {350, 100}, {350, 190}}),
                 QList<QRgb>({Black, Black, Black, White}));
    }

    void KnifeRecordsSwitchPens() {
        const QImage image =
            Render(Job({Rec(RecKnife, 3), Rec(RecMove, 400, 400), Rec(RecLine, 4000, 400), Rec(RecKnife, 8),
                        Rec(RecMove, 400, 800), Rec(RecLine, 4000, 800), Rec(RecKnife, 9), Rec(RecMove, 400, 1200),
                        Rec(RecLine, 4000, 1200), Rec(RecKnife, 2), Rec(RecMove, 400, 1600), Rec(RecLine, 4000, 1600),
                        Rec(RecPathEnd)}));
        // Knives 3, 8, 9 (black) and 2.
        QCOMPARE(At(image, {{350, 110}, {350, 120}, {350, 130}, {350, 140}}),
                 QList<QRgb>({qRgb(255, 0, 0), qRgb(149, 129, 103), Black, qRgb(0, 0, 255)}));
        QList<QRgb> pens;
        for (int k : {4, 5, 6, 7, 0}) pens << CJobRenderer::KnifeColor(k).rgb();
        QCOMPARE(pens, QList<QRgb>({qRgb(0, 255, 0), qRgb(255, 0, 255), qRgb(255, 255, 0), qRgb(0, 255, 255), Black}));
    }

    void PictureMoveShiftsTheJobButNotTheFrame() {
        RenderSettings s = Job({Rec(RecMove, 400, 400), Rec(RecLine, 4000, 400), Rec(RecPathEnd)});
        s.moveX = 10.0f;
        s.moveY = -5.0f;
        QCOMPARE(At(Render(s), {{320, 105}, {410, 105}, {411, 105}, {310, 110}, {300, 100}}),
                 QList<QRgb>({Black, Black, White, White, Grey}));

        // Divisor 39: -234 mm is exactly -240 pixels and -117 mm exactly -120.
        s = Job({Rec(RecMove, 0, 3900), Rec(RecLine, 3900, 3900), Rec(RecPathEnd)});
        s.scale = 0.975;
        s.moveX = -234.0f;
        s.moveY = -117.0f;
        QCOMPARE(At(Render(s), {{60, 80}, {160, 80}, {161, 80}, {60, 81}}), QList<QRgb>({Black, Black, White, White}));
    }

    void DivisorOneDrawsJobUnitsAsPixels() {
        RenderSettings s = Job({Rec(RecMove, 10, 10), Rec(RecLine, 110, 10), Rec(RecPathEnd)});
        s.scale = 0.01;
        s.materialWidthMm = 10;
        s.materialLengthMm = 10;
        RenderOutcome o;
        const QImage image = Render(s, &o);
        QCOMPARE(o.materialWidth, 400);
        QCOMPARE(At(image, {{310, 110}, {410, 110}, {700, 500}}), QList<QRgb>({Black, Black, Grey}));
        // 2.3 mm is 92 units in single precision, as the send moves the knife.
        s.moveX = 2.3f;
        QCOMPARE(At(Render(s), {{402, 110}, {401, 110}}), QList<QRgb>({Black, White}));
    }

    void NothingIsDrawnWhileSendingOrWithoutJob() {
        RenderSettings sending = Job({Rec(RecMove, 400, 400), Rec(RecLine, 4000, 400)}), none, missing;
        sending.sending = true;
        missing.jobPath = m_dir.File("missing.PT1");
        for (const RenderSettings& s : {sending, none, missing}) {
            RenderOutcome o;
            QCOMPARE(At(Render(s, &o), {{300, 100}, {350, 110}}), QList<QRgb>({White, White}));
            QVERIFY(!o.drawn);
        }
    }

    void DamagedJobsEndAtTheirEndAndHugeValuesStayDefined() {
        // A count far beyond the file, coordinates at the int32 ends, a huge move.
        const std::string path = m_dir.File("damaged.PT1");
        velkar::test::WriteRecords(path, {Rec(RecHeaderCount, INT_MAX, 1), Rec(RecHeaderMin),
                                          Rec(RecHeaderMax, 0, INT_MIN), Rec(RecMove, INT_MIN, INT_MAX),
                                          Rec(RecLine, INT_MAX, INT_MIN), Rec(RecKnife, INT_MIN), Rec(RecLine, 0, 0)});
        RenderSettings s;
        s.jobPath = path;
        s.scale = 0.0025;
        s.moveX = 1e30f;
        s.moveY = -1e30f;
        s.sharpOffset = 2.0f;
        s.closeOffset = 5.0f;
        s.materialWidthMm = LONG_MAX;
        s.materialLengthMm = LONG_MIN;
        RenderOutcome o;
        Render(s, &o);
        QVERIFY(o.drawn);
        QCOMPARE(o.jobRecords, INT_MAX);
        s.moveX = 0;
        s.moveY = 0;
        RenderThroughPicture(s);
        // A file shorter than its headers draws the frame with the values read.
        velkar::test::WriteRecords(path, {Rec(RecHeaderCount, 10, 4)});
        s = RenderSettings{};
        s.jobPath = path;
        Render(s, &o);
        QVERIFY(o.drawn);
        QCOMPARE(o.jobRecords, 10);
    }

    // A sharp offset runs the cut past the corner, on a raster and a vector surface alike.
    void OffsetsDrawOvercutsOnEitherSurface() {
        RenderSettings s = Job({Rec(RecKnife, 2), Rec(RecMove, 400, 400), Rec(RecLine, 4000, 400),
                                Rec(RecLine, 4000, 2000), Rec(RecPathEnd)});
        QCOMPARE(Render(s).pixel(402, 110), White);
        s.sharpOffset = 2.0f;  // 2 mm: 2 pixels at divisor 40
        const QImage raster = Render(s);
        const QImage vector = RenderThroughPicture(s);
        const QRgb blue = qRgb(0, 0, 255);
        for (const QImage* image : {&raster, &vector})
            QCOMPARE(At(*image, {{350, 110}, {400, 130}, {402, 110}, {300, 100}, {500, 300}}),
                     QList<QRgb>({blue, blue, blue, Grey, Grey}));
    }

    void PartialRepaintDrawsTheSamePixelsInsideTheExposedArea() {
        RenderSettings s = Job({Rec(RecMove, 400, 400), Rec(RecLine, 4000, 4000), Rec(RecMove, 400, 4000),
                                Rec(RecLine, 4000, 400), Rec(RecPathEnd)});
        const QImage full = Render(s);
        const QRect strip(300, 140, 200, 20);
        const QImage part = Render(s, nullptr, QSize(1200, 1000), strip);
        for (int y = strip.top(); y <= strip.bottom(); ++y)
            for (int x = strip.left(); x <= strip.right(); ++x) QCOMPARE(part.pixel(x, y), full.pixel(x, y));
        QCOMPARE(part.pixel(320, 120), White);  // outside the strip the track is left out
        QCOMPARE(full.pixel(320, 120), Black);
    }

    void RenderCommandWritesPictureFiles() {
        using velkar::test::RunVelkar;
        velkar::test::ClearProfile();
        SaveMaterialSize(MaterialSize{100, 150});
        const std::string job = m_dir.File("cli.PT1"), png = m_dir.File("out.png"), pdf = m_dir.File("out.pdf");
        velkar::test::WriteJob(
            job, {Rec(RecKnife, 3), Rec(RecMove, 400, 400), Rec(RecLine, 4000, 400), Rec(RecPathEnd)}, 4, 400);
        QCOMPARE(RunVelkar({"render", job, "-o", png, "--move-x", "10"}).code, 0);
        const QImage image(QString::fromStdString(png));
        QCOMPARE(image.size(), QSize(550, 600));  // material 150 x 100 mm at 1 pixel per mm, plus the margins
        QCOMPARE(At(image, {{300, 100}, {360, 110}, {310, 110}}), QList<QRgb>({Grey, qRgb(255, 0, 0), White}));
        QCOMPARE(RunVelkar({"render", job, "-o", m_dir.File("out.svg")}).code, 0);
        QVERIFY(velkar::test::ReadBytes(m_dir.File("out.svg")).find("<svg") != std::string::npos);
        QCOMPARE(RunVelkar({"render", job, "-o", pdf, "--scale", "0.5"}).code, 0);
        QCOMPARE(velkar::test::ReadBytes(pdf).substr(0, 5), std::string("%PDF-"));

        const std::string notJob = m_dir.File("text.PT1"), fifo = m_dir.File("fifo.png"), none = m_dir.File("none.PT1");
        velkar::test::WriteText(notJob, "IN;PU0,0;");
        QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);  // only a regular file is replaced
        const struct {
            std::vector<std::string> args;
            int code;
            std::string err;
        } refusals[] = {
            {{job, "-o", png, "--sharp", "2.5"}, 2, "--sharp must be a number from 0 to 2, not '2.5'"},
            {{job, "-o", m_dir.File("x.gif")},
             2,
             m_dir.File("x.gif") + ": the picture file must end in .png, .svg or .pdf"},
            {{job}, 2, "render needs a job and -o FILE"},
            {{none, "-o", png}, 1, "cannot open " + none + ": No such file or directory"},
            {{notJob, "-o", png}, 1, notJob + ": not a PT1 job (the first three records are not its headers)"},
            {{job, "-o", fifo}, 1, "cannot write " + fifo + ": is a FIFO; only regular files are replaced"},
        };
        for (const auto& r : refusals) {
            std::vector<std::string> args{"render"};
            args.insert(args.end(), r.args.begin(), r.args.end());
            const velkar::test::CliRun run = RunVelkar(args);
            QCOMPARE(run.code, r.code);
            QCOMPARE(run.err, "velkar: " + r.err + "\n");
        }
        // Only a complete picture replaces a file.
        velkar::test::SmallTmpfs full("size=4k");
        if (!full.Path().empty()) {
            const std::string kept = full.Path() + "/kept.pdf";
            velkar::test::WriteText(kept, "previous picture");
            QCOMPARE(RunVelkar({"render", job, "-o", kept}).err,
                     "velkar: cannot write " + kept + ": No space left on device\n");
            QCOMPARE(velkar::test::ReadBytes(kept), std::string("previous picture"));
            QCOMPARE(QDir(QString::fromStdString(full.Path())).entryList(QDir::Files).size(), 1);
        }
        SaveMaterialSize(MaterialSize{1000000, 1000000});
        QCOMPARE(RunVelkar({"render", job, "-o", png, "--scale", "0.0025"}).err,
                 std::string("velkar: a picture of 40000400 x 40000500 pixels cannot be drawn (each side 1 to "
                             "20000); choose another --scale or material size\n"));
        velkar::test::ClearProfile();
    }
};

QTEST_MAIN(RenderTest)
#include "render_test.moc"
