#pragma once
// The times of a benchmark program's runs, from which its main prints how
// Tessera compares with a peer. A run's time is the median of its
// repetitions, or Google Benchmark's "median" aggregate when only the
// aggregates were reported, or the single run's time without repetitions;
// the other aggregates (mean, stddev, cv) are never taken for a time. It
// knows nothing of Google Benchmark (RatioReporter feeds it), so the tests
// check it without linking that library.

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioTable {
public:
  // One reported run of name (the benchmark and its arguments, e.g.
  // "BM_Tessera/method:3/divisor:2"): seconds per iteration; aggregate is
  // empty for a run or one repetition, else the aggregate's name.
  void Add(const std::string& name, const std::string& aggregate, double seconds) {
    auto [entry, added] = m_runs.try_emplace(name);
    if (added) m_order.push_back(name);
    if (aggregate.empty()) {
      entry->second.repetitions.push_back(seconds);
    } else if (aggregate == "median") {
      entry->second.median = seconds;
    }
  }

  // The run's time in seconds, or -1 when it was not reported.
  double Seconds(const std::string& name) const {
    const auto found = m_runs.find(name);
    if (found == m_runs.end()) return -1.0;
    std::vector<double> times = found->second.repetitions;
    if (times.empty()) return found->second.median;
    // As Google Benchmark takes its median: the mean of the middle two of an
    // even count.
    std::sort(times.begin(), times.end());
    const std::size_t half = times.size() / 2;
    return times.size() % 2 ? times[half] : (times[half - 1] + times[half]) / 2;
  }

  // The names in the order of their first report.
  const std::vector<std::string>& Names() const { return m_order; }

  // "Tessera 1.70x faster than vips (Tessera 120.0 ms, vips 204.0 ms)", from
  // the runs ours and peer; peerLabel names the peer. When a run is missing,
  // says which, so a lookup by a wrong name shows.
  std::string Compare(const std::string& ours, const std::string& peer, const std::string& peerLabel) const {
    const double a = Seconds(ours);
    const double b = Seconds(peer);
    if (!(a > 0)) return "no time for " + ours;
    if (!(b > 0)) return "no time for " + peer;
    char text[64];
    const double ratio = b / a;
    if (ratio >= 0.995 && ratio < 1.005) {
      std::snprintf(text, sizeof text, "Tessera as fast as ");
    } else {
      std::snprintf(text, sizeof text, "Tessera %.2fx %s than ", ratio >= 1 ? ratio : 1 / ratio,
                    ratio >= 1 ? "faster" : "slower");
    }
    return text + peerLabel + " (Tessera " + Milliseconds(a) + ", " + peerLabel + " " + Milliseconds(b) + ")";
  }

  // "120.0 ms", or "0.125 ms" below a millisecond.
  static std::string Milliseconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, seconds >= 1e-3 ? "%.1f ms" : "%.3f ms", seconds * 1e3);
    return text;
  }

private:
  struct Entry {
    std::vector<double> repetitions;
    double median = -1.0;
  };
  std::map<std::string, Entry> m_runs;
  std::vector<std::string> m_order;
};
