#pragma once

#include <cstdint>

#include <QRect>

#include "render/jobrenderer.h"

class QPainter;

namespace velkar {

// The picture of one job as the screen shows it. The job's records and its
// knife track are kept between paints: the records until the job file
// changes on disk (its size, time or identity) or Reload is called, the
// track until the scale or the knife offsets change. A move only shifts it.
class CJobPicture {
public:
    void SetSettings(const RenderSettings& settings) { m_settings = settings; }
    const RenderSettings& Settings() const { return m_settings; }

    // Draws the job; exposed is the area worth drawing (empty: everything).
    RenderOutcome Draw(QPainter& painter, const QRect& exposed);
    // Forgets the records and the track: the next drawing reads the file again.
    void Reload();
    // The job as the last drawing read it, and how many times a drawing has
    // read a job file (it changes whenever Job() does).
    const JobImage& Job() const { return m_job; }
    std::uint64_t Loads() const { return m_nLoads; }

private:
    struct FileStamp {
        std::string path;
        std::int64_t size = -1;
        std::int64_t mtimeNs = 0;
        std::uint64_t inode = 0;
        bool operator==(const FileStamp&) const = default;
    };
    static FileStamp StampOf(const std::string& path);

    RenderSettings m_settings;
    FileStamp m_stamp;
    bool m_bLoaded = false;
    JobImage m_job;
    KnifeTrack m_track;
    bool m_bTrack = false;
    std::uint64_t m_nLoads = 0;
};

}  // namespace velkar
