#include <string>

#include "fuzzsupport.h"
#include "import/plottertype.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velkar;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const int direct = RecognizePlotterType(bytes);
    if (direct < PlotterTypeUnknown || direct > PlotterTypeH) fuzz::Fail("type out of range");

    std::string text;
    int error = 0;
    if (!ReadRecognitionText(fuzz::WriteInput(data, size), text, error)) fuzz::Fail("cannot read the input back");
    if (text.size() > RecognitionLength || text.find('\0') != std::string::npos) fuzz::Fail("recognition text too long");
    if (bytes.find('\r') == std::string::npos) {
        if (RecognizePlotterType(text) != direct) fuzz::Fail("file and text recognised differently");
        std::string crlf;
        for (char c : bytes) {
            if (c == '\n') crlf += '\r';
            crlf += c;
        }
        std::string crlfText;
        if (!ReadRecognitionText(fuzz::WriteInput(reinterpret_cast<const std::uint8_t*>(crlf.data()), crlf.size(), "crlf.plt"),
                                 crlfText, error) ||
            crlfText != text)
            fuzz::Fail("CR LF line ends read differently");
    }
    for (int flavour = 0; flavour <= 5; ++flavour) {
        std::string verdict = CheckFlavourAndType(flavour, direct);
        if (!verdict.empty() && verdict != "file type error" && verdict != "file type isn't CAD") fuzz::Fail("refusal text");
    }

    // The job path keeps every directory and changes only the file name's extension.
    const std::string job = DeriveJobPath(bytes);
    const std::size_t slash = bytes.rfind('/');
    const std::size_t keep = slash == std::string::npos ? 0 : slash + 1;
    if (job.compare(0, keep, bytes, 0, keep) != 0) fuzz::Fail("job path changed a directory");
    if (job.size() < 3 || job.compare(job.size() - 3, 3, "PT1") != 0) fuzz::Fail("job path without PT1");
    return 0;
}
