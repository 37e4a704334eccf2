#pragma once

#include <cstdint>
#include <string>

#include "cutter/cuttersend.h"

namespace velkar {

// What a send of a job will take, worked out by running the send without a
// cutter and following the knife through the commands it writes (in the
// plain-text dialect; the bytes are those of the options' dialect).
class CSendEstimate {
public:
    // Runs the send of `job` with `options`. False when the job cannot be read;
    // ErrorText() then names the file and the reason.
    bool Run(const std::string& job, const CutterSendOptions& options);

    // Knife-down and knife-up distances in metres (40 job units to the millimetre).
    double CutMetres() const { return m_dCut / 40000.0; }
    double TravelMetres() const { return m_dTravel / 40000.0; }
    std::uint64_t Bytes() const { return m_nBytes; }
    // The job's paths (its moves).
    std::int64_t Paths() const { return m_nPaths; }
    const std::string& ErrorText() const { return m_strError; }

    // Seconds the line needs for `bytes` at `baud` with `bitsPerByte` bits on
    // the line for each byte (start, data, parity and stop bits). 0 for a baud below 1.
    static double LineSeconds(std::uint64_t bytes, int baud, double bitsPerByte);
    // "m:ss", or "h:mm:ss" from an hour up; seconds rounded up.
    static std::string DurationText(double seconds);
    // "about 1:42 at 9600 baud, 23.4 m of cut"
    static std::string Summary(double seconds, int baud, double cutMetres);

private:
    double m_dCut = 0;
    double m_dTravel = 0;
    std::uint64_t m_nBytes = 0;
    std::int64_t m_nPaths = 0;
    std::string m_strError;
};

}  // namespace velkar
