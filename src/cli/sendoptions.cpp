#include "cli/sendoptions.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace velkar::cli {

bool ParseMillimetres(const std::string& text, float& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    // strtof, not strtod: the send works in single precision (0.35 mm is 14 units).
    const float v = std::strtof(text.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
    value = v;
    return true;
}

bool ParseKnifeValue(const std::string& text, std::array<std::int32_t, 8>& values) {
    if (text.size() < 3 || text[0] < '1' || text[0] > '8' || text[1] != '=') return false;
    const char* first = text.c_str() + 2;
    const char* last = text.c_str() + text.size();
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || value < 1 || value > MaxKnifeValue) return false;
    values[static_cast<std::size_t>(text[0] - '1')] = value;
    return true;
}

bool ParseSeconds(const std::string& text, std::chrono::milliseconds& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !(v >= 1.0 && v <= 86400.0)) return false;
    value = std::chrono::milliseconds(static_cast<std::int64_t>(v * 1000.0));
    return true;
}

bool TakeSendOption(const std::vector<std::string>& args, std::size_t& i, CutterSendOptions& options,
                    std::string& error) {
    const std::string& a = args[i];
    if (a == "--define-color") return options.defineColor = true, true;
    if (a == "--pen-tip") return options.penTip = true, true;
    if (a == "--compact") return options.compact = true, true;
    if (a == "--dialect") {
        if (i + 1 >= args.size() || !CutterDialect::FromOptionWord(args[i + 1], options.dialect))
            error = "--dialect takes one of " + CutterDialect::OptionWords();
        else
            ++i;
        return true;
    }
    if (a == "--knife-speed" || a == "--knife-force") {
        auto& values = a == "--knife-speed" ? options.knives.speedCmS : options.knives.force;
        if (i + 1 >= args.size() || !ParseKnifeValue(args[i + 1], values))
            error = a + " takes KNIFE=VALUE, a knife from 1 to 8 and a whole number from 1 to " +
                    std::to_string(MaxKnifeValue);
        else
            ++i;
        return true;
    }

    struct Numeric {
        const char* name;
        float* target;
        double low;
        double high;
        const char* range;
    };
    // The offsets keep the ranges the cutter-parameter entry allows.
    const Numeric numerics[] = {
        {"--sharp", &options.sharpMm, 0.0, 2.0, "0 to 2"},
        {"--close", &options.closeMm, 0.0, 5.0, "0 to 5"},
        {"--move-x", &options.moveXMm, -1.0e6, 1.0e6, "-1000000 to 1000000"},
        {"--move-y", &options.moveYMm, -1.0e6, 1.0e6, "-1000000 to 1000000"},
    };
    for (const Numeric& n : numerics) {
        if (a != n.name) continue;
        float value = 0;
        if (i + 1 >= args.size() || !ParseMillimetres(args[i + 1], value) || value < n.low || value > n.high) {
            error = std::string(n.name) + " takes a number of millimetres from " + n.range;
            return true;
        }
        *n.target = value;
        ++i;
        return true;
    }
    return false;
}

}  // namespace velkar::cli
