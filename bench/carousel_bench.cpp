// The carousel dragged across all its cards against a bare QScrollArea of five coloured
// widgets dragged the same way, in one run, offscreen:
//   four swipes of one card forward and four back, each a press, 8 px moves (each
//   followed by a pass of the event loop, which paints) and a release; the carousel then
//   settles on its card with its animation, the bare area simply stops.
// Printed: the medians of a move step for both and their ratio, paints per step, and the
// longest single event on the GUI thread (the target: none over 16 ms).
// A plain main, as the wall's benchmark: each figure needs a live event loop.
#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <set>
#include <vector>

#include "bench/qt_bench_support.hpp"
#include "ui/screens/orvane_carousel_view.hpp"

namespace orvane {
namespace {

using bench::Clock;
using bench::maxOf;
using bench::median;
using bench::msSince;
using bench::percentile;
using bench::threadCpuMs;
using bench::TimingApplication;
constexpr int kRuns = 7;
constexpr int kSwipes = 4;
constexpr int kStepPx = 8;
constexpr int kCardStep = 324;
constexpr int kWidth = 390;
constexpr int kHeight = 560;
constexpr double kBudgetMs = 16;

TimingApplication* gApp = nullptr;

class PaintCount : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  long long paints = 0;
};

PaintCount* gPaints = nullptr;

// The bare baseline: a plain scroll area of five coloured widgets, dragged by setting its
// scroll bar from the pointer.
class BareRow : public QScrollArea {
 public:
  BareRow() {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget;
    auto* row = new QHBoxLayout(content);
    row->setContentsMargins((kWidth - 300) / 2, 0, (kWidth - 300) / 2, 0);
    row->setSpacing(24);
    const QColor colours[] = {QColor(200, 60, 40), QColor(40, 120, 200), QColor(60, 160, 80),
                              QColor(220, 180, 40), QColor(120, 60, 160)};
    for (const QColor& c : colours) {
      auto* card = new QWidget;
      card->setFixedSize(300, 400);
      QPalette p;
      p.setColor(QPalette::Window, c);
      card->setPalette(p);
      card->setAutoFillBackground(true);
      row->addWidget(card);
    }
    setWidget(content);
    viewport()->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != viewport()) return false;
    const auto x = [event] { return static_cast<QMouseEvent*>(event)->position().x(); };
    switch (event->type()) {
      case QEvent::MouseButtonPress:
        pressX_ = x();
        pressValue_ = horizontalScrollBar()->value();
        return true;
      case QEvent::MouseMove:
        horizontalScrollBar()->setValue(pressValue_ - static_cast<int>(x() - pressX_));
        return true;
      case QEvent::MouseButtonRelease:
        return true;
      default:
        return false;
    }
  }

 private:
  double pressX_ = 0;
  int pressValue_ = 0;
};

bool spinUntil(const std::function<bool()>& done) {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

struct Figures {
  std::vector<double> stepMs, stepCpuMs;
  long long paints = 0;
  bool ok = true;
};

void sendMouse(QWidget* target, QEvent::Type type, double x, Qt::MouseButtons buttons, quint64 timestamp) {
  const QPointF local(x, 200);
  QMouseEvent e(type, local, target->mapToGlobal(local),
                type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
  e.setTimestamp(timestamp);
  QApplication::sendEvent(target, &e);
}

// One swipe of a card's width, forward (right to left) or back; `atRest` tells when the
// target has come to rest after the release.
void swipe(QWidget* target, bool forward, const std::function<bool()>& atRest, Figures& out) {
  const auto now = [] {
    return static_cast<quint64>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
  };
  const int from = forward ? kWidth - 20 : 20;
  const int dir = forward ? -1 : 1;
  sendMouse(target, QEvent::MouseButtonPress, from, Qt::LeftButton, now());
  for (int moved = kStepPx; moved <= kCardStep; moved += kStepPx) {
    const long long paintsBefore = gPaints->paints;
    const auto t = Clock::now();
    const double cpu = threadCpuMs();
    sendMouse(target, QEvent::MouseMove, from + dir * moved, Qt::LeftButton, now());
    QCoreApplication::processEvents();
    out.stepMs.push_back(msSince(t));
    out.stepCpuMs.push_back(threadCpuMs() - cpu);
    out.paints += gPaints->paints - paintsBefore;
  }
  sendMouse(target, QEvent::MouseButtonRelease, from + dir * kCardStep, Qt::NoButton, now());
  if (!spinUntil(atRest)) out.ok = false;
}

Figures dragAcross(QWidget* target, const std::function<bool()>& atRest) {
  Figures f;
  for (int i = 0; i < kSwipes; ++i) swipe(target, true, atRest, f);
  for (int i = 0; i < kSwipes; ++i) swipe(target, false, atRest, f);
  return f;
}

void printSteps(const char* what, const std::vector<double>& v) {
  std::printf("  %-34s median %7.3f ms  p99 %7.3f ms  max %7.3f ms  (n=%zu)\n", what, median(v),
              percentile(v, 99), maxOf(v), v.size());
}

int run(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TimingApplication app(argc, argv);
  gApp = &app;
  PaintCount paints;
  gPaints = &paints;
  app.installEventFilter(&paints);

  ui::OrvaneCarouselView carousel(ui::OrvaneCarouselView::Options{true, 1});
  carousel.resize(kWidth, kHeight);
  carousel.show();
  ui::CarouselCollectionView* row = carousel.collectionView();
  BareRow bare;
  bare.resize(kWidth, 400);
  bare.show();
  QCoreApplication::processEvents();

  const auto carouselAtRest = [&] { return !row->isDragging() && !row->isDecelerating(); };
  const auto bareAtRest = [] { return true; };

  std::printf("carousel benchmark (QPA %s; wall-clock times on the GUI thread)\n",
              qPrintable(QGuiApplication::platformName()));
  std::printf("%d runs of %d swipes forward and %d back, %d px per move step\n\n", kRuns, kSwipes, kSwipes,
              kStepPx);
  // Warm-up: fonts, styles, caches.
  dragAcross(row, carouselAtRest);
  dragAcross(bare.viewport(), bareAtRest);

  std::vector<double> carouselSteps, carouselCpu, bareSteps, bareCpu, carouselMedians, bareMedians;
  double longestEvent = 0, longestEventCpu = 0, longestCpu = 0;
  QByteArray longestWhat;
  long long carouselPaints = 0, barePaints = 0;
  bool ok = true;
  int cardsReached = 0;
  for (int r = 0; r < kRuns; ++r) {
    app.resetLongest();
    int furthest = 0;
    Figures c;
    for (int i = 0; i < kSwipes; ++i) {
      swipe(row, true, carouselAtRest, c);
      furthest = std::max(furthest, carousel.pageControl()->currentPage());
    }
    for (int i = 0; i < kSwipes; ++i) swipe(row, false, carouselAtRest, c);
    cardsReached = std::max(cardsReached, furthest);
    if (app.longestMs > longestEvent) {
      longestEvent = app.longestMs;
      longestEventCpu = app.longestCpuOfIt;
      longestWhat = app.longestWhat;
    }
    longestCpu = std::max(longestCpu, app.longestCpuMs);
    const Figures b = dragAcross(bare.viewport(), bareAtRest);
    ok = ok && c.ok && b.ok && carousel.pageControl()->currentPage() == 0;
    carouselSteps.insert(carouselSteps.end(), c.stepMs.begin(), c.stepMs.end());
    carouselCpu.insert(carouselCpu.end(), c.stepCpuMs.begin(), c.stepCpuMs.end());
    bareSteps.insert(bareSteps.end(), b.stepMs.begin(), b.stepMs.end());
    bareCpu.insert(bareCpu.end(), b.stepCpuMs.begin(), b.stepCpuMs.end());
    carouselMedians.push_back(median(c.stepMs));
    bareMedians.push_back(median(b.stepMs));
    carouselPaints += c.paints;
    barePaints += b.paints;
  }

  std::printf("move step (pointer event + the event-loop pass that paints it):\n");
  printSteps("carousel, wall time", carouselSteps);
  printSteps("bare QScrollArea, wall time", bareSteps);
  printSteps("carousel, GUI-thread CPU", carouselCpu);
  printSteps("bare QScrollArea, GUI-thread CPU", bareCpu);
  const double ratio = median(carouselMedians) / std::max(1e-6, median(bareMedians));
  std::printf("  median of the per-run medians: carousel %.3f ms, bare %.3f ms, ratio %.2fx\n",
              median(carouselMedians), median(bareMedians), ratio);
  std::printf(
      "  paint events per step: carousel %.1f, bare %.1f\n",
      static_cast<double>(carouselPaints) /
          static_cast<double>(std::max<std::size_t>(1, carouselSteps.size())),
      static_cast<double>(barePaints) / static_cast<double>(std::max<std::size_t>(1, bareSteps.size())));
  std::printf("\nlongest GUI block while dragging the carousel (settling included):\n");
  std::printf("  single event: %.3f ms wall (%.3f ms CPU of it; %s)\n", longestEvent, longestEventCpu,
              longestWhat.constData());
  std::printf("  single event by GUI-thread CPU: %.3f ms; move step: %.3f ms wall, %.3f ms CPU\n", longestCpu,
              maxOf(carouselSteps), maxOf(carouselCpu));
  const double worstWall = std::max(longestEvent, maxOf(carouselSteps));
  const double worstCpu = std::max(longestCpu, maxOf(carouselCpu));
  std::printf("  target: no block over %.0f ms: %s\n", kBudgetMs,
              worstWall <= kBudgetMs  ? "met"
              : worstCpu <= kBudgetMs ? "met in CPU time; the wall-clock excess waited for the processor"
                                      : "MISSED");
  std::printf("  furthest card reached: %d of 5; back on card %d\n", cardsReached + 1,
              carousel.pageControl()->currentPage() + 1);
  app.removeEventFilter(&paints);
  return ok && cardsReached == 4 ? 0 : 1;
}

}  // namespace
}  // namespace orvane

int main(int argc, char** argv) { return orvane::run(argc, argv); }
