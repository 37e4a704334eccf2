#include "import/standardplotreader.h"

#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "import/dmplreader.h"
#include "import/hpglreader.h"
#include "import/plotjobsink.h"
#include "import/plotsniffer.h"
#include "job/binaryfile.h"
#include "job/jobwriter.h"

namespace velkar {

namespace {

// Larger inputs are refused rather than read into memory.
constexpr std::size_t MaxInputSize = std::size_t{1} << 31;

// The whole file in one allocation, sized from its length; the parsers scan it
// as one block. Returns 0 or an errno value.
int ReadWholeFile(const std::string& path, std::unique_ptr<char[]>& data, std::size_t& size) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        int e = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        return e;
    }
    std::size_t capacity = st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 65536;
    if (capacity > MaxInputSize) {
        ::close(fd);
        return EFBIG;
    }
    data.reset(new char[capacity]);
    size = 0;
    for (;;) {
        if (size == capacity) {
            // Only files that grow while read, or pipes, get here.
            if (capacity >= MaxInputSize) {
                ::close(fd);
                return EFBIG;
            }
            std::unique_ptr<char[]> bigger(new char[capacity * 2]);
            std::copy(data.get(), data.get() + size, bigger.get());
            data = std::move(bigger);
            capacity *= 2;
        }
        ssize_t n = ::read(fd, data.get() + size, capacity - size);
        if (n < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            ::close(fd);
            return e;
        }
        if (n == 0) break;
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return 0;
}

}  // namespace

ConversionResult ConvertStandardPlotFile(const std::string& input, const std::string& output, std::int32_t& count,
                                         StandardPlotStats& stats, std::string& error) {
    count = 0;
    stats = StandardPlotStats{};
    error.clear();

    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    if (int e = ReadWholeFile(input, data, size); e != 0) {
        error = "cannot read " + input + ": " + SystemErrorText(e);
        return ConversionFileFailed;
    }
    const PlotSniff sniff = SniffPlotDialect(data.get(), size);
    if (sniff.dialect == PlotDialect::None) {
        error = "not a plotter file: " + input + ": " + sniff.reason;
        return ConversionNotPlotterFile;
    }

    JobWriter writer;
    if (!writer.Open(output)) {
        error = "cannot write " + output + ": " + writer.OpenErrorText();
        return ConversionFileFailed;
    }
    try {
        PlotJobSink sink(writer, count);
        sink.Start();
        const char* begin = data.get() + sniff.start;
        const char* end = data.get() + size;
        if (sniff.dialect == PlotDialect::Hpgl)
            HpglReader(sink, stats).Read(begin, end);
        else
            DmplReader(sink, stats).Read(begin, end);
        sink.Finish();
    } catch (const PlotRangeError& e) {
        count = 0;
        error = "cannot convert " + input + ": " + e.what();
        return ConversionOutOfRange;
    } catch (const FileError& e) {
        count = 0;
        error = "cannot write " + e.Path() + ": " + e.Reason();
        return ConversionFileFailed;
    }
    return ConversionDone;
}

}  // namespace velkar
