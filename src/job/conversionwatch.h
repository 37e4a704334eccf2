#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace velkar {

// Lets a conversion running on a worker thread tell how much of its input it
// has taken and be stopped. While a watch lives, the file layer of the same
// thread reports to it; when it asks to stop, the next report raises
// FileError with the reason "cancelled", which every converter already
// handles by leaving its job file as it was. Without a watch a report costs
// one test of a thread-local pointer.
class ConversionWatch {
public:
    // observer(fraction) gets the part of input taken so far (0 to 1) and
    // returns false to stop the conversion. input: the plotter file.
    ConversionWatch(std::string input, std::function<bool(double)> observer);
    ~ConversionWatch();
    ConversionWatch(const ConversionWatch&) = delete;
    ConversionWatch& operator=(const ConversionWatch&) = delete;

    static bool Active() { return t_pWatch != nullptr; }
    // The file at path has been read up to offset of size bytes.
    static void Read(const std::string& path, std::uint64_t offset, std::uint64_t size);
    // Any other step (a block written): only asks whether to stop.
    static void Step(const std::string& path);

    static constexpr const char* CancelledReason = "cancelled";

private:
    void Report(const std::string& path, double fraction, bool counts);

    static thread_local ConversionWatch* t_pWatch;
    std::string m_strInput;
    std::function<bool(double)> m_observer;
    double m_fraction = 0.0;
    ConversionWatch* m_pOuter;
};

}  // namespace velkar
