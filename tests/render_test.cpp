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
    void ScaleDivisorTruncatesAndStaysAtLeastOne() {
        QCOMPARE(CJobRenderer::ScaleDivisor(1.0), 40);
        QCOMPARE(CJobRenderer::ScaleDivisor(0.01), 1);
        QCOMPARE(CJobRenderer::ScaleDivisor(0.0025), 1);
        QCOMPARE(CJobRenderer::ScaleDivisor(0.03125), 1);
        QCOMPARE(CJobRenderer::ScaleDivisor(0.0625), 2);
        QCOMPARE(CJobRenderer::MaterialPixels(200, 40), 200);
        QCOMPARE(CJobRenderer::MaterialPixels(LONG_MAX, 1), 1 << 28);
    }

    void FrameAndScrollSizeAtDefaultScale() {
        RenderOutcome o;
        const QImage image = Render(Job({}), &o);
        QVERIFY(o.drawn);
        QCOMPARE(o.jobRecords, 3);
        QCOMPARE(o.materialWidth, 200);
        QCOMPARE(o.materialLength, 200);
        QCOMPARE(o.scrollSize, QSize(600, 700));
        for (QPoint corner : {QPoint(300, 100), QPoint(500, 100), QPoint(500, 300), QPoint(300, 300)})
            QCOMPARE(image.pixel(corner), Grey);
        QCOMPARE(image.pixel(302, 102), Grey);  // five pixels wide
        QCOMPARE(image.pixel(304, 104), White);
        QCOMPARE(image.pixel(400, 200), White);  // a job of headers only draws the frame
    }

    void MaterialSizeFollowsTheSettingsAndTheDivisor() {
        RenderSettings s = Job({});
        s.materialWidthMm = 100;
        s.materialLengthMm = 50;
        s.scale = 0.5;  // divisor 20
        RenderOutcome o;
        const QImage image = Render(s, &o);
        QCOMPARE(o.materialWidth, 200);
        QCOMPARE(o.materialLength, 100);
        QCOMPARE(o.scrollSize, QSize(600, 600));
        QCOMPARE(image.pixel(500, 200), Grey);
        s.materialWidthMm = 0;
        s.materialLengthMm = 0;
        Render(s, &o);
        QCOMPARE(o.scrollSize, QSize(400, 500));
    }

    void OrientationAsStoredPutsJobOriginAtFrameCorner() {
        // y runs downward: job (400, 400)..(4000, 400) lands on y 110 from x 310 to 400.
        const QImage image = Render(Job({Rec(RecMove, 400, 400), Rec(RecLine, 4000, 400), Rec(RecPathEnd)}));
        QCOMPARE(image.pixel(310, 110), Black);
        QCOMPARE(image.pixel(350, 110), Black);
        QCOMPARE(image.pixel(400, 110), Black);
        QCOMPARE(image.pixel(350, 111), White);
        QCOMPARE(image.pixel(401, 110), White);
    }

    void OrientationOneMirrorsAboutLargestY() {
        // Flag 1, max y 4000 at divisor 40: job y 4000 is drawn at y 100, y 0 at y 200.
        const QImage image =
            Render(Job({Rec(RecMove, 400, 3600), Rec(RecLine, 4000, 3600), Rec(RecMove, 400, 0), Rec(RecLine, 4000, 0),
                        Rec(RecMove, 400, 4000), Rec(RecLine, 4000, 4000), Rec(RecPathEnd)},
                       OrientationMirrorY, 4000));
        QCOMPARE(image.pixel(350, 110), Black);
        QCOMPARE(image.pixel(350, 200), Black);
        QCOMPARE(image.pixel(350, 100), Black);  // drawn over the frame's top edge
        QCOMPARE(image.pixel(350, 190), White);
    }

    void KnifeRecordsSwitchPens() {
        const QImage image =
            Render(Job({Rec(RecKnife, 3), Rec(RecMove, 400, 400), Rec(RecLine, 4000, 400), Rec(RecKnife, 8),
                        Rec(RecMove, 400, 800), Rec(RecLine, 4000, 800), Rec(RecKnife, 9), Rec(RecMove, 400, 1200),
                        Rec(RecLine, 4000, 1200), Rec(RecKnife, 2), Rec(RecMove, 400, 1600), Rec(RecLine, 4000, 1600),
                        Rec(RecPathEnd)}));
        QCOMPARE(image.pixel(350, 110), qRgb(255, 0, 0));
        QCOMPARE(image.pixel(350, 120), qRgb(149, 129, 103));
        QCOMPARE(image.pixel(350, 130), Black);  // knife 9 draws black
        QCOMPARE(image.pixel(350, 140), qRgb(0, 0, 255));
        for (int k = 1; k <= 8; ++k) QVERIFY(CJobRenderer::KnifeColor(k).isValid());
        QCOMPARE(CJobRenderer::KnifeColor(4), QColor(0, 255, 0));
        QCOMPARE(CJobRenderer::KnifeColor(5), QColor(255, 0, 255));
        QCOMPARE(CJobRenderer::KnifeColor(6), QColor(255, 255, 0));
        QCOMPARE(CJobRenderer::KnifeColor(7), QColor(0, 255, 255));
        QCOMPARE(CJobRenderer::KnifeColor(0), QColor(0, 0, 0));
    }

    void PictureMoveShiftsTheJobButNotTheFrame() {
        RenderSettings s = Job({Rec(RecMove, 400, 400), Rec(RecLine, 4000, 400), Rec(RecPathEnd)});
        s.moveX = 10.0f;
        s.moveY = -5.0f;
        const QImage image = Render(s);
        QCOMPARE(image.pixel(320, 105), Black);
        QCOMPARE(image.pixel(410, 105), Black);
        QCOMPARE(image.pixel(411, 105), White);
        QCOMPARE(image.pixel(310, 110), White);
        QCOMPARE(image.pixel(300, 100), Grey);

        // Divisor 39: -234 mm is exactly -240 pixels and -117 mm exactly -120.
        s = Job({Rec(RecMove, 0, 3900), Rec(RecLine, 3900, 3900), Rec(RecPathEnd)});
        s.scale = 0.975;
        s.moveX = -234.0f;
        s.moveY = -117.0f;
        const QImage odd = Render(s);
        QCOMPARE(odd.pixel(60, 80), Black);
        QCOMPARE(odd.pixel(160, 80), Black);
        QCOMPARE(odd.pixel(161, 80), White);
        QCOMPARE(odd.pixel(60, 81), White);
    }

    void DivisorOneDrawsJobUnitsAsPixels() {
        RenderSettings s = Job({Rec(RecMove, 10, 10), Rec(RecLine, 110, 10), Rec(RecPathEnd)});
        s.scale = 0.01;
        s.materialWidthMm = 10;
        s.materialLengthMm = 10;
        RenderOutcome o;
        const QImage image = Render(s, &o);
        QCOMPARE(o.materialWidth, 400);
        QCOMPARE(image.pixel(310, 110), Black);
        QCOMPARE(image.pixel(410, 110), Black);
        QCOMPARE(image.pixel(700, 500), Grey);

        // 2.3 mm is 92 units in single precision, as the send moves the knife.
        s.moveX = 2.3f;
        const QImage moved = Render(s);
        QCOMPARE(moved.pixel(402, 110), Black);
        QCOMPARE(moved.pixel(401, 110), White);
    }

    void OffsetsDrawOvercutsAtScreenScale() {
        // A square with sharp corners: with a sharp offset the cut runs past each corner.
        const std::vector<JobRecord> square = {Rec(RecMove, 400, 400),   Rec(RecLine, 4000, 400),
                                               Rec(RecLine, 4000, 4000), Rec(RecLine, 400, 4000),
                                               Rec(RecLine, 400, 400),   Rec(RecPathEnd)};
        RenderSettings s = Job(square);
        QCOMPARE(Render(s).pixel(402, 110), White);
        s.sharpOffset = 2.0f;  // 2 mm: 2 pixels at divisor 40
        const QImage image = Render(s);
        QCOMPARE(image.pixel(401, 110), Black);
        QCOMPARE(image.pixel(402, 110), Black);
    }

    void NothingIsDrawnWhileSendingOrWithoutJob() {
        RenderSettings s = Job({Rec(RecMove, 400, 400), Rec(RecLine, 4000, 400)});
        s.sending = true;
        RenderOutcome o;
        QImage image = Render(s, &o);
        QVERIFY(!o.drawn);
        QCOMPARE(image.pixel(300, 100), White);
        QCOMPARE(image.pixel(350, 110), White);
        s.sending = false;
        s.jobPath.clear();
        image = Render(s, &o);
        QVERIFY(!o.drawn);
        QCOMPARE(image.pixel(300, 100), White);
        s.jobPath = m_dir.File("missing.PT1");
        image = Render(s, &o);
        QVERIFY(!o.drawn);
        QCOMPARE(image.pixel(300, 100), White);
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
        QImage vector = RenderThroughPicture(s);
        QVERIFY(!vector.isNull());
        // A file shorter than its headers draws the frame with the values read.
        velkar::test::WriteRecords(path, {Rec(RecHeaderCount, 10, 4)});
        s = RenderSettings{};
        s.jobPath = path;
        Render(s, &o);
        QVERIFY(o.drawn);
        QCOMPARE(o.jobRecords, 10);
    }

    void RasterAndVectorSurfacesAgree() {
        RenderSettings s = Job({Rec(RecKnife, 2), Rec(RecMove, 400, 400), Rec(RecLine, 4000, 400),
                                Rec(RecLine, 4000, 2000), Rec(RecPathEnd)});
        s.sharpOffset = 1.0f;
        const QImage raster = Render(s);
        const QImage vector = RenderThroughPicture(s);
        for (QPoint p : {QPoint(350, 110), QPoint(400, 130), QPoint(300, 100), QPoint(500, 300)})
            QCOMPARE(vector.pixel(p), raster.pixel(p));
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
        velkar::test::ClearProfile();
        SaveMaterialSize(MaterialSize{100, 150});
        const std::string job = m_dir.File("cli.PT1");
        velkar::test::WriteJob(
            job, {Rec(RecKnife, 3), Rec(RecMove, 400, 400), Rec(RecLine, 4000, 400), Rec(RecPathEnd)}, 4, 400);
        auto run = [](std::vector<std::string> args, std::string* errText = nullptr) {
            const velkar::test::CliRun r = velkar::test::RunVelkar(std::move(args));
            if (errText) *errText = r.err;
            return r.code;
        };
        const std::string png = m_dir.File("out.png");
        QCOMPARE(run({"render", job, "-o", png, "--move-x", "10"}), 0);
        QImage image(QString::fromStdString(png));
        QCOMPARE(image.size(), QSize(550, 600));  // material 150 x 100 mm at 1 pixel per mm, plus the margins
        QCOMPARE(image.pixel(300, 100), Grey);
        QCOMPARE(image.pixel(360, 110), qRgb(255, 0, 0));
        QCOMPARE(image.pixel(310, 110), White);
        QCOMPARE(run({"render", job, "-o", m_dir.File("out.svg")}), 0);
        QVERIFY(velkar::test::ReadBytes(m_dir.File("out.svg")).find("<svg") != std::string::npos);
        QCOMPARE(run({"render", job, "-o", m_dir.File("out.pdf"), "--scale", "0.5"}), 0);
        QCOMPARE(velkar::test::ReadBytes(m_dir.File("out.pdf")).substr(0, 5), std::string("%PDF-"));

        std::string err;
        QCOMPARE(run({"render", job, "-o", m_dir.File("x.png"), "--sharp", "2.5"}, &err), 2);
        QCOMPARE(err, std::string("velkar: --sharp must be a number from 0 to 2, not '2.5'\n"));
        QCOMPARE(run({"render", job, "-o", m_dir.File("x.gif")}, &err), 2);
        QCOMPARE(err, "velkar: " + m_dir.File("x.gif") + ": the picture file must end in .png, .svg or .pdf\n");
        QCOMPARE(run({"render", job}, &err), 2);
        QCOMPARE(err, std::string("velkar: render needs a job and -o FILE\n"));
        QCOMPARE(run({"render", m_dir.File("none.PT1"), "-o", png}, &err), 1);
        QCOMPARE(err, "velkar: cannot open " + m_dir.File("none.PT1") + ": No such file or directory\n");
        const std::string notJob = m_dir.File("text.PT1");
        velkar::test::WriteText(notJob, "IN;PU0,0;");
        QCOMPARE(run({"render", notJob, "-o", png}, &err), 1);
        QCOMPARE(err, "velkar: " + notJob + ": not a PT1 job (the first three records are not its headers)\n");
        // Only a regular file is replaced, and only by a complete picture.
        const std::string fifo = m_dir.File("fifo.png");
        QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
        QCOMPARE(run({"render", job, "-o", fifo}, &err), 1);
        QCOMPARE(err, "velkar: cannot write " + fifo + ": is a FIFO; only regular files are replaced\n");
        velkar::test::SmallTmpfs full("size=4k");
        if (!full.Path().empty()) {
            const std::string kept = full.Path() + "/kept.pdf";
            velkar::test::WriteText(kept, "previous picture");
            QCOMPARE(run({"render", job, "-o", kept}, &err), 1);
            QCOMPARE(err, "velkar: cannot write " + kept + ": No space left on device\n");
            QCOMPARE(velkar::test::ReadBytes(kept), std::string("previous picture"));
            QCOMPARE(QDir(QString::fromStdString(full.Path())).entryList(QDir::Files).size(), 1);
        }
        SaveMaterialSize(MaterialSize{1000000, 1000000});
        QCOMPARE(run({"render", job, "-o", png, "--scale", "0.0025"}, &err), 2);
        QCOMPARE(err, std::string("velkar: a picture of 40000400 x 40000500 pixels cannot be drawn (each side 1 to "
                                  "20000); choose another --scale or material size\n"));
        velkar::test::ClearProfile();
    }
};

QTEST_MAIN(RenderTest)
#include "render_test.moc"
