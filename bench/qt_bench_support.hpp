#pragma once

// Timing helpers shared by the benchmarks that drive real widgets.

#include <time.h>

#include <QApplication>
#include <QByteArray>
#include <QEvent>
#include <QObject>
#include <algorithm>
#include <chrono>
#include <set>
#include <vector>

namespace orvane::bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of this thread: a step much longer in wall time than in CPU time waited for
// the processor (the machine is shared), not for our code.
inline double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

inline double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const auto at = static_cast<std::size_t>(p / 100.0 * static_cast<double>(v.size() - 1) + 0.5);
  return v[std::min(at, v.size() - 1)];
}

inline double maxOf(const std::vector<double>& v) {
  return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

// Times every event delivered from the event loop (nested sends count toward the outer
// one), so that the longest block on the GUI thread can be named: which receiver, which event.
class TimingApplication : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    if (depth_ > 0) {
      ++depth_;
      const bool handled = QApplication::notify(receiver, event);
      --depth_;
      return handled;
    }
    const QByteArray name = receiver ? QByteArray(receiver->metaObject()->className()) : QByteArray("?");
    const int type = event->type();
    const auto start = Clock::now();
    const double cpu = threadCpuMs();
    ++depth_;
    const bool handled = QApplication::notify(receiver, event);
    --depth_;
    const double took = msSince(start);
    const double tookCpu = threadCpuMs() - cpu;
    if (took > longestMs) {
      longestMs = took;
      longestCpuOfIt = tookCpu;
      longestWhat = name + " / event type " + QByteArray::number(type);
    }
    longestCpuMs = std::max(longestCpuMs, tookCpu);
    return handled;
  }

  void resetLongest() {
    longestMs = longestCpuOfIt = longestCpuMs = 0;
    longestWhat.clear();
  }

  // The longest by wall time (and its CPU time), and the longest by CPU time.
  double longestMs = 0;
  double longestCpuOfIt = 0;
  double longestCpuMs = 0;
  QByteArray longestWhat;

 private:
  int depth_ = 0;
};

// Notes every widget that received a paint event, and how many there were, since the last reset.
class PaintWatch : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      painted.insert(watched);
      ++paints;
    }
    return false;
  }
  void reset() {
    painted.clear();
    paints = 0;
  }
  std::set<const QObject*> painted;
  long long paints = 0;
};

}  // namespace orvane::bench
