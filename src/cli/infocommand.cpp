#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/sendoptions.h"
#include "cutter/sendestimate.h"
#include "job/binaryfile.h"
#include "job/jobcheck.h"
#include "job/jobreader.h"

#ifdef VELKAR_WITH_QT
#include "serial/lineparameters.h"
#include "serial/serialsettings.h"
#endif

namespace velkar::cli {

namespace {

const char* OrientationText(std::int32_t flag) { return flag == OrientationMirrorY ? "mirror y" : "y as stored"; }

void PrintRecord(std::ostream& out, std::uint64_t index, const JobRecord& r) {
    out << index << ' ' << int(r.code) << ' ' << r.x << ' ' << r.y << ' ' << r.z << '\n';
}

// The line's speed and the bits it puts on the wire for each byte (start, data,
// parity, stop), from the stored serial settings where the program has them.
struct LineSpeed {
    int baud = 9600;
    int bitsPerByte = 10;
};

LineSpeed StoredLineSpeed() {
    LineSpeed speed;
#ifdef VELKAR_WITH_QT
    CSerialSettings settings;
    settings.LoadSettings();
    LineParameters line;
    QString error;
    if (line.FromSettings(settings, error)) {
        speed.baud = line.baud;
        // 1.5 stop bits go out as 2, as the port sends them.
        speed.bitsPerByte = 1 + line.dataBits + (line.parity != 'N') + (line.twoStopBits ? 2 : 1);
    }
#endif
    return speed;
}

bool PrintEstimate(std::ostream& out, std::ostream& err, const std::string& path, const CutterSendOptions& options,
                   LineSpeed speed) {
    CSendEstimate estimate;
    if (!estimate.Run(path, options)) {
        ReportError(err, estimate.ErrorText());
        return false;
    }
    char text[160];
    std::snprintf(text, sizeof text, "cut: %.2f m\nknife-up travel: %.2f m\n", estimate.CutMetres(),
                  estimate.TravelMetres());
    out << text;
    out << "stream: " << estimate.Bytes() << " bytes\n";
    const double seconds = CSendEstimate::LineSeconds(estimate.Bytes(), speed.baud, speed.bitsPerByte);
    out << "line time: " << CSendEstimate::DurationText(seconds) << " at " << speed.baud << " baud, "
        << speed.bitsPerByte << " bits a byte\n";
    return true;
}

}  // namespace

int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string path, error;
    bool listRecords = false;
    CutterSendOptions options;
    LineSpeed speed;
    bool speedGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--records") {
            listRecords = true;
        } else if (a == "--baud") {
            const int baud = i + 1 < args.size() ? std::atoi(args[i + 1].c_str()) : 0;
            if (baud < 1 || baud > 4000000) return ReportError(err, "info: --baud takes a speed from 1 to 4000000"), ExitUsage;
            speed.baud = baud;
            speedGiven = true;
            ++i;
        } else if (TakeSendOption(args, i, options, error)) {
            if (!error.empty()) return ReportError(err, "info: " + error), ExitUsage;
        } else if (a.size() > 1 && a[0] == '-') {
            ReportError(err, "info: unknown option '" + a + "'");
            return ExitUsage;
        } else if (path.empty()) {
            path = a;
        } else {
            ReportError(err, "info: more than one job file given");
            return ExitUsage;
        }
    }
    if (path.empty()) {
        ReportError(err, "info: no job file given (velkar info JOB [--records] [--baud B] [--compact] [send options])");
        return ExitUsage;
    }

    JobReader reader;
    if (!reader.Open(path)) {
        ReportError(err, path + ": " + SystemErrorText(reader.OpenError()));
        return ExitFileError;
    }
    struct stat st {};
    const std::uint64_t inFile = ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) / RecordSize : 0;
    JobRecord work;
    JobHeader header = ReadJobHeader(reader, work);
    if (inFile < 3 || !header.valid) {
        ReportError(err, path + ": file type error");
        return ExitFileError;
    }

    // The body as the program's readers take it: records 4 to the count, or up to the end of the file.
    std::map<int, std::uint64_t> kinds;
    std::set<std::int32_t> knives;
    std::uint64_t read = 3;
    const std::int64_t count = header.count.x;
    while (static_cast<std::int64_t>(read) < count && reader.Read(work)) {
        ++read;
        ++kinds[work.code];
        if (work.code == RecKnife) knives.insert(work.x);
    }

    out << "job: " << path << '\n';
    out << "records: " << count;
    if (inFile != static_cast<std::uint64_t>(count < 0 ? 0 : count)) out << " (the file holds " << inFile << ")";
    out << '\n';
    out << "orientation: " << header.count.y << " (" << OrientationText(header.count.y) << ")\n";
    out << "box: " << header.min.x << ", " << header.min.y << " to " << header.max.x << ", " << header.max.y << '\n';
    const std::pair<int, const char*> names[] = {{RecJobStart, "job start"}, {RecKnife, "knife"}, {RecMove, "move"},
                                                 {RecLine, "line"},          {RecPathEnd, "path end"}};
    std::uint64_t known = 0;
    for (const auto& [code, name] : names) {
        out << name << ": " << kinds[code] << '\n';
        known += kinds[code];
    }
    out << "other: " << (read - 3 - known) << '\n';
    out << "knives:";
    if (knives.empty()) out << " none";
    for (std::int32_t k : knives) out << ' ' << k;
    out << '\n';

    LineSpeed line = StoredLineSpeed();
    if (speedGiven) line.baud = speed.baud;
    // A job the send would refuse has no estimate; the summary above still says what it holds.
    if (const JobCheck check = CheckJob(path); check.opened && !check.reason.empty())
        out << "send: refused (file type error: " << check.reason << ")\n";
    else if (!PrintEstimate(out, err, path, options, line))
        return ExitFileError;

    if (listRecords) {
        PrintRecord(out, 1, header.count);
        PrintRecord(out, 2, header.min);
        PrintRecord(out, 3, header.max);
        // A second pass, so that a long job is never held in memory.
        reader.SeekRecord(3);
        for (std::uint64_t i = 4; i <= read && reader.Read(work); ++i) PrintRecord(out, i, work);
    }
    return ExitOk;
}

}  // namespace velkar::cli
