#include "Stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace loadgen {

double Quantile(const std::vector<double>& sorted, double q) {
    if (sorted.empty()) return 0;
    // Nearest rank: the smallest value with at least q of all at or below it.
    const double rank = std::ceil(q * static_cast<double>(sorted.size()));
    const size_t at = rank < 1 ? 0 : static_cast<size_t>(rank) - 1;
    return sorted[std::min(at, sorted.size() - 1)];
}

void Stats::Add(const std::string& op, double ms, bool ok) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& s = ops_[op];
    if (ok)
        s.latencies.push_back(ms);
    else
        ++s.failures;
}

void Stats::Fail(const std::string& op, const std::string& why) {
    Add(op, 0, false);
    std::lock_guard<std::mutex> lock(mutex_);
    ++reasons_[{op, why}];
}

std::map<std::string, Stats::Summary> Stats::Summaries() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::map<std::string, Summary> out;
    for (auto& [name, s] : ops_) {
        std::sort(s.latencies.begin(), s.latencies.end());
        out[name] = {s.latencies.size() + s.failures, s.failures, Quantile(s.latencies, 0.50),
                     Quantile(s.latencies, 0.99)};
    }
    return out;
}

size_t Stats::TotalFailures() {
    size_t n = 0;
    for (const auto& [name, s] : Summaries()) n += s.failures;
    return n;
}

std::string Stats::Table() {
    std::string out;
    char line[160];
    std::snprintf(line, sizeof line, "%-20s %8s %8s %10s %10s\n", "operation", "count", "failed",
                  "p50 ms", "p99 ms");
    out += line;
    for (const auto& [name, s] : Summaries()) {
        std::snprintf(line, sizeof line, "%-20s %8zu %8zu %10.2f %10.2f\n", name.c_str(), s.count,
                      s.failures, s.p50, s.p99);
        out += line;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [key, n] : reasons_) {
        std::snprintf(line, sizeof line, "  %s failed %zu times: %s\n", key.first.c_str(), n,
                      key.second.c_str());
        out += line;
    }
    return out;
}

}  // namespace loadgen
