#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "cutter/cutterdialect.h"
#include "cutter/cutteroutput.h"
#include "cutter/cuttersendhooks.h"
#include "job/jobreader.h"

namespace velkar {

// The operator's choices for one send. Lengths in millimetres.
struct CutterSendOptions {
    float sharpMm = 0.0f;  // Sharp Offset
    float closeMm = 0.0f;  // Close Offset
    float moveXMm = 0.0f;  // picture move, added to every point sent
    float moveYMm = 0.0f;
    bool defineColor = false;  // send knife words for knife-select records
    bool penTip = false;       // with defineColor: ask for the knife at every knife select
    CutterDialectId dialect = CutterDialectId::Velkar;  // the cutter's command language
    KnifeSettings knives;                               // speed and force per knife, where the dialect has them
    bool compact = false;      // leave out moves to where the knife already is
    std::int64_t fromPath = 1; // cut from this path on (1: the whole job); paths count the job's moves
};

// How long the send waits for a cutter that takes nothing.
struct SendPatience {
    // After this long without progress the operator is told, and the send waits on.
    std::chrono::milliseconds notice{30000};
    // After a cancel, a command already begun is finished for as long as the
    // line has moved within this time (counted from the cancel at the earliest).
    std::chrono::milliseconds finish{30000};
    // Not zero: the send ends, as failed, after this long without progress.
    std::chrono::milliseconds stallLimit{0};
};

// Streams a job to the cutter as its command text, in the dialect of the options.
//
// Usage: OpenJob, then (the caller opens its output, e.g. the serial port) Send.
// The job is read record by record; every point of the knife's track becomes a
// travel or cut command, knife selects become knife selections, path ends
// become the feed move and the end of the job (CutterDialect words them). Each
// command is handed to the output whole, as soon as the dialect has built it.
// Not reusable: one object per send.
//
// A cancel stops the send before the next command; a command already begun
// is finished first (see SendPatience), unless the operator abandons it. When
// the output holds bytes on the way (a line's queue), they are let through
// the same way before the send returns.
class CCutterSend {
public:
    enum class Result {
        Completed,     // all records up to the count (or the end of the file) were sent
        Declined,      // the operator answered Cancel to "ready sent"; nothing was written
        Cancelled,     // the operator cancelled; " cancle send " was told; no command was cut short
        Abandoned,     // after a cancel the command in progress was abandoned by the operator, or
                       // the line did not move for the finish time; AbandonedText was told
        OutputFailed,  // the output failed, or the line stalled for the stall limit; ErrorText()
                       // holds the reason; nothing more was written
        ReadFailed,    // the job could not be read; ErrorText() holds the file and the reason
    };

    // Empty when the options can be used, otherwise the reason. A move must
    // stay within the job's coordinate range and every value must be a number.
    static std::string CheckOptions(const CutterSendOptions& options);

    explicit CCutterSend(const CutterSendOptions& options);
    ~CCutterSend();
    CCutterSend(const CCutterSend&) = delete;
    CCutterSend& operator=(const CCutterSend&) = delete;

    void SetPatience(const SendPatience& patience) { m_patience = patience; }

    // Checks the job (CheckJob), opens it and reads its three headers. False
    // when the file cannot be opened or read, or is not a complete job:
    // ErrorText() then names it and the reason, and for a file that is not a
    // job ("PATH: file type error: REASON") JobRefusal() holds the reason alone.
    bool OpenJob(const std::string& path);
    const std::string& JobRefusal() const { return m_strRefusal; }
    // The record count of the job's first header (0 before OpenJob).
    std::int32_t JobRecords() const { return m_nJobRecords; }

    // Runs the send: bar range, "ready sent", "please wait...", the records.
    Result Send(CutterSendHooks& hooks, CutterOutput& output);

    const std::string& ErrorText() const { return m_strError; }
    // Bytes handed to the output so far, and body records handled so far.
    std::uint64_t BytesWritten() const { return m_nBytes; }
    std::int64_t RecordsSent() const { return m_nRecordsSent; }
    // The path being sent: the number of moves read so far (0 before the first).
    std::int64_t CurrentPath() const { return m_nPath; }
    // The number of paths (moves) among the job's body records. Reads the job a
    // second time; raises FileError when it cannot.
    std::int64_t CountPaths() const;
    // "stopped in path 412 of 1,530"
    static std::string StoppedText(std::int64_t path, std::int64_t paths);
    // After Abandoned or OutputFailed: the cutter may have received part of a command.
    bool LeftUnfinished() const { return m_bUnfinished; }

    // "the cutter has taken nothing for 30 s" for a time in milliseconds.
    static std::string StallText(std::chrono::milliseconds stalled);

    // Pen Tip prompt for knife number k: it names the knife whose word the
    // stream sends (1 and 3, 2 and 4 exchange their words; a number outside
    // 1..8 selects as 3 does).
    static const char* KnifePrompt(std::int32_t k);
    // Told to the operator when a send is cancelled.
    static constexpr const char* CancelText = " cancle send ";
    // Told when the rest of a begun command was dropped.
    static constexpr const char* UnfinishedText =
        "the cutter may hold an unfinished command: reset the cutter before the next job";
    static constexpr const char* AbandonedText =
        "send abandoned: the cutter may hold an unfinished command: reset the cutter before the next job";

private:
    class Commands;
    class Writer;
    class Waiter;
    bool Emit(CutterOutput& output, const char* text, std::size_t n);
    bool Skip(const JobRecord& record, class CKnifePath& path, CutterSendHooks& hooks, Commands& commands);
    bool Act(const JobRecord& record, class CKnifePath& path, CutterSendHooks& hooks, Commands& commands);

    CutterSendOptions m_options;
    SendPatience m_patience;
    Waiter* m_pWaiter = nullptr;  // during Send
    bool m_bUnfinished = false;
    JobReader m_reader;
    JobRecord m_work;
    std::int32_t m_nJobRecords = 0;
    std::int32_t m_nOrientation = 0;
    std::int32_t m_nMinY = 0;
    std::int32_t m_nMaxY = 0;
    bool m_bOpen = false;
    std::string m_strError;
    std::string m_strRefusal;
    std::uint64_t m_nBytes = 0;
    std::int64_t m_nRecordsSent = 0;
    CutterOutput::Status m_status = CutterOutput::Status::Written;
    std::string m_strJob;
    std::int64_t m_nPath = 0;
    std::int32_t m_nSkippedKnife = 0;  // the last knife select before the first path sent (0: none)
};

}  // namespace velkar
