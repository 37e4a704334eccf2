#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velkar {

// Follows the cutter through a command stream as it arrives in pieces: where
// the knife is, whether it is down, and how far it went cutting and travelling.
// "U" and "D" commands move it (first number, then second, in stream units);
// every other command leaves it where it is. It starts at 0,0 with the knife up.
class CCommandReplay {
public:
    struct Step {
        char letter;  // 'U' or 'D'
        std::int64_t first;
        std::int64_t second;
        friend bool operator==(const Step&, const Step&) = default;
    };

    // keepSteps: remember every "U" and "D" command (for comparing two streams).
    explicit CCommandReplay(bool keepSteps = false) : m_bKeepSteps(keepSteps) {}

    // Takes the next bytes of the stream; a command may be split across calls.
    void Feed(const char* data, std::size_t n);

    // Lengths in stream units, both ends of every move as the commands give them.
    double CutLength() const { return m_dCut; }
    double TravelLength() const { return m_dTravel; }
    std::uint64_t Bytes() const { return m_nBytes; }
    const std::vector<Step>& Steps() const { return m_steps; }

    // The cutter's path as a sequence of segments with the knife down, and the
    // points it travels to with the knife up, with moves to where the knife
    // already is left out: two streams that make the cutter do the same thing
    // give the same sequence.
    std::vector<Step> Path() const;

private:
    void Command();

    bool m_bKeepSteps;
    std::string m_strWord;
    std::int64_t m_nFirst = 0;
    std::int64_t m_nSecond = 0;
    double m_dCut = 0;
    double m_dTravel = 0;
    std::uint64_t m_nBytes = 0;
    std::vector<Step> m_steps;
};

}  // namespace velkar
