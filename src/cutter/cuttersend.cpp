#include "cutter/cuttersend.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cutter/knifepath.h"
#include "job/jobcheck.h"

namespace velkar {

namespace {

constexpr float UnitsPerMm = 40.0f;
// Moves are limited so that every transformed coordinate stays well inside 64 bits
// and a mistyped value is refused instead of sending the knife off the material.
constexpr float MaxMoveMm = 1.0e6f;
constexpr float MaxOffsetMm = 1.0e6f;

// Truncation toward zero of a value already range-checked by CheckOptions; an
// unchecked value is clamped rather than converted out of range.
std::int64_t TruncUnits(float mm) {
    const float units = mm * UnitsPerMm;  // single precision: 0.35 mm gives 14 units
    if (std::isnan(units)) return 0;
    if (units >= 9.0e15f) return 9000000000000000LL;
    if (units <= -9.0e15f) return -9000000000000000LL;
    return static_cast<std::int64_t>(units);
}

bool IsUsable(float value, float limit) { return std::isfinite(value) && std::fabs(value) <= limit; }

}  // namespace

// Hands the dialect's commands to the output through Emit.
class CCutterSend::Writer : public CutterDialect::Writer {
public:
    Writer(CCutterSend& send, CutterOutput& output) : m_send(send), m_output(output) {}
    bool Put(std::string_view command) override { return m_send.Emit(m_output, command.data(), command.size()); }

private:
    CCutterSend& m_send;
    CutterOutput& m_output;
};

// Applies the output transform to the knife's track and has the dialect word it.
class CCutterSend::Commands : public KnifePathSink {
public:
    Commands(CutterDialect& d, CutterDialect::Writer& w, std::int64_t ySign, std::int64_t yBase,
             std::int64_t xOffset)
        : dialect(d), out(w), m_nYSign(ySign), m_nYBase(yBase), m_nXOffset(xOffset) {}

    void CutTo(std::int32_t x, std::int32_t y) override { dialect.CutTo(out, x + m_nXOffset, y * m_nYSign + m_nYBase); }
    void TravelTo(std::int32_t x, std::int32_t y) override {
        dialect.TravelTo(out, x + m_nXOffset, y * m_nYSign + m_nYBase);
    }

    CutterDialect& dialect;
    CutterDialect::Writer& out;

private:
    std::int64_t m_nYSign;
    std::int64_t m_nYBase;
    std::int64_t m_nXOffset;
};

// The send's answer to an output that waits: pumps the operator's input, tells
// of a stall once per stall, stops before a command after a cancel, and finishes
// a begun one unless the operator abandons it or the line stays still too long.
class CCutterSend::Waiter : public OutputWait {
public:
    using Clock = std::chrono::steady_clock;

    Waiter(const SendPatience& patience, CutterSendHooks& hooks) : m_patience(patience), m_hooks(hooks) {}

    // A block was taken whole: the line moved just now.
    void Taken() { m_bFresh = true; }
    // The operator cancelled between two records.
    void Cancel() { m_bCancelled = true; }
    bool Cancelled() const { return m_bCancelled; }
    bool TimedOut() const { return m_bTimedOut; }

    Verdict Idle(bool moved, bool begun) override {
        const Clock::time_point now = Clock::now();
        if (moved || m_bFresh) {
            m_lastMove = now;
            m_bFresh = false;
            m_bNoticed = false;
        }
        m_hooks.PumpPending();
        if (!m_bCancelled && m_hooks.IsCancelRequested()) m_bCancelled = true;
        const auto still = now - m_lastMove;
        if (m_patience.stallLimit.count() > 0 && still >= m_patience.stallLimit) {
            m_bTimedOut = true;
            return Verdict::Drop;  // what the line holds is discarded too
        }
        if (m_bCancelled) {
            if (!begun) return Verdict::Stop;
            if (!m_bFinishing) {
                m_bFinishing = true;
                m_finishFrom = now;
                m_hooks.BeginFinishing();
            }
            if (m_hooks.IsAbandonRequested()) return Verdict::Drop;
            if (now - std::max(m_lastMove, m_finishFrom) >= m_patience.finish) return Verdict::Drop;
        }
        if (!m_bNoticed && still >= m_patience.notice) {
            m_bNoticed = true;
            m_hooks.Notice(StallText(m_patience.notice));
        }
        return Verdict::Wait;
    }

private:
    const SendPatience& m_patience;
    CutterSendHooks& m_hooks;
    Clock::time_point m_lastMove = Clock::now();
    Clock::time_point m_finishFrom;
    bool m_bFresh = false;
    bool m_bNoticed = false;
    bool m_bCancelled = false;
    bool m_bFinishing = false;
    bool m_bTimedOut = false;
};

std::string CCutterSend::StallText(std::chrono::milliseconds stalled) {
    char text[80];
    const long long ms = stalled.count();
    if (ms % 1000 == 0)
        std::snprintf(text, sizeof text, "the cutter has taken nothing for %lld s", ms / 1000);
    else
        std::snprintf(text, sizeof text, "the cutter has taken nothing for %.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

std::string CCutterSend::CheckOptions(const CutterSendOptions& o) {
    if (!IsUsable(o.sharpMm, MaxOffsetMm) || o.sharpMm < 0) return "the sharp offset must be a number from 0 up";
    if (!IsUsable(o.closeMm, MaxOffsetMm) || o.closeMm < 0) return "the close offset must be a number from 0 up";
    if (!IsUsable(o.moveXMm, MaxMoveMm)) return "the x move must be a number from -1000000 to 1000000 mm";
    if (!IsUsable(o.moveYMm, MaxMoveMm)) return "the y move must be a number from -1000000 to 1000000 mm";
    for (std::size_t k = 0; k < o.knives.speedCmS.size(); ++k) {
        if (o.knives.speedCmS[k] < 0 || o.knives.speedCmS[k] > KnifeSettings::MaxValue ||
            o.knives.force[k] < 0 || o.knives.force[k] > KnifeSettings::MaxValue)
            return "knife " + std::to_string(k + 1) + ": speed and force must be whole numbers from 0 to 1000";
    }
    return {};
}

CCutterSend::CCutterSend(const CutterSendOptions& options) : m_options(options) {}

CCutterSend::~CCutterSend() = default;

bool CCutterSend::OpenJob(const std::string& path) {
    m_strJob = path;
    // Only a complete job reaches the cutter: random bytes, a cut-off file or
    // another kind of file renamed would be sent as moves.
    const JobCheck check = CheckJob(path);
    if (!check.IsJob()) {
        m_strRefusal = check.opened ? check.reason : std::string();
        m_strError = path + ": " + (check.opened ? "file type error: " : "") + check.reason;
        return false;
    }
    if (!m_reader.Open(path)) {
        m_strError = path + ": " + SystemErrorText(m_reader.OpenError());
        return false;
    }
    try {
        const JobHeader header = ReadJobHeader(m_reader, m_work);
        m_nJobRecords = header.count.x;
        m_nOrientation = header.count.y;
        m_nMinY = header.min.y;
        m_nMaxY = header.max.y;
    } catch (const FileError& e) {
        m_strError = e.what();
        m_reader.Close();
        return false;
    }
    m_bOpen = true;
    return true;
}

const char* CCutterSend::KnifePrompt(std::int32_t k) {
    static const char* const prompts[] = {"select first knife",  "select third knife", "select fourth knife",
                                          "select first knife",  "select second knife", "select fifth knife",
                                          "select sixth knife",  "select seventh knife", "select eighth knife"};
    return prompts[k >= 1 && k <= 8 ? k : 0];
}

bool CCutterSend::Emit(CutterOutput& output, const char* text, std::size_t n) {
    // After a failure or a cancel inside the output nothing more may go out,
    // even from the rest of the current record's track.
    if (m_status != CutterOutput::Status::Written) return false;
    // A cancel seen while an earlier command was finished starts nothing new.
    if (m_pWaiter->Cancelled()) {
        m_status = CutterOutput::Status::Cancelled;
        return false;
    }
    m_status = output.Write(text, n, *m_pWaiter);
    if (m_status != CutterOutput::Status::Written) return false;
    m_nBytes += n;
    m_pWaiter->Taken();
    return true;
}

// Before the first path to send only the start sequence goes out; the last
// knife select is kept and sent just before that path's travel.
bool CCutterSend::Skip(const JobRecord& record, CKnifePath& path, CutterSendHooks& hooks, Commands& commands) {
    if (record.code == RecJobStart) return commands.dialect.JobStart(commands.out);
    if (record.code == RecKnife) m_nSkippedKnife = record.x;
    if (record.code != RecMove || ++m_nPath < m_options.fromPath) return true;
    if (m_nSkippedKnife != 0 && m_options.defineColor) {
        if (m_options.penTip) hooks.PromptKnifeChange(KnifePrompt(m_nSkippedKnife));
        if (!commands.dialect.SelectKnife(commands.out, m_nSkippedKnife)) return false;
    }
    path.Move(record.x, record.y);
    return m_status == CutterOutput::Status::Written;
}

std::int64_t CCutterSend::CountPaths() const {
    JobReader reader;
    if (!reader.Open(m_strJob)) throw FileError(m_strJob, SystemErrorText(reader.OpenError()));
    JobRecord work;
    ReadJobHeader(reader, work);
    std::int64_t paths = 0;
    for (std::int64_t counter = 4; counter <= m_nJobRecords && reader.Read(work); ++counter)
        if (work.code == RecMove) ++paths;
    return paths;
}

std::string CCutterSend::StoppedText(std::int64_t path, std::int64_t paths) {
    auto grouped = [](std::int64_t n) {
        // Built forwards: GCC 12 at -O3 warns falsely about insert() into a short string.
        const std::string digits = std::to_string(n < 0 ? 0 : n);
        std::string out;
        for (std::size_t i = 0; i < digits.size(); ++i) {
            if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
            out += digits[i];
        }
        return out;
    };
    return "stopped in path " + grouped(path) + " of " + grouped(paths);
}


bool CCutterSend::Act(const JobRecord& record, CKnifePath& path, CutterSendHooks& hooks, Commands& commands) {
    CutterDialect& dialect = commands.dialect;
    CutterDialect::Writer& out = commands.out;
    switch (record.code) {
    case RecJobStart:
        return dialect.JobStart(out);
    case RecMove:
        ++m_nPath;
        path.Move(record.x, record.y);
        break;
    case RecLine:
        path.Line(record.x, record.y);
        break;
    case RecKnife:
        path.Knife();
        if (m_status != CutterOutput::Status::Written || !m_options.defineColor) break;
        if (m_options.penTip) {
            // The old knife's track must be cut before the operator changes the knife.
            if (!dialect.Flush(out)) return false;
            hooks.PromptKnifeChange(KnifePrompt(record.x));
        }
        return dialect.SelectKnife(out, record.x);
    case RecPathEnd: {
        path.PathEnd();
        // The feed number is not transformed: the far end of the job on the first axis.
        const std::int64_t feed = m_nOrientation == OrientationMirrorY ? std::int64_t{m_nMaxY} - m_nMinY : m_nMaxY;
        return dialect.PathEnd(out, feed);
    }
    default:
        break;
    }
    return m_status == CutterOutput::Status::Written;
}

CCutterSend::Result CCutterSend::Send(CutterSendHooks& hooks, CutterOutput& output) {
    if (!m_bOpen) {
        if (m_strError.empty()) m_strError = "no job is open";
        return Result::ReadFailed;
    }
    hooks.SetBarRange(0, m_nJobRecords, 1);
    if (!hooks.AskReadySend()) {
        m_reader.Close();
        return Result::Declined;
    }
    if (const std::int64_t from = hooks.ChosenStartPath(); from > 0) m_options.fromPath = from;
    hooks.SetMessage("please wait...");
    Waiter waiter(m_patience, hooks);
    m_pWaiter = &waiter;

    const bool mirror = m_nOrientation == OrientationMirrorY;
    const std::int64_t ySign = mirror ? -1 : 1;
    const std::int64_t yBase = (mirror ? std::int64_t{m_nMaxY} : 0) + TruncUnits(m_options.moveYMm);
    const std::int64_t xOffset = TruncUnits(m_options.moveXMm);
    const std::unique_ptr<CutterDialect> dialect =
        CutterDialect::Create(m_options.dialect, m_options.knives, m_options.compact);
    Writer writer(*this, output);
    Commands commands(*dialect, writer, ySign, yBase, xOffset);
    CKnifePath path(m_options.sharpMm * UnitsPerMm, m_options.closeMm * UnitsPerMm, commands);

    Result result = Result::Completed;
    if (m_nJobRecords >= 4 && dialect->Begin(writer)) {
        std::int64_t counter = 4;
        char message[40];
        try {
            do {
                if (!m_reader.Read(m_work)) break;  // the file ended before its count
                ++counter;
                ++m_nRecordsSent;
                const bool skipping = m_options.fromPath > 1 && m_nPath < m_options.fromPath;
                if (!(skipping ? Skip(m_work, path, hooks, commands) : Act(m_work, path, hooks, commands))) break;
                hooks.Advance();
                hooks.PumpPending();
                hooks.HoldWhilePaused();
                char* p = std::to_chars(message + 5, message + sizeof message - 5, counter).ptr;
                std::memcpy(message, "send:", 5);
                std::memcpy(p, "line", 4);
                hooks.SetMessage(std::string_view(message, static_cast<std::size_t>(p + 4 - message)));
                if (hooks.IsCancelRequested()) {
                    m_status = CutterOutput::Status::Cancelled;
                    waiter.Cancel();
                    break;
                }
            } while (counter <= m_nJobRecords);
            if (m_status == CutterOutput::Status::Written) dialect->Flush(writer);
        } catch (const FileError& e) {
            m_strError = e.what();
            result = Result::ReadFailed;
        }
    }
    m_reader.Close();
    // Whatever the output still holds is part of what was sent: let it through
    // so that the cutter is left with whole commands.
    if (m_status == CutterOutput::Status::Written || m_status == CutterOutput::Status::Cancelled) {
        const CutterOutput::Status flushed = output.Flush(waiter);
        if (flushed != CutterOutput::Status::Written) m_status = flushed;
    }
    m_pWaiter = nullptr;
    switch (m_status) {
    case CutterOutput::Status::Written:
        return result;
    case CutterOutput::Status::Cancelled:
        hooks.Tell(CancelText);
        return Result::Cancelled;
    case CutterOutput::Status::Dropped:
        m_bUnfinished = true;
        if (waiter.TimedOut()) {
            m_strError = StallText(m_patience.stallLimit);
            return Result::OutputFailed;
        }
        hooks.Tell(AbandonedText);
        return Result::Abandoned;
    case CutterOutput::Status::Failed:
        break;
    }
    m_bUnfinished = true;
    m_strError = output.ErrorText();
    return Result::OutputFailed;
}

}  // namespace velkar
