// Writes the bundled example job: a small multi-knife PT1 file with sharp
// corners (to show the overcuts) and closed paths (to show the closing overlap).
//   velkar_make_example OUTPUT.PT1
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <numbers>
#include <utility>
#include <vector>

#include "job/binaryfile.h"
#include "job/jobrecord.h"
#include "job/jobwriter.h"

namespace {

using velkar::JobRecord;
using Points = std::vector<std::pair<double, double>>;  // millimetres

class ExampleWriter {
public:
    explicit ExampleWriter(velkar::JobWriter& writer) : m_writer(writer) {}

    void Knife(std::int32_t knife) {
        m_work.code = velkar::RecKnife;
        m_work.x = knife;
        Put();
    }

    void Path(const Points& points) {
        for (std::size_t i = 0; i < points.size(); ++i) {
            m_work.code = i == 0 ? velkar::RecMove : velkar::RecLine;
            m_work.x = static_cast<std::int32_t>(std::lround(points[i].first * 40.0));
            m_work.y = static_cast<std::int32_t>(std::lround(points[i].second * 40.0));
            m_box.AddX(m_work.x);
            m_box.AddY(m_work.y);
            Put();
        }
    }

    void Finish() {
        m_work.code = velkar::RecPathEnd;
        Put();
        m_writer.Finish(m_work, m_count, m_box, velkar::OrientationAsStored);
    }

private:
    void Put() {
        m_writer.Write(m_work);
        ++m_count;
    }

    velkar::JobWriter& m_writer;
    JobRecord m_work;
    velkar::BoundingBox m_box;
    std::int32_t m_count = 0;
};

Points Polygon(double cx, double cy, double r, int corners, double turn, bool star) {
    Points p;
    const int n = star ? corners * 2 : corners;
    for (int i = 0; i <= n; ++i) {
        const double a = turn + 2.0 * std::numbers::pi * i / n;
        const double radius = star && i % 2 == 1 ? r * 0.45 : r;
        p.emplace_back(cx + radius * std::cos(a), cy + radius * std::sin(a));
    }
    return p;
}

Points Rectangle(double x1, double y1, double x2, double y2) {
    return {{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}, {x1, y1}};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velkar_make_example OUTPUT.PT1\n");
        return 2;
    }
    try {
        velkar::JobWriter writer;
        if (!writer.Open(argv[1])) {
            std::fprintf(stderr, "velkar_make_example: cannot create %s: %s\n", argv[1],
                         velkar::SystemErrorText(writer.OpenError()).c_str());
            return 1;
        }
        ExampleWriter job(writer);
        job.Knife(1);
        job.Path(Rectangle(10, 10, 190, 190));
        job.Path(Rectangle(20, 20, 95, 95));
        job.Knife(2);
        job.Path(Polygon(57, 57, 30, 5, -std::numbers::pi / 2, true));
        job.Knife(3);
        job.Path(Polygon(143, 57, 32, 72, 0, false));
        job.Path(Polygon(143, 57, 20, 3, std::numbers::pi / 2, false));
        job.Knife(4);
        Points zigzag;
        for (int i = 0; i <= 16; ++i) zigzag.emplace_back(20 + i * 10.0, i % 2 == 0 ? 115.0 : 130.0);
        job.Path(zigzag);
        job.Knife(5);
        job.Path(Polygon(55, 160, 18, 4, std::numbers::pi / 4, false));
        job.Knife(8);
        job.Path(Polygon(140, 160, 22, 8, 0, true));
        job.Finish();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velkar_make_example: %s\n", e.what());
        return 1;
    }
    return 0;
}
