// Seeded random input to the packet windows: every shortcut, clicks, drags and
// scrolls with opens, closes, appends and pastes mixed in. After every step
// each window must still show exactly what its list holds. Run under the
// sanitizers, it also finds reads outside the packets. PAKSCOPE_RANDOM_SEED
// and PAKSCOPE_RANDOM_STEPS replay or lengthen a run.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMdiArea>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStandardPaths>
#include <QToolBar>
#include <QWheelEvent>
#include <QtTest>
#include <random>

#include "gui/app/main_form.h"
#include "gui/protocols/protocol_panel.h"
#include "gui/view/draw_grid.h"
#include "gui/view/packet_window.h"
#include "gui_test_util.h"
#include "packets/packet_writer.h"
#include "support/capture_files.h"
#include "support/temp_dir.h"
#include "view/view_model.h"

namespace pakscope::test {

namespace {

int EnvironmentNumber(const char* name, int fallback) {
  const QByteArray text = qgetenv(name);
  bool ok = false;
  const int value = text.toInt(&ok);
  return ok ? value : fallback;
}

struct Key {
  int key;
  Qt::KeyboardModifiers mods;
};

// The packet window's shortcuts, the main window's, and the grid's own keys.
const Key kKeys[] = {
    {Qt::Key_F1, Qt::ShiftModifier},       {Qt::Key_F2, Qt::ShiftModifier},
    {Qt::Key_F3, Qt::ShiftModifier},       {Qt::Key_F4, Qt::ShiftModifier},
    {Qt::Key_F5, Qt::ShiftModifier},       {Qt::Key_F6, Qt::ShiftModifier},
    {Qt::Key_I, Qt::AltModifier},          {Qt::Key_R, Qt::AltModifier},
    {Qt::Key_A, Qt::ControlModifier},      {Qt::Key_Z, Qt::ControlModifier},
    {Qt::Key_A, Qt::ShiftModifier},        {Qt::Key_Z, Qt::ShiftModifier},
    {Qt::Key_F5, Qt::NoModifier},          {Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier},
    {Qt::Key_Asterisk, Qt::NoModifier},    {Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier},
    {Qt::Key_Insert, Qt::ControlModifier}, {Qt::Key_Delete, Qt::ControlModifier},
    {Qt::Key_B, Qt::ControlModifier},      {Qt::Key_M, Qt::NoModifier},
    {Qt::Key_M, Qt::ControlModifier},      {Qt::Key_C, Qt::ControlModifier},
    {Qt::Key_X, Qt::ControlModifier},      {Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier},
    {Qt::Key_W, Qt::ControlModifier},      {Qt::Key_T, Qt::ControlModifier},
    {Qt::Key_I, Qt::ControlModifier},      {Qt::Key_Up, Qt::NoModifier},
    {Qt::Key_Down, Qt::NoModifier},        {Qt::Key_Left, Qt::NoModifier},
    {Qt::Key_Right, Qt::NoModifier},       {Qt::Key_Down, Qt::ShiftModifier},
    {Qt::Key_Right, Qt::ShiftModifier},    {Qt::Key_PageDown, Qt::NoModifier},
    {Qt::Key_PageUp, Qt::NoModifier},      {Qt::Key_Home, Qt::NoModifier},
    {Qt::Key_End, Qt::ControlModifier},
};

const char* const kPopupCommands[] = {"SelectByByteEqual", "DeleteByByteEqual", "SelectByLength",
                                      "DeleteByLength",    "SelectByColor",     "DeleteByColor",
                                      "SaveByColor",       "SetColor",          "SetColorByByte",
                                      "ResetColor",        "ConcatNewQPK",      "Bits2BytesAction"};

const Qt::KeyboardModifiers kMouseMods[] = {Qt::NoModifier, Qt::NoModifier, Qt::ShiftModifier,
                                            Qt::ControlModifier,
                                            Qt::ShiftModifier | Qt::ControlModifier};

}  // namespace

class RandomInputTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainForm> form_;
  ScriptedDialogs* dialogs_ = nullptr;
  TempDir dir_;
  std::mt19937 random_;
  QStringList files_;
  int saves_ = 0;

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  bool chance(int percent) { return pick(100) < percent; }

  TMDIChild* active() { return form_->activeChild(); }

  // A point on the grid, sometimes on the header row or caption column,
  // sometimes past the last cell.
  QPoint somewhere(TDrawGrid* grid) {
    const int columns = grid->layout().columnCount(), rows = grid->layout().rowCount();
    const int column = pick(columns + 2), row = pick(std::min(rows, 30) + 2);
    const QRect cell = grid->cellRect(std::min(column, columns - 1), std::min(row, rows - 1));
    if (cell.isValid() && column < columns && row < rows) return cell.center();
    return {pick(grid->viewport()->width() + 40), pick(grid->viewport()->height() + 40)};
  }

  void mouse(TDrawGrid* grid, QEvent::Type type, QPoint pos, Qt::KeyboardModifiers mods) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, pos, grid->viewport()->mapToGlobal(pos), button, held, mods);
    QCoreApplication::sendEvent(grid->viewport(), &event);
  }

  QString randomPaste() {
    static const char digits[] = "0123456789abcdefABCDEF";
    QString text;
    const int packets = 1 + pick(4);
    for (int p = 0; p < packets; ++p) {
      const int bytes = pick(12);
      for (int b = 0; b < bytes; ++b) {
        text += QChar(digits[pick(22)]);
        if (!chance(10)) text += QChar(digits[pick(22)]);  // sometimes a lone digit
        if (chance(70)) text += u' ';
      }
      text += chance(50) ? QStringLiteral("\r\n") : QStringLiteral("\n");
    }
    if (chance(10)) text += QStringLiteral("zz");  // not hexadecimal: refused
    return text;
  }

  void step() {
    TMDIChild* window = active();
    if (window == nullptr || form_->packetWindows().size() > 4) {
      if (window != nullptr && chance(50)) {
        form_->action(QStringLiteral("FileClose1"))->trigger();
      } else if (chance(50)) {
        form_->OpenFile(files_[pick(static_cast<int>(files_.size()))]);
      } else {
        form_->PasteText(randomPaste());
      }
      return;
    }
    TDrawGrid* grid = window->grid();
    const int what = pick(100);
    if (what < 40) {
      const Key& k = kKeys[pick(std::size(kKeys))];
      grid->setFocus();
      QTest::keyClick(grid, static_cast<Qt::Key>(k.key), k.mods);
    } else if (what < 55) {
      const QPoint pos = somewhere(grid);
      const auto mods = kMouseMods[pick(std::size(kMouseMods))];
      mouse(grid, QEvent::MouseButtonPress, pos, mods);
      mouse(grid, QEvent::MouseButtonRelease, pos, mods);
    } else if (what < 65) {
      // A drag: over the header it marks columns, from the caption column it moves a row.
      const auto mods = kMouseMods[pick(std::size(kMouseMods))];
      mouse(grid, QEvent::MouseButtonPress, somewhere(grid), mods);
      for (int i = pick(4); i >= 0; --i) mouse(grid, QEvent::MouseMove, somewhere(grid), mods);
      mouse(grid, QEvent::MouseButtonRelease, somewhere(grid), mods);
    } else if (what < 71) {
      const QPoint pos = somewhere(grid);
      QWheelEvent wheel(pos, grid->viewport()->mapToGlobal(pos), {},
                        QPoint(chance(30) ? 120 : 0, chance(50) ? -120 : 120), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QCoreApplication::sendEvent(grid->viewport(), &wheel);
    } else if (what < 74) {
      QScrollBar* bar = chance(50) ? grid->verticalScrollBar() : grid->horizontalScrollBar();
      bar->setValue(pick(bar->maximum() + 1));
    } else if (what < 84) {
      dialogs_->opens.push_back(files_[pick(static_cast<int>(files_.size()))]);
      dialogs_->saves.push_back(
          {Q(dir_.file("saved" + std::to_string(saves_++ % 3))), 1 + pick(5)});
      dialogs_->linkTypes.push_back(1);
      window->action(QString::fromLatin1(kPopupCommands[pick(std::size(kPopupCommands))]))
          ->trigger();
      dialogs_->opens.clear();
      dialogs_->saves.clear();
      dialogs_->linkTypes.clear();
    } else if (what < 88) {
      QList<QAction*> colours;
      for (QAction* a : window->toolBar()->actions())
        if (a->objectName().startsWith(QStringLiteral("Color"))) colours << a;
      colours[pick(static_cast<int>(colours.size()))]->trigger();
    } else if (what < 91) {
      form_->PasteText(randomPaste());
    } else if (what < 93) {
      form_->OpenFile(files_[pick(static_cast<int>(files_.size()))]);
    } else if (what < 95) {
      form_->action(QStringLiteral("FileClose1"))->trigger();
    } else if (what < 97) {
      form_->mdiArea()->activateNextSubWindow();
    } else if (what < 98) {
      window->protocolPanel()->AnalizeProtocols();
    } else {
      dialogs_->saves.push_back({Q(dir_.file("all.qpk")), 1});
      form_->action(QStringLiteral("FileSaveAs1"))->trigger();
      dialogs_->saves.clear();
    }
  }

  // Each window shows exactly what its list holds.
  void checkWindows(int stepNumber) {
    for (TMDIChild* window : form_->packetWindows()) {
      const PacketList& list = window->packets();
      const QByteArray where = "step " + QByteArray::number(stepNumber);
      QVERIFY2(window->loaded() && !window->view().busy, where);
      for (const PACKET& p : list) {
        QVERIFY2(p.length == 0 || p.data, where);
        QVERIFY2(p.color <= 9, where);
      }
      const GridGeometry& layout = window->grid()->layout();
      QVERIFY2(layout.rowCount() == static_cast<int>(list.size()) + 1, where);
      QVERIFY2(layout.columnCount() >= static_cast<int>(MaxPacketLength(list)) + 1, where);
      QCOMPARE(window->statusText(0), Q(CountStatus(list)));
      QCOMPARE(window->statusText(1), Q(LengthStatus(list)));
      const int row = window->currentRow(), column = window->currentColumn();
      const bool onByte = row >= 1 && static_cast<size_t>(row) <= list.size() && column >= 1 &&
                          static_cast<uint32_t>(column) <= list[row - 1].length;
      QCOMPARE(window->statusText(2), Q(CellStatus(row, column)));
      QCOMPARE(window->statusText(3),
               onByte ? Q(ByteStatus(list[row - 1].data[column - 1])) : QString());
    }
    for (const auto& message : form_->host().messages)
      QVERIFY2(!Q(message.text).contains(QStringLiteral("Увеличьте")), message.text.c_str());
  }

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    std::mt19937 lengths(7);
    for (int f = 0; f < 2; ++f) {
      std::vector<Bytes> packets;
      for (int i = 0; i < 12; ++i) {
        Bytes b(lengths() % 24);
        for (uint8_t& x : b) x = static_cast<uint8_t>(lengths());
        packets.push_back(b);
      }
      const std::string name = dir_.file(f == 0 ? "small.qpk" : "small.lqpk");
      writeFile(name, f == 0 ? qpkImage(packets) : lqpkImage(packets));
      files_ << Q(name);
    }
    files_ << QStringLiteral(PAKSCOPE_SOURCE_DIR "/samples/sample.pcap");
  }

  void randomInputKeepsEveryListConsistent() {
    const int seed = EnvironmentNumber("PAKSCOPE_RANDOM_SEED", 20240611);
    const int steps = EnvironmentNumber("PAKSCOPE_RANDOM_STEPS", 3000);
    random_.seed(static_cast<uint32_t>(seed));
    qInfo("seed %d, %d steps", seed, steps);
    form_ = MakeScriptedForm(dialogs_, PAKSCOPE_BINARY_DIR "/Data/Protocols");
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    QVERIFY(form_->OpenFile(files_[0]));
    for (int i = 0; i < steps; ++i) {
      step();
      // Deferred deletes and paints run between the steps, as in the event loop.
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      if (i % 4 == 0) QCoreApplication::processEvents();
      checkWindows(i);
      if (QTest::currentTestFailed()) {
        qWarning("failed at step %d of seed %d", i, seed);
        return;
      }
    }
    for (TMDIChild* child : form_->packetWindows()) child->setLoaded(true);
    form_.reset();
  }
};

}  // namespace pakscope::test

QTEST_MAIN(pakscope::test::RandomInputTest)
#include "random_input_test.moc"
