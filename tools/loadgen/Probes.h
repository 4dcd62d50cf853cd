#pragma once

// What loadgen measures beside the users: the server's memory and
// descriptors, raw loopback latency, and the cost of idle connections.

#include <atomic>
#include <string>
#include <utility>

#include "Stats.h"

namespace loadgen {

// Resident memory in KiB and open descriptors of a process; -1 when unknown.
std::pair<long, long> ProcessUse(int pid);

// Processor time (user and system) a process has used, in seconds; -1 when
// unknown. `statLine` is the text of /proc/<pid>/stat.
double ProcessCpuSeconds(int pid);
double CpuSecondsOfStat(const std::string& statLine);

// Percent change from `from` to `to`.
double PercentChange(long from, long to);

// A plain TCP ping-pong between two sockets of this process through
// 127.0.0.1, `bytes` each way, every `everyMs` until `stop`; round trips go
// to `stats` as `op`. False when the sockets could not be set up.
bool RunLoopback(Stats& stats, const std::string& op, int bytes, int everyMs,
                 std::atomic<bool>& stop);

// Opens `count` connections to host:port that say nothing, holds them
// `holdSeconds`, closes them and prints the server's memory (pid) before,
// while they are open and each second for `afterSeconds` after. False when
// fewer than all could be opened.
bool IdleConnections(const std::string& host, int port, int count, int holdSeconds,
                     int afterSeconds, int pid);

}  // namespace loadgen
