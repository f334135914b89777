// The main window: files, paste, drops, menus, settings and recent files.
#include <QAction>
#include <QClipboard>
#include <QColorDialog>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QtTest>

#include "gui/app/main_form.h"
#include "gui/view/draw_grid.h"
#include "gui/view/packet_window.h"
#include "gui_test_util.h"
#include "packets/text_paste.h"
#include "support/capture_files.h"
#include "support/temp_dir.h"

namespace pakscope::test {

namespace {

QString Sample() {
  return QStringLiteral(PAKSCOPE_SOURCE_DIR "/samples/sample.pcap");
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainForm> form_;
  ScriptedDialogs* dialogs_ = nullptr;

  TMainForm& make(bool show = true) {
    form_.reset();
    form_ = MakeScriptedForm(dialogs_);
    if (show) {
      form_->show();
      form_->activateWindow();
      [&] { QVERIFY(QTest::qWaitForWindowActive(form_.get())); }();
    }
    return *form_;
  }
  void clearSettings() {
    QSettings settings(QStringLiteral("Vorlund"), QStringLiteral("Pakscope"));
    settings.clear();
    settings.sync();
  }
  int windows() const { return static_cast<int>(form_->packetWindows().size()); }
  TMDIChild* active() const { return form_->activeChild(); }
  void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    clearSettings();
  }
  void init() { clearSettings(); }
  void cleanup() {
    if (form_) {
      for (TMDIChild* child : form_->packetWindows()) child->setLoaded(true);
      form_.reset();
    }
  }

  void menusCarryTheirCaptionsAndShortcuts() {
    make(false);
    QStringList menus;
    for (QAction* a : form_->menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, (QStringList{"&Файл", "&Вид", "Настройки", "&Окна", "&Помощь"}));
    QStringList fileItems;
    for (QAction* a : form_->menuBar()->actions().at(0)->menu()->actions())
      fileItems << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(fileItems, (QStringList{"&Создать", "&Открыть", "Открыть c пакетизацией", "&Сохранить",
                                     "Сохранить как", "Закрыть", "Последние файлы", "-", "Выход"}));
    const std::tuple<const char*, QKeySequence, const char*> keys[] = {
        {"FileNew1", QKeySequence(Qt::CTRL | Qt::Key_N), "Создать новый файл"},
        {"FileOpen1", QKeySequence(Qt::CTRL | Qt::Key_O), "Открыть файл"},
        {"FileSaveAs1", QKeySequence(Qt::CTRL | Qt::Key_S), "Сохранить файл с другим именем"},
        {"FileClose1", QKeySequence(Qt::CTRL | Qt::Key_W), ""},
        {"ShowAllToolBarsItem", QKeySequence(Qt::CTRL | Qt::Key_T), ""},
        {"ShowAllStatusItem", QKeySequence(Qt::CTRL | Qt::Key_I), ""},
        {"HELP", QKeySequence(Qt::Key_F1), ""},
        {"CtrlVAction", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), ""},
        {"EditCopy1", QKeySequence(Qt::CTRL | Qt::Key_C), ""},
        {"FileExit1", QKeySequence(), "Exit application"}};
    for (const auto& [name, key, hint] : keys) {
      QAction* a = form_->action(QString::fromUtf8(name));
      QVERIFY2(a, name);
      QCOMPARE(a->shortcut(), key);
      if (*hint) QCOMPARE(a->statusTip(), QString::fromUtf8(hint));
    }
    // The tool bar's copies of the display modes show the hints of the packet
    // window's commands, not their menu text with its key.
    const std::pair<const char*, const char*> modeHints[] = {
        {"MainViewDec", "Десятичное представление"},
        {"MainViewHex", "Шестнадцатеричное представление"},
        {"MainViewBin", "Двоичное представление"},
        {"MainViewTxt", "Символьное представление"},
        {"MainViewBit", "Битовое представление"}};
    for (const auto& [name, hint] : modeHints) {
      QAction* a = form_->action(QString::fromUtf8(name));
      QVERIFY2(a, name);
      QCOMPARE(a->toolTip(), QString::fromUtf8(hint));
      QCOMPARE(a->statusTip(), QString::fromUtf8(hint));
    }
    QCOMPARE(form_->windowTitle(), QStringLiteral("Pakscope"));
    QCOMPARE(form_->action(QStringLiteral("HELP"))->text(), QStringLiteral("Cправка"));
    QVERIFY(!form_->action(QStringLiteral("STOPBtn"))->isVisible());
    QVERIFY(!form_->action(QStringLiteral("CGauge1"))->isVisible());
  }

  void openingAFileShowsItAndRemembersIt() {
    make();
    QVERIFY(form_->OpenFile(Sample()));
    QCOMPARE(windows(), 1);
    QCOMPARE(active()->windowTitle(), Sample());
    QCOMPARE(active()->packets().size(), size_t{15});
    QVERIFY(active()->loaded());
    QCOMPARE(active()->statusText(0), QStringLiteral("Всего пакетов: 15"));
    QCOMPARE(form_->recentFiles().entries(), std::vector<std::string>{Sample().toStdString()});
    QVERIFY(!form_->action(QStringLiteral("STOPBtn"))->isVisible());
    QVERIFY(form_->OpenFile(Sample()));
    QCOMPARE(windows(), 2);
    QCOMPARE(form_->recentFiles().entries().size(), size_t{1});
    QCOMPARE(form_->historyMenu()->actions().size(), 1);
    // A relative name is remembered with its folder.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(QStringLiteral(PAKSCOPE_SOURCE_DIR));
    QVERIFY(form_->OpenFile(QStringLiteral("samples/sample.pcap")));
    QDir::setCurrent(previous);
    QCOMPARE(form_->recentFiles().entries().size(), size_t{1});
    QCOMPARE(windows(), 3);
    QTest::keyClick(active()->grid(), Qt::Key_W, Qt::ControlModifier);
    settle();
    // Ctrl+W closes the active window.
    QTest::keyClick(active()->grid(), Qt::Key_W, Qt::ControlModifier);
    settle();
    QCOMPARE(windows(), 1);
  }

  void packetWindowShowsItsWholeToolBar() {
    make();
    QVERIFY(form_->OpenFile(Sample()));
    QToolBar* bar = active()->toolBar();
    QTRY_VERIFY(bar->isVisible());
    const QRect area = form_->centralWidget()->rect();
    for (QAction* a : bar->actions()) {
      if (a->isSeparator()) continue;
      QWidget* button = bar->widgetForAction(a);
      QVERIFY2(button && button->isVisible() && bar->rect().contains(button->geometry()),
               qPrintable(a->objectName()));
      // ... and inside the main window, not scrolled out of its reach.
      const QRect shown(button->mapTo(form_->centralWidget(), QPoint(0, 0)), button->size());
      QVERIFY2(area.contains(shown), qPrintable(a->objectName()));
    }
  }

  void aFailedOpenLeavesNoWindow() {
    TempDir dir;
    make();
    form_->OpenFile(Q(dir.file("missing.qpk")));
    settle();
    QCOMPARE(windows(), 0);
    QCOMPARE(form_->host().messages.size(), size_t{1});
    QVERIFY(Q(form_->host().messages[0].text).contains(QStringLiteral("Не удаётся открыть файл")));
    QVERIFY(form_->recentFiles().entries().empty());
  }

  // Without a template "Создать" opens an empty window that the first paste
  // fills; saving it empty writes nothing.
  void newWindowWithoutATemplate() {
    TempDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(Q(dir.path().string()));
    make();
    form_->action(QStringLiteral("FileNew1"))->trigger();
    QDir::setCurrent(previous);
    settle();
    QCOMPARE(windows(), 1);
    QCOMPARE(active()->windowTitle(), QStringLiteral("Новый"));
    QVERIFY(active()->packets().empty());
    form_->action(QStringLiteral("FileSaveAs1"))->trigger();
    QCOMPARE(dialogs_->saveAsked, 0);
    QCOMPARE(form_->host().messages.size(), size_t{1});
    QCOMPARE(form_->host().messages[0].text,
             std::string("Не осталось ни одного пакета: файл не записан."));
    form_->PasteText(QStringLiteral("01 02"));
    QCOMPARE(windows(), 1);
    QCOMPARE(contents(active()->packets()), (std::vector<Bytes>{{1, 2}}));
  }

  void pastingHexText() {
    make();
    form_->PasteText(QStringLiteral("01 02\r\n\r\n03"));
    QCOMPARE(windows(), 1);
    QCOMPARE(contents(active()->packets()), (std::vector<Bytes>{{1, 2}, {3}}));
    QVERIFY(active()->loaded());
    for (int i = 0; i < 3; ++i) form_->PasteText(QStringLiteral("AB cd\n"));
    QCOMPARE(windows(), 1);
    QCOMPARE(active()->packets().size(), size_t{5});
    QCOMPARE(contents(active()->packets())[4], (Bytes{0xAB, 0xCD}));
    form_->PasteText(QStringLiteral("01 02\n"));
    QCOMPARE(active()->packets().size(), size_t{6});
    QCOMPARE(active()->grid()->layout().rowCount(), 7);
    QCOMPARE(active()->statusText(0), QStringLiteral("Всего пакетов: 6"));
    form_->PasteText(QStringLiteral("  \r\n \n"));
    QCOMPARE(active()->packets().size(), size_t{6});
    QVERIFY(form_->host().messages.empty());
  }

  void pastingInvalidTextCreatesNothing_data() {
    QTest::addColumn<QString>("text");
    QTest::addRow("tab") << QStringLiteral("01\t02");
    QTest::addRow("letter g") << QStringLiteral("0g");
    QTest::addRow("cyrillic") << QStringLiteral("01 ф");
  }
  void pastingInvalidTextCreatesNothing() {
    QFETCH(QString, text);
    make();
    form_->PasteText(text);
    QCOMPARE(windows(), 0);
    QCOMPARE(form_->host().messages.size(), size_t{1});
    QCOMPARE(form_->host().messages[0].text, std::string(kPasteInvalidText));
    QCOMPARE(form_->host().messages[0].icon, MsgIcon::Error);
    form_->PasteText(QStringLiteral("  \n"));
    QCOMPARE(windows(), 0);
  }

  void droppingFilesOpensTheFirstOnly() {
    TempDir dir;
    writeFile(dir.file("a.qpk"), qpkImage({{1, 2, 3}}));
    writeFile(dir.file("b.qpk"), qpkImage({{4}}));
    writeFile(dir.file("c.qpk"), qpkImage({{5}}));
    make();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Q(dir.file("a.qpk"))),
                  QUrl::fromLocalFile(Q(dir.file("b.qpk"))),
                  QUrl::fromLocalFile(Q(dir.file("c.qpk")))});
    QWidget* target = form_->mdiArea()->viewport();
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    QTRY_COMPARE(windows(), 1);
    QCOMPARE(active()->windowTitle(), Q(dir.file("a.qpk")));
    QTest::qWait(50);
    QCOMPARE(windows(), 1);
  }

  void theCommandLineFileOpensAfterTheWindowIsShown() {
    make(false);
    form_->setStartupFile(Sample());
    QCOMPARE(windows(), 0);
    form_->show();
    QCOMPARE(windows(), 0);  // not yet: a moment after showing
    QTRY_COMPARE(windows(), 1);
    make();
    QTest::qWait(200);
    QCOMPARE(windows(), 0);
  }

  void saveAsWritesTheActiveWindow() {
    TempDir dir;
    make();
    form_->action(QStringLiteral("FileSaveAs1"))->trigger();  // no window: nothing asked
    QCOMPARE(dialogs_->saveAsked, 0);
    form_->PasteText(QStringLiteral("01 AB\n02"));
    dialogs_->saves.push_back({Q(dir.file("out.pcap")), 4});
    dialogs_->linkTypes.push_back(1);  // ETHERNET
    form_->action(QStringLiteral("FileSaveAs1"))->trigger();
    const Bytes pcap = readFile(dir.file("out.pcap"));
    QCOMPARE(pcap.size(), size_t{24 + 16 + 2 + 16 + 1});
    QCOMPARE(int(pcap[20]), 1);
    dialogs_->saves.push_back({Q(dir.file("out.txt")), 5});
    form_->action(QStringLiteral("FileSaveAs1"))->trigger();
    const Bytes txt = readFile(dir.file("out.txt"));
    QCOMPARE(std::string(txt.begin(), txt.end()), std::string("01 AB \r\n\r\n02 \r\n\r\n"));
    // What was saved as text pastes back into the same packets.
    form_->PasteText(Q(std::string(txt.begin(), txt.end())));
    QCOMPARE(contents(active()->packets()), (std::vector<Bytes>{{1, 0xAB}, {2}, {1, 0xAB}, {2}}));
  }

  void recentFilesKeepTenMostRecentFirst() {
    make();
    for (int i = 0; i < 11; ++i) form_->AddRecentFile(QStringLiteral("/f%1.qpk").arg(i));
    const auto& entries = form_->recentFiles().entries();
    QCOMPARE(entries.size(), size_t{10});
    QCOMPARE(entries.front(), std::string("/f10.qpk"));
    QCOMPARE(entries.back(), std::string("/f1.qpk"));
    QCOMPARE(form_->historyMenu()->actions().size(), 10);
    form_->AddRecentFile(QStringLiteral("/f5.qpk"));
    QCOMPARE(form_->recentFiles().entries().size(), size_t{10});
    QCOMPARE(form_->historyMenu()->actions().at(0)->text(), QStringLiteral("/f5.qpk"));
    QCOMPARE(form_->historyMenu()->actions().at(1)->text(), QStringLiteral("/f10.qpk"));
    const std::string longPath = "/" + std::string(150, 'a') + std::string(49, 'b');
    QCOMPARE(RecentFiles::Caption(longPath), "......." + longPath.substr(50));
    QCOMPARE(RecentFiles::Caption(std::string(150, 'x')), std::string(150, 'x'));
    // Counted in letters: a Cyrillic path is never cut inside a letter.
    std::string cyrillic;
    for (int i = 0; i < 160; ++i) cyrillic += "ф";
    QCOMPARE(RecentFiles::Caption(cyrillic), "......." + cyrillic.substr(20));
    // A "&" in a path is shown, not taken for an access key.
    form_->AddRecentFile(QStringLiteral("/R&D/x.qpk"));
    QCOMPARE(form_->historyMenu()->actions().at(0)->text(), QStringLiteral("/R&&D/x.qpk"));
    QCOMPARE(form_->recentFiles().entries().front(), std::string("/R&D/x.qpk"));
  }

  void aRecentFileOpensFromTheMenu() {
    make();
    form_->AddRecentFile(Sample());
    form_->AddRecentFile(QStringLiteral("/missing/file.qpk"));
    form_->historyMenu()->actions().at(1)->trigger();
    QCOMPARE(windows(), 1);
    QCOMPARE(form_->recentFiles().entries().front(), Sample().toStdString());
    form_->historyMenu()->actions().at(1)->trigger();  // gone: a message, still listed
    settle();
    QCOMPARE(windows(), 1);
    QCOMPARE(form_->recentFiles().entries().size(), size_t{2});
    QCOMPARE(form_->host().messages.size(), size_t{1});
  }

  void firstRunUsesTheDefaults() {
    make();
    QCOMPARE(form_->applicationFont().family(), QStringLiteral("Nina"));
    QCOMPARE(form_->applicationFont().pointSize(), 8);
    QVERIFY(form_->recentFiles().entries().empty());
    QVERIFY(form_->historyMenu()->actions().isEmpty());
    QVERIFY(!form_->maximizeChildren());
  }

  void settingsSurviveARestart() {
    make();
    form_->AddRecentFile(QStringLiteral("/b.qpk"));
    form_->AddRecentFile(QStringLiteral("/a.qpk"));
    QFont font(QStringLiteral("DejaVu Serif"), 11);
    font.setBold(true);
    form_->ApplyApplicationFont(font);
    form_->setGeometry(120, 130, 640, 480);
    form_->close();
    {
      QSettings settings(QStringLiteral("Vorlund"), QStringLiteral("Pakscope"));
      QCOMPARE(settings.value(QStringLiteral("Font")).toString(), QStringLiteral("DejaVu Serif"));
      QCOMPARE(settings.value(QStringLiteral("Font Size")).toInt(), 11);
      QCOMPARE(settings.value(QStringLiteral("Font Style Bold")).toInt(), 1);
      QCOMPARE(settings.value(QStringLiteral("Font Style Italic")).toInt(), 0);
      QCOMPARE(settings.value(QStringLiteral("Maximize")).toInt(), 0);
      QCOMPARE(settings.value(QStringLiteral("Width")).toInt(), 640);
      QCOMPARE(settings.value(QStringLiteral("History/File0")).toString(),
               QStringLiteral("/a.qpk"));
      QCOMPARE(settings.value(QStringLiteral("History/File1")).toString(),
               QStringLiteral("/b.qpk"));
      QVERIFY(!settings.contains(QStringLiteral("ChildWindowState")));
    }
    make();
    QCOMPARE(form_->applicationFont().family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(form_->applicationFont().pointSize(), 11);
    QVERIFY(form_->applicationFont().bold());
    QCOMPARE(form_->size(), QSize(640, 480));
    QCOMPARE(form_->recentFiles().entries(), (std::vector<std::string>{"/a.qpk", "/b.qpk"}));
    QCOMPARE(form_->historyMenu()->actions().size(), 2);
  }

  void storedStatesAreRestored() {
    {
      QSettings settings(QStringLiteral("Vorlund"), QStringLiteral("Pakscope"));
      settings.setValue(QStringLiteral("Maximize"), 2);
      settings.setValue(QStringLiteral("Width"), 333);
      settings.setValue(QStringLiteral("ChildWindowState"), 2);
      settings.setValue(QStringLiteral("Font Size"), QStringLiteral("not a number"));
    }
    make();
    QVERIFY(form_->windowState() & Qt::WindowMaximized);
    QVERIFY(form_->maximizeChildren());
    QCOMPARE(form_->applicationFont().pointSize(), 8);  // a bad value falls back
    form_->PasteText(QStringLiteral("01"));
    QVERIFY(qobject_cast<QMdiSubWindow*>(active()->parentWidget())->isMaximized());
    qobject_cast<QMdiSubWindow*>(active()->parentWidget())->showNormal();
    form_->PasteText(QStringLiteral("02"));  // into the active window
    QCOMPARE(windows(), 1);
    QVERIFY(form_->OpenFile(Sample()));  // takes the state of the frontmost window
    QVERIFY(!qobject_cast<QMdiSubWindow*>(active()->parentWidget())->isMaximized());
    form_->close();
    QSettings settings(QStringLiteral("Vorlund"), QStringLiteral("Pakscope"));
    QCOMPARE(settings.value(QStringLiteral("ChildWindowState")).toInt(), 0);
    QCOMPARE(settings.value(QStringLiteral("Maximize")).toInt(), 2);
  }

  void theFontGoesToEveryPacketWindow() {
    make();
    form_->PasteText(QStringLiteral("01 02"));
    form_->OpenFile(Sample());
    QCOMPARE(windows(), 2);
    std::vector<int> before;
    for (TMDIChild* child : form_->packetWindows()) before.push_back(child->view().cellWidth);
    form_->ApplyApplicationFont(QFont(QStringLiteral("DejaVu Sans"), 20));
    int i = 0;
    for (TMDIChild* child : form_->packetWindows()) {
      QVERIFY(child->view().cellWidth > before[static_cast<size_t>(i++)]);
      QCOMPARE(child->view().font.pointSize(), 20);
    }
  }

  // The font dialog also picks the text colour: it reaches every packet
  // window and is stored as 0x00BBGGRR.
  void theFontDialogPicksTheTextColour() {
    make();
    form_->PasteText(QStringLiteral("01 02"));
    bool colourButton = false;
    QTimer::singleShot(0, form_.get(), [&colourButton] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (dialog == nullptr) return;
      if (auto* pick = dialog->findChild<QPushButton*>(QStringLiteral("FontColour"))) {
        colourButton = true;
        QTimer::singleShot(0, [] {
          if (auto* colours = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
            colours->setCurrentColor(QColor(0, 0, 255));
            colours->accept();
          } else if (QWidget* other = QApplication::activeModalWidget()) {
            other->close();
          }
        });
        pick->click();
      }
      if (auto* fonts = qobject_cast<QDialog*>(dialog)) fonts->accept();
    });
    form_->action(QStringLiteral("FontItem"))->trigger();
    QVERIFY(colourButton);
    QCOMPARE(form_->fontColour(), QColor(0, 0, 255));
    QCOMPARE(active()->view().fontColour, QColor(0, 0, 255));
    form_->close();
    QSettings settings(QStringLiteral("Vorlund"), QStringLiteral("Pakscope"));
    QCOMPARE(settings.value(QStringLiteral("Font Color")).toInt(), 0xFF0000);
  }

  // The long hints of a packet window's commands go to the main window's
  // status bar; the packet window's own panels stay in view.
  void hintsShowInStatusPanelZero() {
    make();
    QVERIFY(form_->OpenFile(Sample()));
    const QString loaded0 = form_->statusText(0), loaded1 = form_->statusText(1);
    QVERIFY(!loaded0.isEmpty());
    QAction* inverse = active()->action(QStringLiteral("Inverse"));
    inverse->showStatusText(active()->toolBar());
    QCOMPARE(form_->statusText(0), QStringLiteral("Инверсия сигнала"));
    QCOMPARE(form_->statusText(1), loaded1);
    // No temporary message covers the two panels.
    QCOMPARE(form_->statusBar()->currentMessage(), QString());
    QCOMPARE(active()->statusBar()->currentMessage(), QString());
    // The pointer leaves the command: the load's text is back.
    QStatusTipEvent leave{QString()};
    QCoreApplication::sendEvent(active()->toolBar(), &leave);
    QCOMPARE(form_->statusText(0), loaded0);
  }

  void ctrlCInTheGridCopiesTheSelectedCells() {
    make();
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    form_->PasteText(QStringLiteral("01 02 03\r\n\r\n04\r\n\r\n05 06 07 08"));
    TDrawGrid* grid = active()->grid();
    grid->setFocus();
    // Bytes 2 and 3 of all three packets: the short one has none of them.
    grid->setFocusCell(2, 1);
    grid->setFocusCell(3, 3, true);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keyClick(grid, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    QCOMPARE(active()->packets().size(), size_t{3});
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("02 03 \r\n06 07 \r\n"));
    // The copied text pastes back as packets.
    form_->PasteText(QApplication::clipboard()->text());
    QCOMPARE(contents(active()->packets()),
             (std::vector<Bytes>{{1, 2, 3}, {4}, {5, 6, 7, 8}, {2, 3}, {6, 7}}));
  }

  void closingWaitsForWindowsStillLoading() {
    make();
    form_->PasteText(QStringLiteral("01"));
    active()->setLoaded(false);
    QVERIFY(!form_->close());
    QVERIFY(form_->isVisible());
    QSettings settings(QStringLiteral("Vorlund"), QStringLiteral("Pakscope"));
    QVERIFY(!settings.contains(QStringLiteral("Width")));
    active()->setLoaded(true);
    QVERIFY(form_->close());
  }

  void stopButtonAndViewCommands() {
    make();
    form_->host().showProgress(true);
    QVERIFY(form_->action(QStringLiteral("STOPBtn"))->isVisible());
    QVERIFY(form_->action(QStringLiteral("CGauge1"))->isVisible());
    form_->action(QStringLiteral("STOPBtn"))->trigger();
    QVERIFY(form_->host().stopRequested());
    QVERIFY(form_->OpenFile(Sample()));  // a new open starts without the old request
    QVERIFY(!form_->host().stopRequested());
    QCOMPARE(active()->packets().size(), size_t{15});
    form_->action(QStringLiteral("MainViewHex"))->trigger();
    QCOMPARE(active()->mode(), ViewMode::Hex);
    form_->action(QStringLiteral("ShowAllStatusItem"))->trigger();
    QVERIFY(!form_->action(QStringLiteral("ShowStatusItem"))->isChecked());
    QVERIFY(!active()->statusBar()->isVisible());
    QVERIFY(!form_->statusBar()->isVisible());
    form_->action(QStringLiteral("ShowAllToolBarsItem"))->trigger();
    QVERIFY(!active()->toolBar()->isVisible());
    QVERIFY(!form_->mainToolBar()->isVisible());
    form_->action(QStringLiteral("ShowScrollBarsItem"))->trigger();
    QCOMPARE(active()->grid()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  }

  void openingWithPacketizationCutsByThePeriod() {
    TempDir dir;
    Bytes stream(32);
    for (size_t i = 0; i < stream.size(); ++i) stream[i] = static_cast<uint8_t>(i);
    writeFile(dir.file("stream.dat"), stream);
    make();
    dialogs_->opens.push_back(Q(dir.file("stream.dat")));
    form_->host().promptAnswers.push_back(std::string("64"));
    form_->action(QStringLiteral("FileOpenWithPacketize"))->trigger();
    QCOMPARE(windows(), 1);
    QCOMPARE(active()->packets().size(), size_t{4});
    QCOMPARE(contents(active()->packets())[1], (Bytes{8, 9, 10, 11, 12, 13, 14, 15}));
    QVERIFY(active()->loaded());
    QVERIFY(form_->recentFiles().entries().empty());  // packetized files are not remembered
    QVERIFY(!form_->host().stopRequested());
    QVERIFY(!form_->action(QStringLiteral("STOPBtn"))->isVisible());
    // A period that is not a number leaves no window behind.
    dialogs_->opens.push_back(Q(dir.file("stream.dat")));
    form_->host().promptAnswers.push_back(std::string("abc"));
    form_->action(QStringLiteral("FileOpenWithPacketize"))->trigger();
    settle();
    QCOMPARE(windows(), 1);
    QCOMPARE(form_->host().messages.size(), size_t{1});
    // The open dialog's choice goes through the ordinary open.
    dialogs_->opens.push_back(Sample());
    form_->action(QStringLiteral("FileOpen1"))->trigger();
    QCOMPARE(windows(), 2);
    QCOMPARE(form_->recentFiles().entries().size(), size_t{1});
  }

  void windowCommandsArrangeThePacketWindows() {
    make();
    for (int i = 0; i < 3; ++i) QVERIFY(form_->OpenFile(Sample()));
    const QList<QMdiSubWindow*> frames = form_->mdiArea()->subWindowList();
    const int areaWidth = form_->mdiArea()->viewport()->width();
    form_->action(QStringLiteral("WindowTileVertical1"))->trigger();
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(frames[i]->y(), 0);
      QCOMPARE(frames[i]->x(), i * (areaWidth / 3));
    }
    form_->action(QStringLiteral("WindowTileHorizontal1"))->trigger();
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(frames[i]->x(), 0);
      QCOMPARE(frames[i]->width(), areaWidth);
    }
    active()->grid()->setFocus();
    QTest::keyClick(active()->grid(), Qt::Key_F5);
    QVERIFY(form_->mdiArea()->activeSubWindow()->isMaximized());
    QTest::keyClick(active()->grid(), Qt::Key_F5);
    QVERIFY(!form_->mdiArea()->activeSubWindow()->isMaximized());
    form_->action(QStringLiteral("WindowMinimizeAll1"))->trigger();
    for (QMdiSubWindow* frame : frames) QVERIFY(frame->isMinimized());
    // F5 on a minimised window restores it to normal.
    TMDIChild* child = qobject_cast<TMDIChild*>(frames[0]->widget());
    child->action(QStringLiteral("MaxMin"))->trigger();
    QVERIFY(!frames[0]->isMinimized() && !frames[0]->isMaximized());
  }

  void theWindowMenuListsThePacketWindows() {
    make();
    TempDir dir;
    const std::string file = dir.file("R&D.pcap");
    writeFile(file, readFile(Sample().toStdString()));
    QVERIFY(form_->OpenFile(Q(file)));
    form_->PasteText(QStringLiteral("01"));  // into the active window
    auto* menu = form_->findChild<QMenu*>(QStringLiteral("WindowMenu"));
    QVERIFY(menu);
    emit menu->aboutToShow();
    QStringList items;
    for (QAction* a : menu->actions())
      items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QString caption = Q(file);
    caption.replace(QStringLiteral("&"), QStringLiteral("&&"));
    QCOMPARE(items, (QStringList{"&Каскад", "Горизонтально", "Вертикально", "Свернуть все",
                                 "Развернуть все", "-", "1 " + caption}));
  }
};

}  // namespace pakscope::test

QTEST_MAIN(pakscope::test::MainWindowTest)
#include "main_window_test.moc"
