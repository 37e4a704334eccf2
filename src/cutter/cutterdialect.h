#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velkar {

// The command languages a cutter may speak.
enum class CutterDialectId {
    Velkar,  // the plain-text stream: "U"/"D" pairs, knife words, feed move and terminator
    Hpgl,    // HP-GL: IN, SP, PU, PD (plotter units are job units)
};

// Per-knife settings a dialect may send with a knife select; 0 leaves the
// cutter's own value. Index 0 is knife 1.
struct KnifeSettings {
    std::array<std::int32_t, 8> speedCmS{};  // cutting speed, cm/s
    std::array<std::int32_t, 8> force{};     // knife force in the cutter's own units
    static constexpr std::int32_t MaxValue = 1000;
};

// Turns the send's events into one cutter language. The send owns the order of
// events and all operator interaction; a dialect only words them. Coordinates
// arrive already transformed (mirror and picture move applied), as job units on
// the job's own axes.
//
// Every command goes out whole through the Writer; a dialect may hold back
// commands (to join points into one) until Flush. After Put returns false the
// output has failed or been cancelled and nothing more goes out.
class CutterDialect {
public:
    class Writer {
    public:
        virtual ~Writer() = default;
        virtual bool Put(std::string_view command) = 0;
    };

    virtual ~CutterDialect() = default;

    // Once, before the first record.
    virtual bool Begin(Writer& out) = 0;
    // A job-start record.
    virtual bool JobStart(Writer& out) = 0;
    virtual bool TravelTo(Writer& out, std::int64_t x, std::int64_t y) = 0;
    virtual bool CutTo(Writer& out, std::int64_t x, std::int64_t y) = 0;
    // Knife k of the job (any number; outside 1..8 selects as the send's prompt says).
    virtual bool SelectKnife(Writer& out, std::int32_t k) = 0;
    // A path-end record; `feed` is the far end of the job on the y axis.
    virtual bool PathEnd(Writer& out, std::int64_t feed) = 0;
    // Sends whatever is held back (before the operator is asked anything, and
    // at the end of the send).
    virtual bool Flush(Writer& out) = 0;

    // The dialect named by `id`, with the knife settings it may use; `compact`
    // leaves out moves that change nothing where the dialect would send them.
    static std::unique_ptr<CutterDialect> Create(CutterDialectId id, const KnifeSettings& knives, bool compact);

    // The profile's text ("Velkar", "HP-GL") and the command line's word
    // ("velkar", "hpgl") of each dialect, and the way back. The lookups return
    // false for a text that names no dialect.
    static const char* StoredText(CutterDialectId id);
    static const char* OptionWord(CutterDialectId id);
    static bool FromStoredText(std::string_view text, CutterDialectId& id);
    static bool FromOptionWord(std::string_view word, CutterDialectId& id);
    // "velkar, hpgl": the words the command line accepts.
    static std::string OptionWords();
};

}  // namespace velkar
