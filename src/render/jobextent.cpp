#include "render/jobextent.h"

#include <algorithm>
#include <cmath>

#include "job/jobrecord.h"

namespace velkar {

namespace {

// As the renderer turns a picture move into pixels, kept defined for any float.
std::int64_t MovePixels(float mm, int divisor) {
    const double v = static_cast<double>(mm * 40.0f / static_cast<float>(divisor));
    return std::isnan(v) ? 0 : static_cast<std::int64_t>(std::clamp(v, -1e15, 1e15));
}

int Clamped(std::int64_t v) {
    constexpr std::int64_t Limit = std::int64_t{1} << 28;
    return static_cast<int>(std::clamp(v, -Limit, Limit));
}

QString Mm(double mm) { return QString::number(mm, 'f', 1); }

}  // namespace

CJobExtent::CJobExtent(const JobImage& job) : m_bMirror(job.orientation == OrientationMirrorY), m_nHeaderMaxY(job.maxY) {
    std::int32_t knife = 1;
    for (const JobImage::Record& r : job.body) {
        if (r.code == RecKnife) knife = r.x >= 1 && r.x <= 8 ? r.x : 1;
        if (r.code != RecMove && r.code != RecLine) continue;
        if (r.code == RecLine) m_nKnives |= 1u << knife;
        if (!m_bPoints) {
            m_nMinX = m_nMaxX = r.x;
            m_nMinY = m_nMaxY = r.y;
            m_bPoints = true;
        }
        m_nMinX = std::min(m_nMinX, r.x);
        m_nMaxX = std::max(m_nMaxX, r.x);
        m_nMinY = std::min(m_nMinY, r.y);
        m_nMaxY = std::max(m_nMaxY, r.y);
    }
}

double CJobExtent::WidthMm() const { return (double(m_nMaxX) - double(m_nMinX)) / 40.0; }
double CJobExtent::LengthMm() const { return (double(m_nMaxY) - double(m_nMinY)) / 40.0; }

bool CJobExtent::LargerThan(long materialWidthMm, long materialLengthMm) const {
    return m_bPoints && (WidthMm() > double(materialWidthMm) || LengthMm() > double(materialLengthMm));
}

QRect CJobExtent::Pixels(const RenderSettings& s) const {
    if (!m_bPoints) return {};
    const int z = CJobRenderer::DivisorOf(s);
    const std::int64_t left = CJobRenderer::FrameLeft + MovePixels(s.moveX, z) + m_nMinX / z;
    const std::int64_t right = CJobRenderer::FrameLeft + MovePixels(s.moveX, z) + m_nMaxX / z;
    const std::int64_t yMove = MovePixels(s.moveY, z);
    std::int64_t top = CJobRenderer::FrameTop + yMove + m_nMinY / z;
    std::int64_t bottom = CJobRenderer::FrameTop + yMove + m_nMaxY / z;
    if (m_bMirror) {
        const std::int64_t axis = CJobRenderer::FrameTop + yMove + m_nHeaderMaxY / z;
        top = axis - m_nMaxY / z;
        bottom = axis - m_nMinY / z;
    }
    return QRect(QPoint(Clamped(left), Clamped(top)), QPoint(Clamped(right), Clamped(bottom)));
}

QString CJobExtent::SizeText() const { return Mm(WidthMm()) + QStringLiteral(" x ") + Mm(LengthMm()) + QStringLiteral(" mm"); }

QString CJobExtent::Summary(long materialWidthMm, long materialLengthMm) const {
    if (!m_bPoints) return {};
    QStringList knives;
    for (int k = 1; k <= 8; ++k)
        if (m_nKnives & (1u << k)) knives << QString::number(k);
    QString text = QStringLiteral("job ") + SizeText();
    if (knives.isEmpty())
        text += QStringLiteral(", nothing to cut");
    else
        text += (knives.size() == 1 ? QStringLiteral(", knife ") : QStringLiteral(", knives ")) +
                knives.join(QStringLiteral(", "));
    if (LargerThan(materialWidthMm, materialLengthMm))
        text += QStringLiteral(" - larger than the material (%1 x %2 mm)").arg(materialWidthMm).arg(materialLengthMm);
    return text;
}

QString CJobExtent::SizeWarning(long materialWidthMm, long materialLengthMm) const {
    if (!LargerThan(materialWidthMm, materialLengthMm)) return {};
    return QStringLiteral("the job (%1) is larger than the material (%2 x %3 mm)")
        .arg(SizeText())
        .arg(materialWidthMm)
        .arg(materialLengthMm);
}

}  // namespace velkar
