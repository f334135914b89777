// Repaints of a full-screen packet grid, for lists of thousands and millions of
// packets: what a user waits for while scrolling or jumping to the end.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <cstdio>
#include <map>
#include <memory>
#include <random>

#include "gui/packets/save_dialog.h"
#include "gui/view/draw_grid.h"
#include "gui/view/packet_window.h"
#include "packets/packet_data.h"

namespace pakscope {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

long ResidentKilobytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * 4;
}

// A packet window over `count` random packets of 1 to 256 bytes, its grid's
// viewport sized to a full HD screen.
struct Fixture {
  CSilentHost host;
  TFileDialogs dialogs;
  PacketArena arena;
  std::unique_ptr<TMDIChild> window;
  long windowKilobytes = 0;

  explicit Fixture(size_t count) {
    PacketList list;
    list.reserve(count);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> length(1, 256), byte(0, 255);
    for (size_t i = 0; i < count; ++i) {
      PACKET p = PACKET::uninitialized(static_cast<uint32_t>(length(random)), arena);
      for (uint8_t& b : p.bytes()) b = static_cast<uint8_t>(byte(random));
      p.color = static_cast<uint8_t>(i % 10);
      list.push_back(std::move(p));
    }
    const long before = ResidentKilobytes();
    window = std::make_unique<TMDIChild>(host, dialogs, QFont(QStringLiteral("DejaVu Sans"), 8),
                                         "/nonexistent");
    window->packets() = std::move(list);
    window->setLoaded(true);
    window->resize(kWidth + 200, kHeight + 200);
    window->show();
    QApplication::processEvents();
    const QSize viewport = window->grid()->viewport()->size();
    window->resize(window->width() + kWidth - viewport.width(),
                   window->height() + kHeight - viewport.height());
    QApplication::processEvents();
    window->RefreshGrid(MaxPacketLength(window->packets()));
    windowKilobytes = ResidentKilobytes() - before;
  }
};

Fixture& Shared(size_t count) {
  static std::map<size_t, std::unique_ptr<Fixture>> fixtures;
  auto& f = fixtures[count];
  if (!f) f = std::make_unique<Fixture>(count);
  return *f;
}

const char* const kModeNames[] = {"", "dec", "hex", "bin", "txt", "bit"};
const char* const kPlaces[] = {"top", "middle", "end"};

// Arguments: packet count, mode 1..5, place 0 top / 1 middle / 2 end.
void BM_Repaint(benchmark::State& state) {
  Fixture& f = Shared(static_cast<size_t>(state.range(0)));
  const auto mode = static_cast<ViewMode>(state.range(1));
  TDrawGrid* grid = f.window->grid();
  f.window->SetViewMode(mode);
  const int rows = grid->layout().rowCount();
  const int row = state.range(2) == 0 ? 1 : state.range(2) == 1 ? rows / 2 : rows - 1;
  grid->setFocusCell(1, row);
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&image);
    grid->paintCells(painter, image.rect());
  }
  state.SetLabel(std::string(kModeNames[state.range(1)]) + " " + kPlaces[state.range(2)] + " " +
                 std::to_string(grid->layout().visibleRange().lastRow -
                                grid->layout().visibleRange().firstRow + 1) +
                 " rows");
  state.counters["window_kB"] = static_cast<double>(f.windowKilobytes);
}

// Ctrl+End then Ctrl+Home, each followed by the repaint it causes.
void BM_CtrlEndResponse(benchmark::State& state) {
  Fixture& f = Shared(static_cast<size_t>(state.range(0)));
  f.window->SetViewMode(ViewMode::Hex);
  TDrawGrid* grid = f.window->grid();
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  bool toEnd = true;
  for (auto _ : state) {
    QKeyEvent press(QEvent::KeyPress, toEnd ? Qt::Key_End : Qt::Key_Home, Qt::ControlModifier);
    QCoreApplication::sendEvent(grid, &press);
    QPainter painter(&image);
    grid->paintCells(painter, image.rect());
    toEnd = !toEnd;
  }
  state.counters["window_kB"] = static_cast<double>(f.windowKilobytes);
}

void Counts(benchmark::internal::Benchmark* b) {
  for (int64_t count : {4'000, 4'000'000})
    for (int64_t mode = 1; mode <= 5; ++mode)
      for (int64_t place = 0; place < 3; ++place) b->Args({count, mode, place});
}

BENCHMARK(BM_Repaint)->Apply(Counts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CtrlEndResponse)->Arg(4'000)->Arg(4'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pakscope

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
