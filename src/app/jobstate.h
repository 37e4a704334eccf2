#pragma once

#include <cstdint>

#include <QString>

namespace velkar {

// The job on screen and how it is shown: what the job commands read and write.
struct JobState {
    bool m_bZoomOut = false;          // Zoom Out armed: a left click halves m_dScale
    bool m_bZoomIn = false;           // Zoom In armed: a left click doubles m_dScale
    double m_dScale = 1.0;            // millimetres of job per pixel, 0.0025 to 512
    float m_fCloseOffset = 0.0f;      // mm
    float m_fSharpOffset = 0.0f;      // mm
    float m_fMoveX = 0.0f;            // mm, accumulated picture move
    float m_fMoveY = 0.0f;            // mm
    float m_fSmooth = 0.0f;           // mm, shown only
    QString m_strSourcePath;          // file last chosen by Import or Open
    QString m_strJobPath;             // job drawn and sent; empty: no job
    QString m_strJobBeforeImport;     // the job to return to when the pending conversion fails
    std::int32_t m_nFileType = -1;    // recognised plotter type, -1 none
    std::int32_t m_nImportFlavour = 1;
    std::int32_t m_nJobRecords = 0;   // record count of the job, from its first header
    std::int32_t m_nRecordCount = 0;  // counter handed to the converters
    std::int32_t m_nMaterialWidth = 100;   // pixels at the current scale
    std::int32_t m_nMaterialLength = 100;  // pixels at the current scale
    bool m_bDefineColor = false;
    bool m_bSending = false;          // a send runs: nothing is drawn
    bool m_bPenTip = false;           // only meaningful with m_bDefineColor
    bool m_bCompact = false;          // the send leaves out moves to where the knife already is
    bool m_bConvertPending = false;   // a conversion waits for the next paint
    bool m_bTravelOrder = false;      // with m_bOrderPaths: for the shortest knife-up travel instead of bands
    bool m_bOrderPaths = false;       // "Standard PLT": order the paths per knife instead of keeping the drawing order

    // Zoom limits and the value Zoom In falls back to past the upper limit.
    static constexpr double MinScale = 0.0025;
    static constexpr double MaxScale = 512.0;
    static constexpr double ZoomInFallback = 64.0;
};

}  // namespace velkar
