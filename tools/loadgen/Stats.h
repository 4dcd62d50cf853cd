#pragma once

// Latencies and failures per operation, shared by every simulated user.

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace loadgen {

// The q-quantile (0..1) of sorted values by the nearest rank; 0 when none.
double Quantile(const std::vector<double>& sorted, double q);

class Stats {
  public:
    struct Summary {
        size_t count = 0;
        size_t failures = 0;
        double p50 = 0;
        double p99 = 0;
    };

    void Add(const std::string& op, double ms, bool ok);
    // A failure that has no latency (an operation that never completed).
    void Fail(const std::string& op) { Add(op, 0, false); }
    // A failure with what went wrong; the reasons are counted and listed
    // under the table.
    void Fail(const std::string& op, const std::string& why);
    std::map<std::string, Summary> Summaries();
    size_t TotalFailures();
    // The table: operation, count, failed, p50 ms, p99 ms.
    std::string Table();

  private:
    struct Op {
        std::vector<double> latencies;
        size_t failures = 0;
    };
    std::mutex mutex_;
    std::map<std::string, Op> ops_;
    std::map<std::pair<std::string, std::string>, size_t> reasons_;
};

}  // namespace loadgen
