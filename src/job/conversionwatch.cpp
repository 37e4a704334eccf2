#include "job/conversionwatch.h"

#include <utility>

#include "job/fileerror.h"

namespace velkar {

thread_local ConversionWatch* ConversionWatch::t_pWatch = nullptr;

ConversionWatch::ConversionWatch(std::string input, std::function<bool(double)> observer)
    : m_strInput(std::move(input)), m_observer(std::move(observer)), m_pOuter(t_pWatch) {
    t_pWatch = this;
}

ConversionWatch::~ConversionWatch() { t_pWatch = m_pOuter; }

void ConversionWatch::Report(const std::string& path, double fraction, bool counts) {
    if (counts) m_fraction = fraction;
    if (!m_observer(m_fraction)) throw FileError(path, CancelledReason);
}

void ConversionWatch::Read(const std::string& path, std::uint64_t offset, std::uint64_t size) {
    if (!t_pWatch) return;
    const bool input = path == t_pWatch->m_strInput && size > 0;
    t_pWatch->Report(path, input ? static_cast<double>(offset) / static_cast<double>(size) : 0.0, input);
}

void ConversionWatch::Step(const std::string& path) {
    if (t_pWatch) t_pWatch->Report(path, 0.0, false);
}

}  // namespace velkar
