#include "render/jobpicture.h"

#include <sys/stat.h>

namespace velkar {

CJobPicture::FileStamp CJobPicture::StampOf(const std::string& path) {
    FileStamp stamp;
    stamp.path = path;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return stamp;
    stamp.size = static_cast<std::int64_t>(st.st_size);
    stamp.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    return stamp;
}

void CJobPicture::Reload() {
    m_bLoaded = false;
    m_bTrack = false;
    m_job = JobImage();
    m_track = KnifeTrack();
}

RenderOutcome CJobPicture::Draw(QPainter& painter, const QRect& exposed) {
    const RenderSettings& s = m_settings;
    if (s.jobPath.empty() || s.sending) return {};
    // The picture shows the job file as it is on disk.
    const FileStamp stamp = StampOf(s.jobPath);
    if (!m_bLoaded || !(stamp == m_stamp)) {
        Reload();
        CJobRenderer::LoadJob(s.jobPath, m_job);
        m_stamp = stamp;
        m_bLoaded = true;
        ++m_nLoads;
    }
    if (!m_job.valid) return {};
    const int z = CJobRenderer::DivisorOf(s);
    const float sharp = CJobRenderer::PixelOffset(s.sharpOffset, z);
    const float close = CJobRenderer::PixelOffset(s.closeOffset, z);
    if (!m_bTrack || m_track.divisor != z || m_track.sharp != sharp || m_track.close != close) {
        CJobRenderer::BuildTrack(m_job, z, sharp, close, m_track);
        m_bTrack = true;
    }
    return CJobRenderer::DrawTrack(painter, m_job, m_track, s, exposed);
}

}  // namespace velkar
