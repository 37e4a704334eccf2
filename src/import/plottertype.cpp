#include "import/plottertype.h"

#include <algorithm>
#include <cstring>

#include "import/textsource.h"

namespace velkar {

int RecognizePlotterType(const std::string& first39) {
    std::string text = first39.substr(0, std::min(RecognitionLength, std::strlen(first39.c_str())));
    auto has = [&text](const char* marker) { return text.find(marker) != std::string::npos; };
    int type = PlotterTypeUnknown;
    if (has("IN")) type = (has("MC1;") || has("PR")) ? PlotterTypeHpglNoConverter : PlotterTypeHpgl;
    if (has("H;;")) type = PlotterTypeH;
    if (has(" ;:AHOL")) type = PlotterTypeMultiKnife;
    return type;
}

bool ReadRecognitionText(const std::string& path, std::string& text, int& error) {
    text.clear();
    error = 0;
    TextSource in;
    if (!in.Open(path)) {
        error = in.OpenError();
        return false;
    }
    while (text.size() < RecognitionLength) {
        int c = in.Get();
        if (c == TextSource::End || c == 0) break;
        text += static_cast<char>(c);
    }
    return true;
}

namespace {

constexpr const char* kFlavourNames[] = {"zorvex", "coredraw", "autocad", "casmate"};

bool SameIgnoringCase(const std::string& a, const char* b) {
    std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i]) return false;
    }
    return true;
}

}  // namespace

int ParseFlavour(const std::string& text) {
    if (text.size() == 1 && text[0] >= '1' && text[0] <= '4') return text[0] - '0';
    for (int i = 0; i < 4; ++i)
        if (SameIgnoringCase(text, kFlavourNames[i])) return i + 1;
    return 0;
}

const char* FlavourName(int flavour) {
    if (flavour < 1 || flavour > 4) return "";
    return kFlavourNames[flavour - 1];
}

std::string CheckFlavourAndType(int flavour, int type) {
    switch (flavour) {
        case FlavourZorvex:
        case FlavourCoredraw:
            return type == PlotterTypeHpgl ? "" : "file type error";
        case FlavourAutocad:
            return type == PlotterTypeMultiKnife ? "" : "file type isn't CAD";
        case FlavourCasmate:
            return "";
        default:
            return "file type error";
    }
}

std::string DeriveJobPath(const std::string& source) {
    std::size_t nameStart = source.rfind('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    std::size_t dot = source.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return source + ".PT1";
    return source.substr(0, dot + 1) + "PT1";
}

}  // namespace velkar
