// The packet window driven with keys, mouse and its commands.
#include "gui/view/packet_window.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <fstream>

#include "gui/protocols/protocol_panel.h"
#include "gui/view/draw_grid.h"
#include "gui_test_util.h"
#include "packets/packet_writer.h"
#include "protocols/cp1251.h"
#include "support/capture_files.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace pakscope::test {

class PacketWindowTest : public QObject {
  Q_OBJECT

 private:
  RecordingHost host_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<TMDIChild> window_;

  TMDIChild& open(PacketList list, const std::filesystem::path& protocols = "/nonexistent") {
    dialogs_ = ScriptedDialogs{};
    window_.reset();
    window_ = std::make_unique<TMDIChild>(host_, dialogs_, QFont(QStringLiteral("DejaVu Sans"), 9),
                                          protocols);
    window_->packets() = std::move(list);
    window_->setLoaded(true);
    window_->resize(900, 500);
    window_->show();
    window_->activateWindow();
    [&] { QVERIFY(QTest::qWaitForWindowActive(window_.get())); }();
    window_->RefreshGrid(MaxPacketLength(window_->packets()));
    return *window_;
  }
  TDrawGrid* grid() { return window_->grid(); }
  QPoint at(int column, int row) { return grid()->cellRect(column, row).center(); }
  void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(grid(), static_cast<Qt::Key>(k), mods);
  }
  void mouse(QEvent::Type type, QPoint pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, grid()->viewport()->mapToGlobal(pos), button, buttons, mods);
    QCoreApplication::sendEvent(grid()->viewport(), &event);
  }
  void trigger(const char* name) {
    QAction* a = window_->action(QString::fromLatin1(name));
    QVERIFY2(a != nullptr, name);
    a->trigger();
  }
  std::vector<Bytes> bytes() const { return contents(window_->packets()); }
  std::vector<int> colours() const {
    std::vector<int> out;
    for (const PACKET& p : window_->packets()) out.push_back(p.color);
    return out;
  }
  static PacketList Numbered(int count) {
    PacketList list;
    for (int i = 0; i < count; ++i) {
      const std::vector<uint8_t> b{static_cast<uint8_t>(i), 1, 2};
      list.emplace_back(std::span<const uint8_t>(b));
    }
    return list;
  }

 private slots:
  void popupMenuAndShortcutsAreThoseOfTheCommandTable() {
    open(Packets({{1}}));
    QStringList items;
    for (QAction* a : window_->popupMenu()->actions())
      items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(items, (QStringList{"Отобрать пакеты с этим байтом", "Выкинуть пакеты с этим байтом",
                                 "-", "Отобрать пакеты этой длины", "Выкинуть пакеты этой длины",
                                 "-", "Отобрать пакеты этого цвета", "Выкинуть пакеты этого цвета",
                                 "Сохранить пакеты этого цвета", "-", "Выделить пакет",
                                 "Выделить пакеты с этим байтом", "Сбросить выделение пакета", "-",
                                 "Дополнительно"}));
    QStringList more;
    for (QAction* a : window_->popupMenu()->actions().last()->menu()->actions()) more << a->text();
    QCOMPARE(more, (QStringList{"Биты->Байты/Байты->Биты", "Подгрузить файл"}));
    const std::tuple<const char*, QKeySequence, const char*> commands[] = {
        {"ViewDec", QKeySequence(Qt::SHIFT | Qt::Key_F1), "Десятичное представление"},
        {"ViewBit", QKeySequence(Qt::SHIFT | Qt::Key_F5), "Битовое представление"},
        {"ViewProtocols", QKeySequence(Qt::SHIFT | Qt::Key_F6), "Отобразить дерево протоколов"},
        {"Inverse", QKeySequence(Qt::ALT | Qt::Key_I), "Инверсия сигнала"},
        {"Reverse", QKeySequence(Qt::ALT | Qt::Key_R), "Реверс байт"},
        {"ZoomXY", QKeySequence(Qt::CTRL | Qt::Key_A), "Увеличить"},
        {"UnZoomXY", QKeySequence(Qt::CTRL | Qt::Key_Z), "Уменьшить"},
        {"SelectAll", QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_A), "Отметить все пакеты"},
        {"DeSelectAll", QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Z),
         "Сбросить выделение всех пакетов"},
        {"Bits2BytesAction", QKeySequence(Qt::CTRL | Qt::Key_B),
         "Преобразование бит в отдельные байты и наоборот"},
        {"ConcatNewQPK", QKeySequence(), "Подгрузить файл в конец текущего"},
        {"MaxMin", QKeySequence(Qt::Key_F5), ""},
        {"BreakButton", QKeySequence(Qt::CTRL | Qt::Key_Insert), ""},
        {"ConcatButton", QKeySequence(Qt::CTRL | Qt::Key_Delete), ""},
        {"ResetColor", QKeySequence(Qt::CTRL | Qt::Key_M), ""}};
    for (const auto& [name, key, hint] : commands) {
      QAction* a = window_->action(QString::fromUtf8(name));
      QVERIFY2(a, name);
      QCOMPARE(a->shortcut(), key);
      if (*hint) QCOMPARE(a->toolTip(), QString::fromUtf8(hint));
    }
    QStringList colours;
    for (QAction* a : window_->toolBar()->actions())
      if (a->objectName().startsWith(QStringLiteral("Color"))) colours << a->objectName();
    QCOMPARE(colours, (QStringList{"ColorWhite", "ColorRed", "ColorYellow", "ColorLime",
                                   "ColorGreen", "ColorBlue", "ColorLightBlue", "ColorViolet",
                                   "ColorLightGray", "ColorGray"}));
  }

  void statusBarFollowsTheListAndTheCursor() {
    setenv("TZ", "UTC", 1);
    tzset();
    PacketList list = Packets({{1, 2, 3}, {5}, {}});
    list[0].time = 1'700'000'000'000'000'000;
    list[1].time = 1'700'000'000'000'125'000;
    open(std::move(list));
    QCOMPARE(window_->statusText(7), QStringLiteral("14.11.2023 22:13:20.000000"));
    QCOMPARE(window_->statusText(0), QStringLiteral("Всего пакетов: 3"));
    QCOMPARE(window_->statusText(1), QStringLiteral("Длина мин: 0 макс: 3"));
    QCOMPARE(window_->statusText(2), QStringLiteral("Текущая ячейка: пакет 1 байт 1 биты 1-8"));
    QCOMPARE(window_->statusText(3), QStringLiteral("dec: 1 | hex: 01 | bin: 10000000"));
    key(Qt::Key_Down);
    QCOMPARE(window_->statusText(3), QStringLiteral("dec: 5 | hex: 05 | bin: 10100000"));
    QCOMPARE(window_->statusText(7), QStringLiteral("14.11.2023 22:13:20.000125  +0,000125 с"));
    key(Qt::Key_Right);
    QCOMPARE(window_->statusText(2), QStringLiteral("Текущая ячейка: пакет 2 байт 2 биты 9-16"));
    QCOMPARE(window_->statusText(3), QString());  // past the packet's last byte
    QCOMPARE(window_->statusText(4), QStringLiteral("INV"));
    QCOMPARE(window_->statusText(5), QStringLiteral("REV"));
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at(3, 1));
    QCOMPARE(window_->currentColumn(), 3);
    QCOMPARE(window_->currentRow(), 1);
    QCOMPARE(window_->statusText(3), QStringLiteral("dec: 3 | hex: 03 | bin: 11000000"));
  }

  void narrowWindowCutsTheStatusPanelsOffInsteadOfOverlapping() {
    // Inside the main window's area a narrow packet window gets less room than
    // its panels need; they must be cut off, not pushed over each other.
    QMdiArea area;
    auto* child =
        new TMDIChild(host_, dialogs_, QFont(QStringLiteral("DejaVu Sans"), 9), "/nonexistent");
    child->packets() = Packets({{1, 2, 3}});
    child->setLoaded(true);
    QMdiSubWindow* sub = area.addSubWindow(child);
    area.resize(900, 600);
    area.show();
    sub->resize(400, 300);
    child->RefreshGrid(3);
    QCoreApplication::processEvents();
    QVERIFY(child->width() < 400);
    QLabel* count = nullptr;
    QLabel* lengths = nullptr;
    for (QLabel* label : child->statusBar()->findChildren<QLabel*>()) {
      if (label->text().startsWith(QStringLiteral("Всего"))) count = label;
      if (label->text().startsWith(QStringLiteral("Длина"))) lengths = label;
    }
    QVERIFY(count != nullptr && lengths != nullptr);
    QCOMPARE(count->width(), 150);
    QCOMPARE(lengths->width(), 150);
    const int countX = count->mapTo(child, QPoint()).x();
    QVERIFY(lengths->mapTo(child, QPoint()).x() >= countX + 150);
  }

  void navigationKeysMoveThroughTheWholeList() {
    open(Numbered(5000));
    key(Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(window_->currentRow(), 5000);
    QCOMPARE(window_->currentColumn(), 3);
    QVERIFY(!grid()->cellRect(3, 5000).isEmpty());  // scrolled into view
    key(Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(window_->currentRow(), 1);
    QCOMPARE(window_->currentColumn(), 1);
    key(Qt::Key_PageDown);
    const int page = window_->currentRow() - 1;
    QVERIFY(page > 5);
    QCOMPARE(page, grid()->layout().wholeRowsFrom(1));
    key(Qt::Key_End);
    QCOMPARE(window_->currentColumn(), 3);
  }

  void displayModesFollowTheirShortcuts() {
    open(Packets({{0xAB}}));
    const std::pair<int, ViewMode> cases[] = {{Qt::Key_F2, ViewMode::Hex},
                                              {Qt::Key_F3, ViewMode::Bin},
                                              {Qt::Key_F4, ViewMode::Txt},
                                              {Qt::Key_F5, ViewMode::Bit},
                                              {Qt::Key_F1, ViewMode::Dec}};
    for (const auto& [k, mode] : cases) {
      key(k, Qt::ShiftModifier);
      QCOMPARE(window_->mode(), mode);
    }
    QVERIFY(window_->action(QStringLiteral("ViewDec"))->isChecked());
    key(Qt::Key_F5, Qt::ShiftModifier);
    QCOMPARE(grid()->cellRect(1, 1).width(), 40);  // five pixels per bit
    QCOMPARE(grid()->cellRect(1, 1).height(), 10);
  }

  void colourButtonsAndMarkingCommands() {
    open(Numbered(4));
    QCOMPARE(window_->currentColour(), 1);
    QVERIFY(window_->action(QStringLiteral("ColorRed"))->isChecked());
    trigger("ColorBlue");
    trigger("ColorBlue");  // pressing it again keeps it down
    QCOMPARE(window_->currentColour(), 5);
    QVERIFY(window_->action(QStringLiteral("ColorBlue"))->isChecked());
    QVERIFY(!window_->action(QStringLiteral("ColorRed"))->isChecked());
    key(Qt::Key_Down);
    key(Qt::Key_M);
    QCOMPARE(colours(), (std::vector<int>{0, 5, 0, 0}));
    key(Qt::Key_M, Qt::ControlModifier);
    QCOMPARE(colours(), (std::vector<int>{0, 0, 0, 0}));
    key(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(colours(), (std::vector<int>{5, 5, 5, 5}));
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(colours(), (std::vector<int>{0, 0, 0, 0}));
    trigger("ColorGray");
    key(Qt::Key_Asterisk);
    QCOMPARE(colours(), (std::vector<int>{9, 9, 9, 9}));
    trigger("ColorLime");
    key(Qt::Key_Asterisk, Qt::KeypadModifier);  // the keypad's star too
    QCOMPARE(colours(), (std::vector<int>{3, 3, 3, 3}));
  }

  void shiftClickColoursFromTheRowOfTheShiftPress() {
    open(Numbered(12));
    grid()->setFocusCell(1, 3);
    QTest::keyPress(grid(), Qt::Key_Shift, Qt::ShiftModifier);
    QTest::keyRelease(grid(), Qt::Key_Shift);
    trigger("ColorYellow");
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, Qt::ShiftModifier, at(2, 10));
    QCOMPARE(colours(), (std::vector<int>{0, 0, 2, 2, 2, 2, 2, 2, 2, 2, 0, 0}));
  }

  void shiftDragAlongTheHeaderMarksARange() {
    open(Packets({{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}}));
    grid()->setColumnWidth(0, 20);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, Qt::ControlModifier, at(6, 0));
    const auto shift = Qt::ShiftModifier;
    mouse(QEvent::MouseButtonPress, at(9, 0), Qt::LeftButton, shift);
    mouse(QEvent::MouseMove, at(5, 0), Qt::LeftButton, shift);
    QCOMPARE(window_->markedColumns().columns(), (std::vector<int32_t>{5, 6, 7, 8, 9}));
    mouse(QEvent::MouseMove, at(7, 0), Qt::LeftButton, shift);
    mouse(QEvent::MouseButtonRelease, at(7, 0), Qt::NoButton, shift);
    QCOMPARE(window_->markedColumns().columns(), (std::vector<int32_t>{7, 8, 9}));
    // Marks survive a replacement of the list.
    grid()->setFocusCell(1, 1);
    trigger("SelectByLength");
    QCOMPARE(window_->markedColumns().columns(), (std::vector<int32_t>{7, 8, 9}));
  }

  void draggingARowCaptionMovesThePacket() {
    open(Numbered(5));
    auto firstBytes = [this] {
      std::vector<int> out;
      for (const PACKET& p : window_->packets()) out.push_back(p.bytes()[0]);
      return out;
    };
    QTest::mousePress(grid()->viewport(), Qt::LeftButton, {}, at(0, 2));
    QTest::mouseRelease(grid()->viewport(), Qt::LeftButton, {}, at(0, 2));
    QCOMPARE(firstBytes(), (std::vector<int>{0, 1, 2, 3, 4}));
    QTest::mousePress(grid()->viewport(), Qt::LeftButton, {}, at(0, 1));
    QTest::mouseRelease(grid()->viewport(), Qt::LeftButton, {}, at(2, 5));
    QCOMPARE(firstBytes(), (std::vector<int>{1, 2, 3, 4, 0}));
    QTest::mousePress(grid()->viewport(), Qt::LeftButton, {}, at(0, 4));
    QTest::mouseRelease(grid()->viewport(), Qt::LeftButton, {}, at(0, 2));
    QCOMPARE(firstBytes(), (std::vector<int>{1, 4, 2, 3, 0}));
  }

  void popupFiltersReplaceTheList_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("left");
    QTest::addRow("keep byte") << "SelectByByteEqual" << 2 << 1 << 2;
    QTest::addRow("throw out byte") << "DeleteByByteEqual" << 2 << 1 << 2;
    QTest::addRow("keep length") << "SelectByLength" << 1 << 2 << 1;
    QTest::addRow("throw out length") << "DeleteByLength" << 1 << 2 << 3;
    QTest::addRow("keep colour") << "SelectByColor" << 1 << 3 << 2;
    QTest::addRow("throw out colour") << "DeleteByColor" << 1 << 3 << 2;
    QTest::addRow("keep byte past the end does nothing") << "SelectByByteEqual" << 3 << 2 << 4;
    QTest::addRow("keep length past the end does nothing") << "SelectByLength" << 3 << 2 << 4;
  }
  void popupFiltersReplaceTheList() {
    QFETCH(QString, command);
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(int, left);
    PacketList list = Packets({{1, 7, 3}, {2, 7}, {1, 8, 3}, {4, 9, 9}});
    list[2].color = 4;
    list[3].color = 4;
    open(std::move(list));
    grid()->setFocusCell(column, row);
    window_->action(command)->trigger();
    QCOMPARE(static_cast<int>(window_->packets().size()), left);
    QCOMPARE(window_->statusText(0), QStringLiteral("Всего пакетов: %1").arg(left));
    QCOMPARE(grid()->layout().rowCount(), left + 1);
  }

  void aSelectionOfNothingEmptiesTheGrid() {
    open(Packets({{1, 2}, {3}}));
    trigger("DeleteByColor");  // every packet is unmarked
    QVERIFY(window_->packets().empty());
    QCOMPARE(window_->statusText(0), QStringLiteral("Всего пакетов: 0"));
    QCOMPARE(window_->statusText(1), QStringLiteral("Длина мин: 0 макс: 0"));
    QCOMPARE(grid()->layout().rowCount(), 1);
    QCOMPARE(grid()->layout().columnCount(), 1);
    // Nothing applies any more, and nothing breaks.
    for (const char* name : {"SetColor", "ResetColor", "SelectByByteEqual", "BreakButton",
                             "ConcatButton", "SaveByColor", "SetColorByByte"})
      trigger(name);
    QCOMPARE(dialogs_.saveAsked, 0);
  }

  void markingByByteUsesTheCurrentColour() {
    open(Packets({{1, 7}, {2, 7}, {3}, {4, 8}}));
    trigger("ColorLime");
    grid()->setFocusCell(2, 2);
    trigger("SetColorByByte");
    QCOMPARE(colours(), (std::vector<int>{3, 3, 0, 0}));
    trigger("ColorWhite");
    grid()->setFocusCell(2, 1);
    trigger("SetColorByByte");
    QCOMPARE(colours(), (std::vector<int>{0, 0, 0, 0}));
  }

  void bitTransformsAndTheirIndicators() {
    open(Packets({{0x01, 0x3C}, {0x05, 0, 0, 0, 0}}));
    key(Qt::Key_I, Qt::AltModifier);
    QVERIFY(window_->inverted());
    QVERIFY(window_->indicator(4)->isOn());
    QCOMPARE(bytes()[0], (Bytes{0xFE, 0xC3}));
    key(Qt::Key_I, Qt::AltModifier);
    QVERIFY(!window_->indicator(4)->isOn());
    key(Qt::Key_R, Qt::AltModifier);
    QVERIFY(window_->reversed());
    QCOMPARE(bytes()[0], (Bytes{0x80, 0x3C}));
    key(Qt::Key_R, Qt::AltModifier);
    key(Qt::Key_B, Qt::ControlModifier);
    QVERIFY(window_->expanded());
    QVERIFY(window_->action(QStringLiteral("Bits2BytesAction"))->isChecked());
    QCOMPARE(bytes()[0].size(), size_t{16});
    QCOMPARE(window_->statusText(1), QStringLiteral("Длина мин: 16 макс: 40"));
    key(Qt::Key_B, Qt::ControlModifier);
    QVERIFY(!window_->action(QStringLiteral("Bits2BytesAction"))->isChecked());
    QCOMPARE(bytes(), (std::vector<Bytes>{{0x01, 0x3C}, {0x05, 0, 0, 0, 0}}));
    // Break before byte 3 of the five-byte packet, then join it back.
    grid()->setFocusCell(3, 2);
    key(Qt::Key_Insert, Qt::ControlModifier);
    QCOMPARE(bytes(), (std::vector<Bytes>{{0x01, 0x3C}, {0x05, 0}, {0, 0, 0}}));
    grid()->setFocusCell(1, 3);
    key(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(bytes(), (std::vector<Bytes>{{0x01, 0x3C}, {0x05, 0, 0, 0, 0}}));
    grid()->setFocusCell(1, 1);
    key(Qt::Key_Delete, Qt::ControlModifier);  // nothing before the first packet
    QCOMPARE(bytes().size(), size_t{2});
  }

  void windowStillLoadingCannotBeClosed() {
    open(Packets({{1}}));
    window_->setLoaded(false);
    QVERIFY(!window_->close());
    QVERIFY(window_->isVisible());
    key(Qt::Key_I, Qt::AltModifier);  // nor can its list be rewritten
    QVERIFY(!window_->inverted());
    window_->setLoaded(true);
    QVERIFY(window_->close());
  }

  void savingByColourWritesTheChosenFormat() {
    TempDir dir;
    PacketList list = Packets({{1, 2}, {3}, {4, 5, 6}});
    list[0].color = 2;
    list[2].color = 2;
    open(std::move(list));
    grid()->setFocusCell(1, 3);
    dialogs_.saves.push_back({QString::fromStdString(dir.file("a.bit")), 3});
    trigger("SaveByColor");
    QCOMPARE(readFile(dir.file("a.bit")), (Bytes{1, 2, 4, 5, 6}));
    // PCAP asks for the link type; cancelling it writes nothing.
    dialogs_.saves.push_back({QString::fromStdString(dir.file("b.pcap")), 4});
    trigger("SaveByColor");
    QCOMPARE(dialogs_.linkTypeAsked, 1);
    QVERIFY(!std::filesystem::exists(dir.file("b.pcap")));
    dialogs_.saves.push_back({QString::fromStdString(dir.file("b.pcap")), 4});
    dialogs_.linkTypes.push_back(75);  // DOCSIS
    trigger("SaveByColor");
    const Bytes pcap = readFile(dir.file("b.pcap"));
    QCOMPARE(pcap.size(), size_t{24 + 16 + 2 + 16 + 3});
    QCOMPARE(int(pcap[20]), 143);
    QCOMPARE(window_->packets().size(), size_t{3});  // the window's list is untouched
    trigger("SaveByColor");                          // cancelled dialog
    QCOMPARE(dialogs_.saveAsked, 4);
  }

  void loadingAFurtherFileAppendsIt() {
    TempDir dir;
    writeFile(dir.file("more.lqpk"), lqpkImage({{9, 9, 9, 9}, {8}}));
    open(Packets({{1}, {2, 2}}));
    dialogs_.opens.push_back(QString::fromStdString(dir.file("more.lqpk")));
    trigger("ConcatNewQPK");
    QCOMPARE(bytes(), (std::vector<Bytes>{{1}, {2, 2}, {9, 9, 9, 9}, {8}}));
    QCOMPARE(grid()->layout().columnCount(), 5);
    QCOMPARE(window_->statusText(0), QStringLiteral("Всего пакетов: 4"));
    trigger("ConcatNewQPK");  // cancelled
    dialogs_.opens.push_back(QString::fromStdString(dir.file("missing.qpk")));
    trigger("ConcatNewQPK");
    QCOMPARE(window_->packets().size(), size_t{4});
    QVERIFY(!host_.messages.empty());  // the loader said why
    // A long file lets events run while it loads; the window must not go meanwhile.
    writeFile(dir.file("long.qpk"), qpkImage(std::vector<Bytes>(45'000, Bytes{7})));
    dialogs_.opens.push_back(QString::fromStdString(dir.file("long.qpk")));
    int closesAccepted = 0;
    host_.eventsProcessed = 0;
    host_.onEvents = [&](RecordingHost&) { closesAccepted += window_->close() ? 1 : 0; };
    trigger("ConcatNewQPK");
    host_.onEvents = nullptr;
    QVERIFY(host_.eventsProcessed > 0);
    QCOMPARE(closesAccepted, 0);
    QCOMPARE(window_->packets().size(), size_t{45'004});
    QVERIFY(window_->loaded());
  }

  void zoomCommandsChangeTheCells() {
    open(Packets({{1, 2}}));
    const int w = grid()->cellRect(1, 1).width(), h = grid()->cellRect(1, 1).height();
    key(Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(grid()->cellRect(1, 1).width(), 2 * w);
    QCOMPARE(grid()->cellRect(1, 1).height(), 2 * h);
    key(Qt::Key_A, Qt::ShiftModifier);
    QCOMPARE(grid()->cellRect(1, 1).width(), 3 * w);
    QCOMPARE(grid()->cellRect(1, 1).height(), 2 * h);
    key(Qt::Key_Z, Qt::ShiftModifier);
    key(Qt::Key_Z, Qt::ShiftModifier);
    key(Qt::Key_Z, Qt::ShiftModifier);
    QCOMPARE(grid()->cellRect(1, 1).width(), w);
    key(Qt::Key_F2, Qt::ShiftModifier);  // each mode has its own factors
    QCOMPARE(grid()->cellRect(1, 1).height(), h);
  }

  void protocolPanelTogglesAndMarksByProtocol() {
    TempDir dir;
    const char* const descriptions[] = {
        "ИМЯ \"A\"\nБАЙТЫ 1 1 xFF x0A 100\nРАЗМЕР 1\nУРОВЕНЬ 0\n",
        "ИМЯ \"B\"\nБАЙТЫ 1 1 xFF x0B 100\nРАЗМЕР 1\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n",
        "ИМЯ \"C\"\nБАЙТЫ 1 1 xFF x0C 100\nРАЗМЕР 1\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n"};
    int n = 0;
    for (const char* d : descriptions) {
      std::string text;
      for (char c : Cp1251FromUtf8(d)) {
        if (c == '\n') text += '\r';
        text += c;
      }
      writeFile(dir.file("P" + std::to_string(n++) + ".CFG"), text);
    }
    PacketList list;
    for (uint8_t second : {0x0B, 0x0C, 0x0B}) {
      std::vector<uint8_t> b{0x0A, second};
      b.resize(16, 0xEE);
      list.emplace_back(std::span<const uint8_t>(b));
    }
    open(std::move(list), dir.path());
    TProtocolPanel* panel = window_->protocolPanel();
    QCOMPARE(panel->width(), 0);
    key(Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(panel->width(), 300);
    QVERIFY(window_->action(QStringLiteral("ViewProtocols"))->isChecked());
    QTest::mouseClick(panel->analyseButton(), Qt::LeftButton);
    QCOMPARE(panel->gauge()->value(), 100);
    QVERIFY(panel->analyseButton()->isVisible());
    QVERIFY(!panel->stopButton()->isVisible());
    QTreeWidget* tree = panel->tree();
    QCOMPARE(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* file = tree->topLevelItem(0);
    QCOMPARE(file->text(0), QStringLiteral("Файл"));
    QTreeWidgetItem* analysis = file->child(0);
    QCOMPARE(analysis->text(0), QStringLiteral("Анализ "));
    QTreeWidgetItem* a = analysis->child(0);
    QCOMPARE(a->text(0), QStringLiteral("(3) A"));
    QCOMPARE(a->childCount(), 2);
    QCOMPARE(a->child(0)->text(0), QStringLiteral("(2) B"));
    QCOMPARE(a->child(1)->text(0), QStringLiteral("(1) C"));
    QVERIFY(a->isExpanded());

    trigger("ColorViolet");
    tree->setCurrentItem(a->child(0));
    panel->markAction()->trigger();
    QCOMPARE(colours(), (std::vector<int>{7, 0, 7}));
    tree->setCurrentItem(analysis);  // the top two levels mark nothing
    panel->markAction()->trigger();
    QCOMPARE(colours(), (std::vector<int>{7, 0, 7}));
    tree->setCurrentItem(a);
    panel->markAction()->trigger();
    QCOMPARE(colours(), (std::vector<int>{7, 7, 7}));
    // A right click selects the item under the mouse before its menu opens.
    QTimer::singleShot(0, [] {
      if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
    });
    const QPoint onC = tree->visualItemRect(a->child(1)).center();
    emit tree->customContextMenuRequested(onC);
    QCOMPARE(tree->currentItem(), a->child(1));
    panel->clearAction()->trigger();
    QCOMPARE(colours(), (std::vector<int>{7, 0, 7}));
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    key(Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(panel->width(), 0);
    QVERIFY(!window_->action(QStringLiteral("ViewProtocols"))->isChecked());
  }

  void stoppingTheAnalysisKeepsWhatWasDone() {
    TempDir dir;
    std::string text;
    for (char c :
         Cp1251FromUtf8("ИМЯ \"A\"\nБАЙТЫ 1 1 xFF x0A 100\nРАЗМЕР 1\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n")) {
      if (c == '\n') text += '\r';
      text += c;
    }
    writeFile(dir.file("A.CFG"), text);
    PacketList list;
    for (int i = 0; i < 50; ++i) {
      std::vector<uint8_t> b(16, 0x0A);
      list.emplace_back(std::span<const uint8_t>(b));
    }
    open(std::move(list), dir.path());
    TProtocolPanel* panel = window_->protocolPanel();
    // Press the stop button once the gauge shows the run has begun.
    connect(panel->gauge(), &QProgressBar::valueChanged, panel, [panel](int value) {
      if (value >= 20 && panel->stopButton()->isVisible()) panel->stopButton()->click();
    });
    panel->AnalizeProtocols();
    QVERIFY(panel->gauge()->value() < 100);
    QVERIFY(!panel->analysing());
    const QString label = panel->tree()->topLevelItem(0)->child(0)->child(0)->text(0);
    QVERIFY2(label != QStringLiteral("(50) A") && label.endsWith(QStringLiteral(") A")),
             qPrintable(label));
    size_t withLayers = 0;
    for (const PACKET& p : window_->packets()) withLayers += p.layers().empty() ? 0 : 1;
    QVERIFY(withLayers > 0 && withLayers < 50);
  }

  // Between the stop click and the run's return the analyser still walks the
  // list: the window must keep refusing to change or close it, and a second
  // analyse click must not start a run inside the stopped one.
  void aStoppedRunGuardsTheListUntilItReturns() {
    TempDir dir;
    std::string text;
    for (char c :
         Cp1251FromUtf8("ИМЯ \"A\"\nБАЙТЫ 1 1 xFF x0A 100\nРАЗМЕР 1\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n")) {
      if (c == '\n') text += '\r';
      text += c;
    }
    writeFile(dir.file("A.CFG"), text);
    PacketList list;
    for (int i = 0; i < 50; ++i) {
      std::vector<uint8_t> b(16, 0x0A);
      list.emplace_back(std::span<const uint8_t>(b));
    }
    open(std::move(list), dir.path());
    grid()->setFocusCell(1, 1);
    TProtocolPanel* panel = window_->protocolPanel();
    int finished = 0;
    connect(panel, &TProtocolPanel::analysisFinished, panel, [&finished] { ++finished; });
    bool stopped = false, busyAfterStop = false, closedAfterStop = true;
    int finishedInside = -1;
    size_t sizeAfterDelete = 0;
    connect(panel->gauge(), &QProgressBar::valueChanged, panel, [&](int value) {
      if (stopped || value < 20) return;
      stopped = true;
      panel->stopButton()->click();
      busyAfterStop = window_->busyWithList();
      trigger("DeleteByLength");  // every packet has the same length
      sizeAfterDelete = window_->packets().size();
      closedAfterStop = window_->close();
      panel->analyseButton()->click();
      finishedInside = finished;
    });
    panel->AnalizeProtocols();
    QVERIFY(stopped);
    QVERIFY(busyAfterStop);
    QCOMPARE(sizeAfterDelete, size_t{50});
    QVERIFY(!closedAfterStop);
    QCOMPARE(finishedInside, 0);
    QCOMPARE(finished, 1);
    QVERIFY(!window_->busyWithList());
    trigger("DeleteByLength");
    QCOMPARE(window_->packets().size(), size_t{0});
  }
};

}  // namespace pakscope::test

QTEST_MAIN(pakscope::test::PacketWindowTest)
#include "packet_window_test.moc"
