// The four analysis-tool windows driven from packet windows the way a user
// drives them: keys, clicks in the packet grid, buttons, fields.
#include "gui/tools/analysis_tools.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <fstream>

#include "gui/app/main_form.h"
#include "gui/tools/auto_select_form.h"
#include "gui/tools/search_form.h"
#include "gui/tools/stat_form.h"
#include "gui/tools/utilz_form.h"
#include "gui/view/draw_grid.h"
#include "gui/view/packet_window.h"
#include "gui_test_util.h"
#include "support/capture_files.h"
#include "support/temp_dir.h"

namespace pakscope::test {

namespace {

template <typename T = QAbstractButton>
T* Child(QObject* parent, const char* name) {
  return parent->findChild<T*>(QString::fromLatin1(name));
}

// The radio button with this caption inside `parent`.
QRadioButton* Radio(QWidget* parent, const char* caption) {
  for (QRadioButton* r : parent->findChildren<QRadioButton*>())
    if (r->text() == QString::fromUtf8(caption)) return r;
  return nullptr;
}

}  // namespace

class AnalysisToolsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainForm> form_;
  ScriptedDialogs* dialogs_ = nullptr;

  // A main window with one packet window holding `lines` (hex text, one packet a line).
  TMDIChild& open(const QString& lines) {
    form_.reset();
    form_ = MakeScriptedForm(dialogs_);
    form_->show();
    form_->activateWindow();
    [&] { QVERIFY(QTest::qWaitForWindowActive(form_.get())); }();
    form_->PasteText(lines);
    return *form_->activeChild();
  }
  TAnalysisTools& tools() { return form_->tools(); }
  TMDIChild& window() { return *form_->activeChild(); }
  void click(int column, int row) {
    TDrawGrid* grid = window().grid();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->cellRect(column, row).center());
  }
  // Shortcuts go to the active window: the target's is activated first.
  static void key(QWidget* target, int k, Qt::KeyboardModifiers mods = {}) {
    if (QApplication::activeWindow() != target->window()) {
      target->window()->activateWindow();
      QTRY_VERIFY(QApplication::activeWindow() == target->window());
    }
    if (!target->hasFocus()) target->setFocus();
    QTest::keyClick(target, static_cast<Qt::Key>(k), mods);
  }
  std::vector<int> colours() {
    std::vector<int> out;
    for (const PACKET& p : window().packets()) out.push_back(p.color);
    return out;
  }

 private slots:
  void windowsAreCreatedOnceInStartOrderWithTheirCommands() {
    TMDIChild& w = open(QStringLiteral("01"));
    QStringList order;
    for (QDialog* d : form_->findChildren<QDialog*>(Qt::FindDirectChildrenOnly))
      order << d->objectName() + u' ' + d->windowTitle() + u' ' +
                   d->property("helpChapter").toString();
    QCOMPARE(order,
             (QStringList{"StatForm Статистика 06-analysis-tools.md#Статистика",
                          "AutoSelectForm Автоподкраска пакетов "
                          "06-analysis-tools.md#Автоподкраска пакетов",
                          "UtilzForm Обработка пакетов 06-analysis-tools.md#Обработка пакетов",
                          "SearchForm Поиск 06-analysis-tools.md#Поиск"}));
    const std::tuple<const char*, QList<QKeySequence>, const char*> commands[] = {
        {"Stat", {QKeySequence(Qt::Key_F2)}, "Статистика"},
        {"SelectByMask", {QKeySequence(Qt::Key_F3)}, "Автоподкраска пакетов"},
        {"Utilz", {QKeySequence(Qt::Key_F4)}, "Обработка пакетов"},
        {"Find", {QKeySequence(Qt::Key_F7), QKeySequence(Qt::CTRL | Qt::Key_F)}, "Поиск"},
        {"FindNext", {QKeySequence(Qt::Key_F6)}, ""},
        {"FindPrev", {}, ""},
        {"Action2", {QKeySequence(Qt::CTRL | Qt::Key_M)}, ""}};
    for (const auto& [name, keys, hint] : commands) {
      QAction* a = w.action(QString::fromLatin1(name));
      QVERIFY2(a, name);
      QCOMPARE(a->shortcuts(), keys);
      if (*hint) QCOMPARE(a->toolTip(), QString::fromUtf8(hint));
    }
    QStringList tail;
    for (QAction* a : w.toolBar()->actions().mid(w.toolBar()->actions().size() - 4))
      tail << a->objectName();
    QCOMPARE(tail, (QStringList{"Stat", "SelectByMask", "Utilz", "Find"}));
  }

  void statisticsCountLengthsAndByteValues_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<int>>("fields");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QStringList>("rows");  // cells of each row joined by '|'
    // Lengths 4, 2, 4, 3, 2, 4 (as Part of the manual's example, scaled).
    QTest::addRow("lengths") << 0 << QList<int>{} << "Всего 3 вариантов"
                             << QStringList{"4||||||||3|50.000", "2||||||||2|33.333",
                                            "3||||||||1|16.667"};
    QTest::addRow("byte 3, the 0 ends the list")
        << 1 << QList<int>{3, 0, 5} << "Всего 2 вариантов"
        << QStringList{"9||||||||2|33.333", "7||||||||2|33.333"};
    QTest::addRow("bytes 2 then 1") << 1 << QList<int>{2, 1} << "Всего 2 вариантов"
                                    << QStringList{"2|1|||||||4|66.667", "5|1|||||||2|33.333"};
  }
  void statisticsCountLengthsAndByteValues() {
    QFETCH(int, kind);
    QFETCH(QList<int>, fields);
    QFETCH(QString, summary);
    QFETCH(QStringList, rows);
    TMDIChild& w =
        open(QStringLiteral("01 02 09 00\n01 05\n01 02 07 00\n01 02 07\n01 05\n"
                            "01 02 09 00"));
    QLocale::setDefault(QLocale::c());
    click(2, 1);
    int firstField = -1;
    QString shownSummary;
    QStringList shown;
    int enabled = 0;  // byte fields and their two buttons
    WhenOpen<TStatForm>([&](TStatForm* f) {
      firstField = Child<QSpinBox>(f, "CSpinEdit1")->value();
      // A byte run first leaves cells a length run must empty.
      Radio(f, "Статистика значений байтов")->click();
      Child<QPushButton>(f, "AutoFillBtn")->click();  // field 2 := 3
      key(f, Qt::Key_F9);
      Radio(f, kind ? "Статистика значений байтов" : "Статистика длин пакетов")->click();
      for (int i = 1; i <= 8; ++i)
        enabled += Child<QSpinBox>(f, QStringLiteral("CSpinEdit%1").arg(i).toLatin1())->isEnabled();
      for (const char* button : {"AutoFillBtn", "ClearBtn"})
        enabled += Child<QPushButton>(f, button)->isEnabled();
      Child<QPushButton>(f, "ClearBtn")->click();
      for (qsizetype i = 0; i < fields.size(); ++i)
        Child<QSpinBox>(f, QStringLiteral("CSpinEdit%1").arg(i + 1).toLatin1())
            ->setValue(fields[i]);
      key(f, Qt::Key_F2);
      shownSummary = f->summary();
      const QAbstractItemModel* model = f->grid()->model();
      for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 10; ++c) cells << model->index(r, c).data().toString();
        shown << cells.join(u'|');
      }
      key(f, Qt::Key_Escape);
    });
    key(w.grid(), Qt::Key_F2);
    QCOMPARE(firstField, 2);
    QCOMPARE(enabled, kind ? 10 : 0);
    QCOMPARE(shownSummary, summary);
    QCOMPARE(shown, rows);
    QLocale::setDefault(QLocale::system());
  }

  void searchRegionsTypesAndSteps_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("region");      // item of "Область поиска"
    QTest::addColumn<QString>("button");  // StartAction, SearchPrev, F6 in the grid, or a
                                          // button then F6 in the search window
    QTest::addColumn<QPoint>("start");    // current cell before (column, row)
    QTest::addColumn<QPoint>("found");
    QTest::addColumn<int>("reopen");  // after the region click: 1 Ctrl+F, 2 close and Ctrl+F
    // Packets: "ab", "xab", "ba".
    QTest::addRow("from the start includes byte 1")
        << "a" << 0 << 1 << "StartAction" << QPoint(2, 3) << QPoint(1, 1) << 0;
    QTest::addRow("Ctrl+F on the open window keeps the region")
        << "a" << 0 << 1 << "StartAction" << QPoint(2, 3) << QPoint(1, 1) << 1;
    QTest::addRow("from the end includes the last byte")
        << "a" << 0 << 2 << "SearchPrev" << QPoint(1, 1) << QPoint(2, 3) << 0;
    QTest::addRow("from current: after the cell")
        << "a" << 0 << 0 << "StartAction" << QPoint(1, 1) << QPoint(2, 2) << 0;
    QTest::addRow("F6 continues on the next packet")
        << "b" << 0 << 0 << "F6" << QPoint(2, 1) << QPoint(3, 2) << 0;
    QTest::addRow("F6 in the search window after a step")
        << "b" << 0 << 0 << "StartAction F6" << QPoint(2, 1) << QPoint(1, 3) << 0;
    QTest::addRow("backward: before the cell")
        << "a" << 0 << 0 << "SearchPrev" << QPoint(2, 2) << QPoint(1, 1) << 0;
    QTest::addRow("dec") << "120 97" << 1 << 1 << "StartAction" << QPoint(3, 3) << QPoint(1, 2)
                         << 0;
    QTest::addRow("hex, bad token ends it")
        << "62 zz 99" << 2 << 1 << "StartAction" << QPoint(3, 3) << QPoint(2, 1) << 0;
    QTest::addRow("closing forgets a one-shot region")
        << "a" << 0 << 1 << "StartAction" << QPoint(1, 2) << QPoint(2, 2) << 2;
    QTest::addRow("no match leaves the cell")
        << "q" << 0 << 0 << "StartAction" << QPoint(1, 2) << QPoint(1, 2) << 0;
  }
  void searchRegionsTypesAndSteps() {
    QFETCH(QString, pattern);
    QFETCH(int, type);
    QFETCH(int, region);
    QFETCH(QString, button);
    QFETCH(QPoint, start);
    QFETCH(QPoint, found);
    QFETCH(int, reopen);
    TMDIChild& w = open(QStringLiteral("61 62\n78 61 62\n62 61"));
    key(w.grid(), Qt::Key_F7);
    TSearchForm* s = tools().searchForm();
    QVERIFY(s->isVisible());
    QVERIFY(s->windowFlags() & Qt::WindowStaysOnTopHint);
    Child<QLineEdit>(s, "SearchStringEdit")->setText(pattern);
    Child<QGroupBox>(s, "RadioGroup1")->findChildren<QRadioButton*>()[type]->click();
    click(start.x(), start.y());
    Child<QGroupBox>(s, "RegionRadio")->findChildren<QRadioButton*>()[region]->click();
    if (reopen == 2) s->close();
    if (reopen != 0) key(w.grid(), Qt::Key_F, Qt::ControlModifier);
    if (button == QStringLiteral("F6")) {
      key(w.grid(), Qt::Key_F6);
    } else {
      Child<QPushButton>(s, button.section(u' ', 0, 0).toLatin1())->click();
      if (button.endsWith(QStringLiteral(" F6")))
        key(Child<QLineEdit>(s, "SearchStringEdit"), Qt::Key_F6);
    }
    QCOMPARE(QPoint(w.currentColumn(), w.currentRow()), found);
  }

  void searchAllCountsOverlapsAndTheFieldKeepsToThePatternBuffer() {
    TMDIChild& w = open(QStringLiteral("61 61 61 61\n62\n41 61"));
    key(w.grid(), Qt::Key_F7);
    TSearchForm* s = tools().searchForm();
    auto* field = Child<QLineEdit>(s, "SearchStringEdit");
    QTest::keyClicks(field, QStringLiteral("aa"));
    Child<QPushButton>(s, "SearchAll")->click();
    QCOMPARE(s->statusText(), QStringLiteral("Обнаружено 1 пакетов"));
    QCOMPARE(form_->statusText(0), QStringLiteral("Обнаружено 3 вхождения (1 пакетов)"));
    QCOMPARE(colours(), (std::vector<int>{1, 0, 0}));
    Child<QCheckBox>(s, "NotUseRegisterCheck")->setChecked(true);
    field->setText(QStringLiteral("A"));
    Child<QPushButton>(s, "SearchAll")->click();
    QCOMPARE(form_->statusText(0), QStringLiteral("Обнаружено 6 вхождений (2 пакетов)"));
    // A letter with no Windows-1251 byte would have been searched as "?".
    field->setText(QStringLiteral("é"));
    Child<QPushButton>(s, "SearchAll")->click();
    QCOMPARE(s->statusText(),
             QStringLiteral("Символ «é» (U+00E9) не записывается в кодировке Windows-1251"));
    // 1023 characters of text, 1024 values; one more is refused.
    field->clear();
    QTest::keyClicks(field, QString(1024, u'x'));
    QCOMPARE(field->text().size(), 1023);
    Child<QGroupBox>(s, "RadioGroup1")->findChildren<QRadioButton*>()[1]->click();
    QVERIFY(!Child<QCheckBox>(s, "NotUseRegisterCheck")->isEnabled());
    QStringList values(1024, QStringLiteral("1"));
    field->setText(values.join(u' '));
    QTest::keyClicks(field, QStringLiteral(" 2"));
    QCOMPARE(field->text(), values.join(u' ') + u' ');
    QCOMPARE(s->pattern().size(), size_t{1024});
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(s, &deactivate);
    QCOMPARE(qRound(s->windowOpacity() * 255), 150);
  }

  void autoColouringTakesTheCellsClickedInThePacketGrid() {
    TMDIChild& w = open(QStringLiteral("01 02 45\n09 09 45 07\n01 02\n05 02 46"));
    click(3, 1);  // not visible yet: no entry
    key(w.grid(), Qt::Key_F3);
    TAutoSelectForm* a = tools().autoSelectForm();
    QVERIFY(a->isVisible());
    QVERIFY(a->condition().entries().empty());
    click(3, 1);
    click(3, 1);  // the same cell twice: two equal entries
    click(3, 3);  // past the packet's end: none
    QCOMPARE(a->condition().entries().size(), size_t{2});
    key(w.grid(), Qt::Key_F3);  // already open: the condition stays
    QCOMPARE(a->condition().entries().size(), size_t{2});
    QCOMPARE(a->grid()->item(1, 2)->text(), QStringLiteral("3"));
    QCOMPARE(a->grid()->item(2, 2)->text(), QStringLiteral("69"));
    w.action(QStringLiteral("ColorBlue"))->trigger();
    key(a, Qt::Key_F3);
    QCOMPARE(a->result(), QStringLiteral("Отобрано 2 пакетов"));
    QCOMPARE(colours(), (std::vector<int>{5, 5, 0, 0}));
    for (int i = 0; i < 9; ++i) click(1, 2);
    QCOMPARE(a->grid()->columnCount(), 21);
    key(a, Qt::Key_F3);  // byte 1 is 9 and byte 3 is 69: packet 2 alone
    QCOMPARE(a->result(), QStringLiteral("Отобрано 1 пакетов"));
    Child<QPushButton>(a, "ResetBtn")->click();
    QCOMPARE(a->grid()->columnCount(), 11);
    QVERIFY(a->grid()->item(1, 1) == nullptr);
  }

  // Texts are not cut, and the search and auto-colouring windows lie where
  // both can be read.
  void toolWindowsShowTheirWholeTextAndDoNotCoverEachOther() {
    TMDIChild& w = open(QStringLiteral("01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10"));
    auto* frame = qobject_cast<QMdiSubWindow*>(w.parentWidget());
    frame->showNormal();
    frame->setGeometry(20, 90, 600, 330);
    key(w.grid(), Qt::Key_F7);
    TSearchForm* s = tools().searchForm();
    // From the main window's client area, not from the packet window's top.
    const int clientTop = form_->mapToGlobal(QPoint(0, form_->menuBar()->height())).y();
    QCOMPARE(s->frameGeometry().top(), clientTop + 330 - s->frameGeometry().height());
    key(w.grid(), Qt::Key_F3);
    TAutoSelectForm* a = tools().autoSelectForm();
    QVERIFY(a->isVisible());
    QVERIFY(!a->frameGeometry().intersects(s->frameGeometry()));

    const QString found = QStringLiteral("Обнаружено 10000000 вхождений (1000000 пакетов)");
    form_->host().setStatus(0, found.toStdString());
    QLabel* panel = nullptr;
    for (QLabel* label : form_->statusBar()->findChildren<QLabel*>())
      if (label->text() == found) panel = label;
    QVERIFY(panel);
    QTRY_VERIFY(panel->width() >= panel->fontMetrics().horizontalAdvance(found));
    auto* status = Child<QLabel>(s, "StatusBar1");
    status->setText(found);
    QTRY_VERIFY(status->width() >= status->fontMetrics().horizontalAdvance(found));

    QTableWidget* grid = a->grid();
    QVERIFY(grid->columnWidth(0) >=
            grid->fontMetrics().horizontalAdvance(QStringLiteral("Байт маски")));
    for (int column = 1; column <= 16; ++column) click(column, 1);
    QCOMPARE(grid->item(0, 16)->text(), QStringLiteral("16"));
    QVERIFY(grid->viewport()->rect().contains(grid->visualItemRect(grid->item(0, 16))));
  }

  void processingRunsThePageOnShowAndKeepsItsSettings() {
    TMDIChild& w = open(QStringLiteral("01 02 03 04 05\n0A 0B 0C\nAB CD"));
    TUtilzForm* u = tools().utilzForm();
    // Cut by bytes, 2 from the start and 1 from the end, short packets deleted.
    WhenOpen<TUtilzForm>([&](TUtilzForm* f) {
      QVERIFY(Child<QSpinBox>(f, "CutStart")->minimum() == 0);
      Child<QSpinBox>(f, "CutStart")->setValue(2);
      Child<QSpinBox>(f, "CutEnd")->setValue(1);
      Radio(f, "Удалять")->click();
      key(f, Qt::Key_F4);
    });
    key(w.grid(), Qt::Key_F4);
    QCOMPARE(contents(w.packets()), (std::vector<Bytes>{{3, 4}}));
    // Esc changes nothing; the fields keep their values.
    WhenOpen<TUtilzForm>([&](TUtilzForm* f) {
      QCOMPARE(Child<QSpinBox>(f, "CutStart")->value(), 2);
      key(f, Qt::Key_Escape);
    });
    key(w.grid(), Qt::Key_F4);
    QCOMPARE(contents(w.packets()), (std::vector<Bytes>{{3, 4}}));
    // Pad to 4 with 255.
    WhenOpen<TUtilzForm>([&](TUtilzForm* f) {
      f->pages()->setCurrentIndex(TUtilzForm::PadPage);
      Radio(f, "дополнение до ")->click();
      QCOMPARE(Child<QSpinBox>(f, "PadCount")->maximum(), 65535);
      Child<QSpinBox>(f, "PadCount")->setValue(4);
      Child<QSpinBox>(f, "PadFiller")->setValue(-1);
      Child(f, "StartBtn")->click();
    });
    key(w.grid(), Qt::Key_F4);
    QCOMPARE(contents(w.packets()), (std::vector<Bytes>{{3, 4, 255, 255}}));
    // Hexadecimal format: "1G" reads as 1; records by value and by length.
    Radio(u, "Шестнадцатиричный")->click();
    QCOMPARE(u->findChild<TByteField*>(QStringLiteral("MaskField"))->text(), QStringLiteral("FF"));
    auto* value = u->findChild<TByteField*>(QStringLiteral("ValueField"));
    value->editor()->setText(QStringLiteral("3G"));
    QVERIFY(value->commit());
    QCOMPARE(value->value(), 3);
    Child(u, "AddRecord")->click();
    Radio(u, "Отбор по длинам")->click();
    Child<QSpinBox>(u, "LengthField")->setValue(4);
    Child(u, "AddRecord")->click();
    QCOMPARE(u->recordGrid()->item(0, 2)->text(), QStringLiteral("Маска: FF"));
    QCOMPARE(u->recordGrid()->item(1, 1)->text(), QStringLiteral("Длинна пакета: 4"));
    u->SelectRecord(2);
    Child(u, "DeleteRecord")->click();
    QCOMPARE(u->records().size(), size_t{1});
    QCOMPARE(u->selectedRecord(), 0);
    WhenOpen<TUtilzForm>([&](TUtilzForm* f) {
      f->pages()->setCurrentIndex(TUtilzForm::SelectPage);
      Child(Child<QWidget>(f, "SelectColours"), "ColorGreen")->click();
      key(f, Qt::Key_F4);
    });
    key(w.grid(), Qt::Key_F4);
    QCOMPARE(colours(), (std::vector<int>{4}));
  }

  void keywordListsLoadSaveAndCtrlM() {
    TempDir dir;
    const std::string listFile = dir.file("words.txt");
    std::ofstream(listFile, std::ios::binary) << "\xEF\xE0\xEA\r\nxyz\r\n";  // "пак" in 1251
    TMDIChild& w = open(QStringLiteral("EF E0 EA 01\n58 59 5A\n01 02"));
    TUtilzForm* u = tools().utilzForm();
    dialogs_->textFiles = {QString::fromStdString(listFile),
                           QString::fromStdString(dir.file("out.txt"))};
    // The dialogs start in the home folder, then where a list was last taken.
    QSettings(QStringLiteral("Vorlund"), QStringLiteral("Pakscope")).remove("Keyword Folder");
    Child(u, "LoadKeywords")->click();
    QCOMPARE(dialogs_->textFileFolder, QDir::homePath());
    QCOMPARE(u->findChild<QPlainTextEdit*>()->toPlainText(), QStringLiteral("пак\nxyz"));
    Child(u, "SaveKeywords")->click();
    QCOMPARE(dialogs_->textFileFolder, QString::fromStdString(dir.path().string()));
    std::ifstream saved(dir.file("out.txt"), std::ios::binary);
    QCOMPARE(std::string(std::istreambuf_iterator<char>(saved), {}),
             std::string("\xEF\xE0\xEA\r\nxyz\r\n"));
    // Ctrl+M clears the current packet's mark, then colours the keyword packets.
    click(1, 3);
    w.action(QStringLiteral("SetColor"))->trigger();
    key(w.grid(), Qt::Key_M, Qt::ControlModifier);
    QCOMPARE(colours(), (std::vector<int>{1, 1, 0}));
    // A line too long for the pattern buffer refuses the run with a message.
    u->findChild<QPlainTextEdit*>()->setPlainText(QString(1024, u'a'));
    w.action(QStringLiteral("DeSelectAll"))->trigger();
    key(w.grid(), Qt::Key_M, Qt::ControlModifier);
    QCOMPARE(form_->host().messages.size(), size_t{1});
    QCOMPARE(colours(), (std::vector<int>{0, 0, 0}));
  }

  void toolsOfAClosedWindowActOnNothing() {
    open(QStringLiteral("01 02\n03"));
    key(window().grid(), Qt::Key_F7);
    key(window().grid(), Qt::Key_F3);
    tools().statForm()->Bind(window());
    tools().utilzForm()->Bind(window());
    QPointer<TMDIChild> closed = &window();
    form_->mdiArea()->activeSubWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!closed);
    const std::pair<QWidget*, QStringList> buttons[] = {
        {tools().searchForm(), {"StartAction", "SearchPrev", "SearchAll"}},
        {tools().autoSelectForm(), {"StartBtn"}},
        {tools().statForm(), {"StartBtn"}},
        {tools().utilzForm(), {"StartBtn"}}};
    for (const auto& [tool, names] : buttons)
      for (const QString& name : names) {
        auto* b = tool->findChild<QPushButton*>(name);
        QVERIFY2(b && !b->isEnabled(), qPrintable(name));
        b->click();
      }
    for (QWidget* tool : {static_cast<QWidget*>(tools().searchForm()),
                          static_cast<QWidget*>(tools().autoSelectForm())})
      for (int k : {Qt::Key_F3, Qt::Key_F7, Qt::Key_F9, Qt::Key_F4}) key(tool, k);
    tools().statForm()->Run();
    tools().utilzForm()->RunPage();
    tools().searchForm()->FindAll();
    tools().autoSelectForm()->Run();
    // A new packet window binds them again.
    form_->PasteText(QStringLiteral("05"));
    key(window().grid(), Qt::Key_F7);
    QVERIFY(Child(tools().searchForm(), "SearchAll")->isEnabled());
  }

  void longRunsKeepTheListAndLetEventsRun() {
    QString lines;
    for (int i = 0; i < 20000; ++i) lines += QStringLiteral("01 02 03 04 05 06 07 08 09 0A\n");
    TMDIChild& w = open(lines);
    key(w.grid(), Qt::Key_F7);
    TSearchForm* s = tools().searchForm();
    Child<QLineEdit>(s, "SearchStringEdit")->setText(QStringLiteral("zz"));
    bool ran = false, closed = true;
    size_t count = 0;
    QTimer::singleShot(0, [&] {
      ran = true;
      w.action(QStringLiteral("Inverse"))->trigger();  // changes every byte: refused
      w.action(QStringLiteral("DeleteByLength"))->trigger();
      closed = form_->mdiArea()->activeSubWindow()->close();
      count = w.packets().size();
    });
    Child(s, "SearchAll")->click();
    QVERIFY(ran);
    QVERIFY(!closed);
    QCOMPARE(count, size_t{20000});
    QVERIFY(!w.inverted());
    QCOMPARE(s->statusText(), QStringLiteral("Последовательность не обнаружена"));
    QVERIFY(form_->mdiArea()->activeSubWindow()->close());  // free again afterwards
  }
};

}  // namespace pakscope::test

QTEST_MAIN(pakscope::test::AnalysisToolsTest)
#include "analysis_tools_test.moc"
