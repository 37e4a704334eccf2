#pragma once

#include <cstdint>
#include <stdexcept>

#include "job/jobrecord.h"
#include "job/jobwriter.h"

namespace velkar {

// Raised when a drawing cannot be made into a job: a coordinate beyond
// MaxCoordinate or more records than a job can count.
class PlotRangeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Turns the pen movements of a plotter language into job records, in the order
// they come: RecJobStart first, a RecKnife whenever the knife changes before a
// move or a cut, a RecMove for each pen-up move, a RecLine for each segment
// (preceded by a RecMove to the current point when the knife is not already
// there), and RecPathEnd at the end. Coordinates are plotter units (0.025 mm,
// one job unit) as doubles; the optional rotation is applied and the result
// rounded to the nearest unit. All records are built in one working record.
class PlotJobSink {
public:
    // Largest magnitude of a coordinate in the job (25 km); keeps every sum in range.
    static constexpr double MaxCoordinate = 1.0e9;

    // The writer must be open; count is set to 0 and counts every body record.
    PlotJobSink(JobWriter& writer, std::int32_t& count);

    void Start();                      // writes RecJobStart
    void SelectPen(double pen);        // pens 1 to 8 are knives 1 to 8, any other value knife 1
    void MoveTo(double x, double y);   // a pen-up move: RecMove
    void LineTo(double x, double y);   // a cut from the current point: RecLine
    void SetPoint(double x, double y); // the pen went there without a record (after a circle)
    void SetRotation(int degrees);     // 0, 90, 180 or 270, counter-clockwise about the origin
    // Writes RecPathEnd and the headers (orientation flag 1: y grows upwards).
    void Finish();

    double X() const { return m_dX; }
    double Y() const { return m_dY; }
    const BoundingBox& Box() const { return m_box; }

private:
    void Emit(std::uint8_t code, std::int32_t x, std::int32_t y);
    void EmitPoint(std::uint8_t code, double x, double y);
    void EnsureKnife();

    JobWriter& m_writer;
    std::int32_t& m_nCount;
    JobRecord m_work;
    BoundingBox m_box;
    double m_dX = 0;
    double m_dY = 0;
    int m_nKnife = 1;
    int m_nWrittenKnife = 0;   // 0 until the first RecKnife
    bool m_bAtPoint = false;   // the last record left the knife at (m_dX, m_dY)
    int m_nRotation = 0;
};

}  // namespace velkar
