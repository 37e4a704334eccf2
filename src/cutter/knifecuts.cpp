#include "cutter/knifecuts.h"

#include <exception>

#include "cutter/knifepath.h"
#include "job/jobreader.h"

namespace velkar {

namespace {

class CutCounter final : public KnifePathSink {
public:
    void CutTo(std::int32_t x, std::int32_t y) override {
        // A sharp corner without offset cuts to the point just reached.
        if (x != m_x || y != m_y) ++cuts;
        TravelTo(x, y);
    }
    void TravelTo(std::int32_t x, std::int32_t y) override {
        m_x = x;
        m_y = y;
    }
    bool KeepsRepeatedCuts() const override { return false; }

    std::int64_t cuts = 0;

private:
    std::int32_t m_x = 0;
    std::int32_t m_y = 0;
};

}  // namespace

std::int64_t CountKnifeCuts(const std::string& job) {
    try {
        JobReader reader;
        if (!reader.Open(job)) return -1;
        JobRecord r;
        const JobHeader header = ReadJobHeader(reader, r);
        if (!header.valid) return -1;
        CutCounter counter;
        CKnifePath path(0.0f, 0.0f, counter);
        for (std::int64_t left = std::int64_t{header.count.x} - 3; left > 0 && reader.Read(r); --left) {
            switch (r.code) {
                case RecMove: path.Move(r.x, r.y); break;
                case RecLine: path.Line(r.x, r.y); break;
                case RecKnife: path.Knife(); break;
                case RecPathEnd: path.PathEnd(); break;
                default: break;
            }
        }
        return counter.cuts;
    } catch (const std::exception&) {
        return -1;
    }
}

}  // namespace velkar
