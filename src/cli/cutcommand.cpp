#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <iostream>
#include <ostream>

#include <unistd.h>

#include <QFileInfo>

#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/sendoptions.h"
#include "cutter/cuttersend.h"
#include "serial/commport.h"
#include "serial/cupsqueue.h"
#include "serial/cuttertransport.h"
#include "serial/lineparameters.h"
#include "serial/profile.h"
#include "serial/serialsettings.h"

namespace velkar::cli {

const char* const CutUsage =
    "velkar cut JOB [--port 1-4 | --device DEVICE | --queue QUEUE] [--speed S] [--parity N|O|E] [--data 5-8]\n"
    "               [--stop 1|1.5|2] [--sharp MM] [--close MM] [--move-x MM] [--move-y MM] [--define-color]\n"
    "               [--pen-tip] [--dialect velkar|hpgl] [--knife-speed K=CM/S] [--knife-force K=F] [--yes]\n"
    "               [--stall-timeout S] [--compact] [--from-path N]\n"
    "  Sends JOB to the cutter. Line settings, device and dialect default to the stored profile's port.\n"
    "  DEVICE: a device path, socket://HOST[:PORT] (raw TCP, port 9100 by default) or cups:QUEUE (a raw\n"
    "  job to a print queue, the same as --queue QUEUE). Ctrl-C cancels: the command in progress is\n"
    "  finished first, a second Ctrl-C abandons it. --stall-timeout ends the send (exit 1) when the\n"
    "  cutter takes nothing for S seconds.\n"
    "  --compact leaves out the moves to where the knife already is; --from-path N starts at the\n"
    "  job's path N (after the start sequence and the knife select) and cuts to the end.\n"
    "  Stop bits 1.5 are sent as 2 (Linux has no 1.5; a UART sends 1.5 with 5-bit data).";

namespace {

// Ctrl-C presses so far: the first cancels, the second abandons the command
// being finished.
std::atomic<int> g_nInterrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int) { g_nInterrupts.fetch_add(1); }

// Ctrl-C counts instead of ending the program, for the lifetime of the object;
// no SA_RESTART, so a waiting prompt returns at once.
class InterruptCatcher {
public:
    InterruptCatcher() {
        struct sigaction sa {};
        sa.sa_handler = OnInterrupt;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &m_old);
        g_nInterrupts = 0;
    }
    ~InterruptCatcher() { sigaction(SIGINT, &m_old, nullptr); }

private:
    struct sigaction m_old {};
};

// The operator at the terminal: questions on standard error, answers from
// standard input, a progress line on standard error.
class TerminalHooks : public CutterSendHooks {
public:
    TerminalHooks(std::ostream& err, bool yes, const CCutterSend& send, double lineBytesPerSecond)
        : m_err(err), m_bYes(yes), m_send(send), m_dLineRate(lineBytesPerSecond) {}

    bool AskReadySend() override {
        if (m_bYes) return true;
        m_err << "Sent to cutter: ready sent [Enter = OK, c = Cancel] " << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer) || g_nInterrupts > 0) return false;
        return answer.empty() || answer == "y" || answer == "ok" || answer == "OK";
    }
    void PromptKnifeChange(std::string_view text) override {
        Clear();
        m_err << text << " [Enter = OK] " << std::flush;
        std::string answer;
        std::getline(std::cin, answer);
        std::cin.clear();
    }
    void SetBarRange(std::int32_t, std::int32_t high, std::int32_t) override { m_nHigh = high; }
    void Advance() override { ++m_nPos; }
    void SetMessage(std::string_view) override {}
    void PumpPending() override {
        const auto now = std::chrono::steady_clock::now();
        if (m_bShown && now - m_lastShown < std::chrono::milliseconds(100)) return;
        m_lastShown = now;
        Show(now);
    }
    bool IsCancelRequested() override { return g_nInterrupts > 0; }
    void BeginFinishing() override {
        Clear();
        m_err << "finishing the command in progress; press Ctrl-C again to abandon it\n";
    }
    bool IsAbandonRequested() override { return g_nInterrupts > 1; }
    void Notice(std::string_view text) override { Tell(text); }
    void Tell(std::string_view text) override {
        Clear();
        m_err << text << "\n";
    }
    void Finish() {
        if (m_bShown) Show(std::chrono::steady_clock::now()), m_err << "\n";
        m_bShown = false;
    }

private:
    void Show(std::chrono::steady_clock::time_point now) {
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        const std::int64_t records = m_nPos;
        const std::uint64_t bytes = m_send.BytesWritten();
        const std::int64_t total = m_nHigh > 3 ? m_nHigh - 3 : 0;
        const int percent = total > 0 ? static_cast<int>(records * 100 / total) : 0;
        char line[160];
        int n = std::snprintf(line, sizeof line, "\rsend: %lld/%lld records %3d%% %8.0f B/s",
                              static_cast<long long>(records), static_cast<long long>(total), percent,
                              seconds > 0 ? static_cast<double>(bytes) / seconds : 0.0);
        if (m_dLineRate > 0 && records > 0 && total >= records) {
            // Bytes still to go, from the average command text per record so far.
            const double left = static_cast<double>(bytes) / static_cast<double>(records) *
                                static_cast<double>(total - records) / m_dLineRate;
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "  %lld:%02lld left ",
                               static_cast<long long>(left) / 60, static_cast<long long>(left) % 60);
        }
        m_err << line << std::flush;
        m_bShown = true;
    }
    void Clear() {
        if (m_bShown) m_err << "\n";
        m_bShown = false;
    }

    std::ostream& m_err;
    bool m_bYes;
    const CCutterSend& m_send;
    double m_dLineRate;
    std::int32_t m_nHigh = 0;
    std::int64_t m_nPos = 0;
    bool m_bShown = false;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_lastShown;
};

bool IsOneOf(const std::string& value, std::initializer_list<const char*> allowed) {
    for (const char* a : allowed)
        if (value == a) return true;
    return false;
}

}  // namespace

int RunCut(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CSerialSettings settings;
    settings.LoadSettings();
    CutterSendOptions options;
    if (QString knifeError; !LoadKnifeSettings(options.knives, knifeError))
        return ReportError(err, knifeError.toStdString()), ExitUsage;
    std::string job, device, error;
    bool yes = false, portGiven = false;
    SendPatience patience;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        const std::string value = hasValue ? args[i + 1] : std::string();
        auto line = [&](QString& field, std::initializer_list<const char*> allowed, const char* what) {
            if (!hasValue || !IsOneOf(value, allowed)) {
                error = a + " takes " + what;
                return;
            }
            field = QString::fromStdString(value);
            ++i;
        };
        if (a == "--yes") {
            yes = true;
        } else if (a == "--port") {
            line(settings.m_strPort, {"1", "2", "3", "4"}, "a port number from 1 to 4");
            portGiven = true;
        } else if (a == "--device" || a == "--queue") {
            if (!hasValue || value.empty())
                error = a == "--queue" ? "--queue takes the name of a print queue"
                                       : "--device takes a device path, socket://HOST[:PORT] or cups:QUEUE";
            if (!device.empty()) error = "--device and --queue exclude each other";
            device = a == "--queue" ? CCupsQueue::Scheme + value : value;
            ++i;
        } else if (a == "--speed") {
            line(settings.m_strSpeed, {"300", "1200", "2400", "4800", "9600", "14400"},
                 "one of 300, 1200, 2400, 4800, 9600, 14400");
        } else if (a == "--parity") {
            line(settings.m_strParity, {"N", "O", "E"}, "N, O or E");
        } else if (a == "--data") {
            line(settings.m_strDataBits, {"5", "6", "7", "8"}, "5, 6, 7 or 8");
        } else if (a == "--stop") {
            line(settings.m_strStopBits, {"1", "1.5", "2"}, "1, 1.5 or 2");
        } else if (a == "--from-path") {
            char* end = nullptr;
            const long long n = hasValue ? std::strtoll(value.c_str(), &end, 10) : 0;
            if (!hasValue || value.empty() || *end != '\0' || n < 1) error = "--from-path takes a path number from 1 up";
            options.fromPath = n;
            ++i;
        } else if (a == "--stall-timeout") {
            if (!hasValue || !ParseSeconds(value, patience.stallLimit)) error = "--stall-timeout takes a number of seconds from 1 to 86400";
            ++i;
        } else if (TakeSendOption(args, i, options, error)) {
        } else if (!a.empty() && a[0] == '-') {
            error = "unknown option '" + a + "' (see 'velkar cut --help')";
        } else if (job.empty()) {
            job = a;
        } else {
            error = "only one job can be cut";
        }
        if (!error.empty()) return ReportError(err, error), ExitUsage;
    }
    if (job.empty()) return ReportError(err, "no job given (see 'velkar cut --help')"), ExitUsage;
    if (portGiven && !device.empty()) return ReportError(err, "--port and --device exclude each other"), ExitUsage;
    const int portNumber = TextToInt(settings.GetPort());
    if (device.empty()) device = settings.DeviceForPort(portNumber).toStdString();
    if (std::find(args.begin(), args.end(), "--dialect") == args.end() && portNumber >= 1 && portNumber <= 4) {
        const QString stored = settings.DialectForPort(portNumber);
        if (!CutterDialect::FromStoredText(stored.toStdString(), options.dialect)) {
            return ReportError(err, "COM" + std::to_string(portNumber) + ": the stored dialect '" +
                                        stored.toStdString() + "' is not one of Velkar, HP-GL"),
                   ExitUsage;
        }
    }

    CCutterSend send(options);
    send.SetPatience(patience);
    if (!send.OpenJob(job)) return ReportError(err, send.ErrorText()), ExitFileError;
    const std::int64_t paths = send.CountPaths();
    if (options.fromPath > paths)
        return ReportError(err, job + ": has " + std::to_string(paths) + " paths; --from-path " +
                                    std::to_string(options.fromPath) + " is beyond them"),
               ExitUsage;

    InterruptCatcher interrupt;
    const QString devicePath = QString::fromStdString(device);
    std::unique_ptr<CutterTransport> transport = CutterTransport::ForDevice(devicePath);
    CutterTransport& port = *transport;
    const QString title = QFileInfo(QString::fromStdString(job)).fileName();
    if (!port.Open(settings, devicePath, title)) {
        err << CCommPort::CantOpenText << "\n" << port.OpenError().toStdString() << "\n";
        return ExitFileError;
    }
    double lineRate = 0;
    LineParameters lineParameters;
    QString lineError;
    if (port.IsTerminal() && lineParameters.FromSettings(settings, lineError)) {
        const int bitsPerByte = 1 + lineParameters.dataBits + (lineParameters.parity != 'N') +
                                (lineParameters.twoStopBits ? 2 : 1);
        lineRate = static_cast<double>(lineParameters.baud) / bitsPerByte;
    }
    TerminalHooks hooks(err, yes, send, lineRate);
    const CCutterSend::Result result = send.Send(hooks, port);
    hooks.Finish();
    if (result != CCutterSend::Result::Completed) port.Abandon();
    const bool delivered = port.Close();
    // Where to start again: the path that was being sent.
    const std::string stopped = CCutterSend::StoppedText(send.CurrentPath(), paths);
    switch (result) {
    case CCutterSend::Result::Completed:
        if (!delivered) {
            if (!port.ErrorText().empty())
                return ReportError(err, "send stopped: " + port.ErrorText() + "; " + stopped), ExitFileError;
            err << CCutterSend::CancelText << "\n" << stopped << "\n";
            return ExitCancelled;
        }
        out << "sent " << send.RecordsSent() << " records, " << send.BytesWritten() << " bytes to "
            << port.DevicePath().toStdString();
        if (const auto* queue = dynamic_cast<const CCupsQueue*>(&port); queue && queue->JobId() > 0)
            out << " (job " << queue->JobId() << ")";
        out << "\n";
        return ExitOk;
    case CCutterSend::Result::Declined:
        return ExitCancelled;
    case CCutterSend::Result::Cancelled:
    case CCutterSend::Result::Abandoned:
        err << stopped << "\n";
        return ExitCancelled;
    case CCutterSend::Result::OutputFailed:
        ReportError(err, "send stopped: " + send.ErrorText() + "; " + stopped);
        if (send.LeftUnfinished()) err << CCutterSend::UnfinishedText << "\n";
        return ExitFileError;
    case CCutterSend::Result::ReadFailed:
        break;
    }
    return ReportError(err, send.ErrorText()), ExitFileError;
}

}  // namespace velkar::cli
