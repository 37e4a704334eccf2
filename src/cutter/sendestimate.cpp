#include "cutter/sendestimate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cutter/commandreplay.h"

namespace velkar {

namespace {

class ReplayOutput : public CutterOutput {
public:
    Status Write(const char* data, std::size_t n, OutputWait&) override {
        replay.Feed(data, n);
        return Status::Written;
    }
    std::string ErrorText() const override { return {}; }
    CCommandReplay replay;
};

}  // namespace

namespace {

// Runs the send of `job` into `output`; false with `error` set when it cannot.
bool SendInto(const std::string& job, const CutterSendOptions& options, ReplayOutput& output, std::int64_t& paths,
              std::string& error) {
    CCutterSend send(options);
    if (!send.OpenJob(job)) {
        error = send.ErrorText();
        return false;
    }
    CutterSendHooks hooks;
    if (send.Send(hooks, output) != CCutterSend::Result::Completed) {
        error = send.ErrorText();
        return false;
    }
    paths = send.CurrentPath();
    return true;
}

}  // namespace

// The lengths are read from the plain-text stream, whose moves are plain to
// follow; another dialect's stream is run only for its byte count.
bool CSendEstimate::Run(const std::string& job, const CutterSendOptions& options) {
    CutterSendOptions plain = options;
    plain.dialect = CutterDialectId::Velkar;
    ReplayOutput output;
    if (!SendInto(job, plain, output, m_nPaths, m_strError)) return false;
    m_dCut = output.replay.CutLength();
    m_dTravel = output.replay.TravelLength();
    m_nBytes = output.replay.Bytes();
    if (options.dialect != CutterDialectId::Velkar) {
        ReplayOutput other;
        if (!SendInto(job, options, other, m_nPaths, m_strError)) return false;
        m_nBytes = other.replay.Bytes();
    }
    return true;
}

double CSendEstimate::LineSeconds(std::uint64_t bytes, int baud, double bitsPerByte) {
    return baud < 1 ? 0.0 : double(bytes) * bitsPerByte / double(baud);
}

std::string CSendEstimate::DurationText(double seconds) {
    const double whole = std::ceil(std::max(0.0, seconds));
    // Beyond a hundred years the figure says nothing more.
    const long long s = whole > 3.2e9 ? 3200000000LL : static_cast<long long>(whole);
    char text[48];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

std::string CSendEstimate::Summary(double seconds, int baud, double cutMetres) {
    char cut[48];
    std::snprintf(cut, sizeof cut, "%.1f", cutMetres);
    return "about " + DurationText(seconds) + " at " + std::to_string(baud) + " baud, " + cut + " m of cut";
}

}  // namespace velkar
