// The painting rules of the packet grid, checked on rendered pixels.
#include <QtTest>

#include "gui/view/draw_grid.h"
#include "gui/view/packet_window.h"
#include "gui_test_util.h"

namespace pakscope::test {

namespace {

const QColor kNavy(0, 0, 128);
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const QColor kGreen(0, 128, 0);
const QColor kBlack(0, 0, 0);
const QColor kBlue(0, 0, 255);

QRect Inner(const QRect& r) {
  return r.adjusted(2, 2, -2, -2);
}

}  // namespace

class GridPaintTest : public QObject {
  Q_OBJECT

 private:
  CSilentHost host_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<TMDIChild> window_;

  TMDIChild& open(PacketList list) {
    window_ = std::make_unique<TMDIChild>(host_, dialogs_, QFont(QStringLiteral("DejaVu Sans"), 9),
                                          "/nonexistent");
    window_->packets() = std::move(list);
    window_->setLoaded(true);
    window_->resize(900, 500);
    window_->show();
    window_->activateWindow();
    [&] { QVERIFY(QTest::qWaitForWindowActive(window_.get())); }();
    window_->RefreshGrid(MaxPacketLength(window_->packets()));
    return *window_;
  }
  QImage render() { return window_->grid()->renderImage(); }
  QRect cell(int column, int row) { return window_->grid()->cellRect(column, row); }

 private slots:
  void rowsTakeThePaletteColourOfTheirMark_data() {
    QTest::addColumn<int>("mark");
    QTest::addColumn<QColor>("colour");
    const QColor colours[] = {Qt::white,
                              kRed,
                              kYellow,
                              QColor(0, 255, 0),
                              kGreen,
                              kBlue,
                              QColor(0, 255, 255),
                              QColor(128, 0, 128),
                              QColor(192, 192, 192),
                              QColor(128, 128, 128)};
    for (int i = 0; i < 10; ++i) QTest::addRow("mark %d", i) << i << colours[i];
  }
  void rowsTakeThePaletteColourOfTheirMark() {
    QFETCH(int, mark);
    QFETCH(QColor, colour);
    PacketList list = Packets({{1, 2, 3}, {4, 5}});
    list[0].color = static_cast<uint8_t>(mark);
    list[1].color = 3;
    open(std::move(list));
    window_->grid()->setFocusCell(1, 2);  // away from the cells looked at
    const QImage image = render();
    const QRect byte = cell(2, 1);
    // Most of the cell is the mark's colour, the rest is the digit.
    QVERIFY(CountColour(image, byte, colour) > byte.width() * byte.height() / 2);
    // Beyond the packet's last byte the row stays white.
    const QRect beyond = cell(3, 2);
    QCOMPARE(CountColour(image, beyond, Qt::white), beyond.width() * beyond.height());
    QVERIFY(CountColour(image, cell(2, 2), QColor(0, 255, 0)) > 0);
  }

  void focusedCellHasANavyFrame() {
    open(Packets({{1, 2, 3}, {4, 5, 6}}));
    window_->grid()->setFocusCell(2, 2);
    const QImage image = render();
    const QRect focused = cell(2, 2);
    QVERIFY(CountColour(image, QRect(focused.left(), focused.top(), 1, focused.height()), kNavy) >=
            focused.height() - 1);
    QCOMPARE(CountColour(image, cell(1, 1), kNavy), 0);
  }

  void markedColumnHasRedHeaderBoldNumberAndColouredEdges() {
    open(Packets({{1, 2, 3}, {4, 5, 6}}));
    window_->grid()->setFocusCell(1, 2);
    const QRect header = cell(2, 0);
    const int plainInk = CountDark(render(), header);
    QVERIFY(plainInk > 0);
    QTest::mouseClick(window_->grid()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      header.center());
    QCOMPARE(window_->markedColumns().columns(), std::vector<int32_t>{2});
    const QImage image = render();
    QVERIFY(CountColour(image, header, kRed) > header.width() * header.height() / 2);
    QVERIFY2(CountDark(image, header) > plainInk, "the number turns bold");
    const QRect body = cell(2, 1);
    const int midY = body.center().y();
    QCOMPARE(image.pixelColor(body.left(), midY), kYellow);
    QCOMPARE(image.pixelColor(body.right(), midY), kYellow);
    QCOMPARE(image.pixelColor(body.right() + 1, midY), kRed);
    QCOMPARE(image.pixelColor(body.left() - 1, midY), kRed);
    // A second Ctrl+click unmarks it again.
    QTest::mouseClick(window_->grid()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      header.center());
    QVERIFY(window_->markedColumns().columns().empty());
    QCOMPARE(CountDark(render(), header), plainInk);
  }

  // Fixed cells take the cell font at 8 points, its style included.
  void fixedCellsKeepTheStyleOfTheCellFont() {
    open(Packets({{1, 2, 3}, {4, 5, 6}}));
    window_->grid()->setFocusCell(1, 2);
    const int plainInk = CountDark(render(), cell(2, 0));
    QFont bold(QStringLiteral("DejaVu Sans"), 9);
    bold.setBold(true);
    window_->ApplyFont(bold);
    QVERIFY(CountDark(render(), cell(2, 0)) > plainInk);
  }

  void bitModeDrawsStripesAndNoText() {
    open(Packets({{0x05, 0xFF}, {0x00}}));
    window_->action(QStringLiteral("ViewBit"))->trigger();
    window_->grid()->setFocusCell(1, 1);
    const QImage image = render();
    const QRect byte = cell(1, 1);
    QCOMPARE(byte.width(), 40);
    QCOMPARE(byte.height(), 10);
    const int s = byte.width() / 8;
    for (int i = 0; i < 8; ++i) {
      const QColor expected = (0x05 >> i) & 1 ? kGreen : kBlack;
      QCOMPARE(image.pixelColor(byte.left() + i * s + s / 2, byte.top() + byte.height() / 2),
               expected);
    }
    // The focus outline runs along the top edge in blue.
    QVERIFY(CountColour(image, QRect(byte.left() + 1, byte.top(), byte.width() - 3, 1), kBlue) >=
            byte.width() - 3);
    QCOMPARE(CountDark(image, cell(1, 0)), 0);
    QCOMPARE(CountDark(image, cell(2, 0)), 0);
    QCOMPARE(CountDark(image, cell(0, 1)), 0);
  }

  void textModeShowsPrintableCharactersOnly() {
    open(Packets({{'A', 30, 128, '~'}}));
    window_->action(QStringLiteral("ViewTxt"))->trigger();
    window_->grid()->setFocusCell(4, 1);
    const QImage image = render();
    QVERIFY(CountDark(image, Inner(cell(1, 1))) > 0);
    QCOMPARE(CountDark(image, cell(2, 1)), 0);
    QCOMPARE(CountDark(image, cell(3, 1)), 0);
    QCOMPARE(CountDark(image, cell(1, 0)), 0);  // no column numbers in txt mode
    QVERIFY(CountDark(image, cell(0, 1)) > 0);  // the row caption stays
  }

  void textThatDoesNotFitIsNotDrawn() {
    open(Packets({{1, 2, 3}}));
    QVERIFY(CountDark(render(), cell(0, 1)) > 0);
    window_->grid()->setColumnWidth(0, 12);
    QCOMPARE(CountDark(render(), cell(0, 1)), 0);
  }

  void textScalesOnlyWhenBothZoomFactorsAreEqual() {
    open(Packets({{200, 200}}));
    window_->grid()->setFocusCell(2, 1);
    const int baseCell = cell(1, 1).width();
    const int baseText = DarkWidth(render(), Inner(cell(1, 1)));
    QVERIFY(baseText > 0);
    QTest::keyClick(window_->grid(), Qt::Key_A, Qt::ShiftModifier);  // horizontal only
    QCOMPARE(cell(1, 1).width(), 2 * baseCell);
    QCOMPARE(DarkWidth(render(), Inner(cell(1, 1))), baseText);
    QTest::keyClick(window_->grid(), Qt::Key_Z, Qt::ShiftModifier);
    QTest::keyClick(window_->grid(), Qt::Key_A, Qt::ControlModifier);  // both
    QCOMPARE(cell(1, 1).width(), 2 * baseCell);
    QVERIFY(DarkWidth(render(), Inner(cell(1, 1))) > baseText * 3 / 2);
    for (int i = 0; i < 4; ++i) QTest::keyClick(window_->grid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(cell(1, 1).width(), baseCell);  // never below the first factor
  }

  void emptyPacketsKeepTheirCaptionsWithoutAFixedColumn() {
    open(Packets({{}, {}}));
    QCOMPARE(window_->grid()->layout().fixedColumns(), 0);
    QImage image = render();
    QVERIFY(CountDark(image, Inner(cell(0, 2))) > 0);
    // A white body cell, not a fixed one.
    QCOMPARE(CountColour(image, cell(0, 2), QApplication::palette().color(QPalette::Button)), 0);
    QVERIFY(CountColour(image, cell(0, 2), Qt::white) > cell(0, 2).width() * 10);
    window_->action(QStringLiteral("ViewBit"))->trigger();  // bit mode draws no text at all
    image = render();
    QCOMPARE(CountDark(image, cell(0, 2)), 0);
  }

  void nothingIsPaintedWhileBusyOrWithoutPackets() {
    open(Packets({{1, 2, 3}, {4, 5, 6}}));
    window_->packets()[0].color = 1;
    window_->view().busy = true;
    QImage image = render();
    QCOMPARE(CountColour(image, image.rect(), kRed), 0);
    QCOMPARE(CountDark(image, image.rect()), 0);
    window_->view().busy = false;
    open(PacketList{});
    image = render();
    QCOMPARE(CountDark(image, image.rect()), CountColour(image, image.rect(), kNavy));
  }
};

}  // namespace pakscope::test

QTEST_MAIN(pakscope::test::GridPaintTest)
#include "grid_paint_test.moc"
