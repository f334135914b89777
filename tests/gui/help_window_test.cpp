// F1 and the help window; the application icon on the windows.
#include "gui/app/help_window.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include "gui/app/application.h"
#include "gui/app/main_form.h"
#include "gui/view/draw_grid.h"
#include "gui/view/packet_window.h"
#include "gui_test_util.h"

namespace pakscope::test {

namespace {

const QString kManual = QStringLiteral(PAKSCOPE_SOURCE_DIR "/docs/manual");

// Records the addresses the desktop would be asked to open.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public slots:
  void open(const QUrl& url) { opened << url; }
};

// The heading the help window's cursor stands on.
QString CursorBlock(const THelpForm& help) {
  return help.browser()->textCursor().block().text();
}

}  // namespace

class HelpWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainForm> form_;

  TMainForm& make(const QString& manual = kManual) {
    form_ = std::make_unique<TMainForm>();
    form_->setDialogs(std::make_unique<ScriptedDialogs>());
    form_->setProtocolFolder("/nonexistent");
    form_->setManualFolder(manual.toStdString());
    form_->host().scripted = true;
    return *form_;
  }

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    SetUpApplication(*qApp);
    QVERIFY(!QFile::exists(TMainForm::HelpFile()));
  }
  void cleanup() {
    if (form_)
      for (TMDIChild* child : form_->packetWindows()) child->setLoaded(true);
    form_.reset();
  }

  void f1OpensTheChapterOfTheFocusedWindow_data() {
    QTest::addColumn<QVariant>("property");
    QTest::addColumn<QString>("chapter");
    QTest::addColumn<QString>("heading");  // the cursor's block; empty: top of the page
    QTest::newRow("chapter") << QVariant(QStringLiteral("06-analysis-tools.md"))
                             << "06-analysis-tools.md"
                             << "";
    QTest::newRow("heading") << QVariant(QStringLiteral("06-analysis-tools.md#Обработка пакетов"))
                             << "06-analysis-tools.md"
                             << "Обработка пакетов (F4)";
    QTest::newRow("no property") << QVariant() << "index.md"
                                 << "";
    QTest::newRow("unknown file") << QVariant(QStringLiteral("99-none.md")) << "index.md"
                                  << "";
    QTest::newRow("outside the manual")
        << QVariant(QStringLiteral("../../CMakeLists.txt")) << "index.md"
        << "";
  }
  void f1OpensTheChapterOfTheFocusedWindow() {
    QFETCH(QVariant, property);
    QFETCH(QString, chapter);
    QFETCH(QString, heading);
    make();
    QDialog dialog;
    if (property.isValid()) dialog.setProperty(kHelpChapterProperty, property);
    auto* field = new QLineEdit(&dialog);
    dialog.show();
    field->setFocus();
    QTest::keyClick(field, Qt::Key_F1);
    THelpForm* help = form_->helpWindow();
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QCOMPARE(help->windowTitle(), QStringLiteral("Справка"));
    QCOMPARE(help->currentChapter(), chapter);
    QCOMPARE(help->contents()->currentItem()->text().isEmpty(), false);
    // Rendered as Markdown: every page opens with a first-level heading.
    QCOMPARE(help->browser()->document()->begin().blockFormat().headingLevel(), 1);
    if (heading.isEmpty()) {
      QCOMPARE(help->browser()->verticalScrollBar()->value(), 0);
    } else {
      QCOMPARE(CursorBlock(*help), heading);
      QVERIFY(help->browser()->verticalScrollBar()->value() > 0);
    }
  }

  void f1OverAModalDialogGivesAUsableHelpWindow() {
    make();
    QDialog dialog;
    dialog.setProperty(kHelpChapterProperty, QStringLiteral("03-bit-files.md"));
    bool modal = false;
    QTimer::singleShot(0, &dialog, [&] {
      QTest::keyClick(&dialog, Qt::Key_F1);
      modal = form_->helpWindow() && QApplication::activeModalWidget() == form_->helpWindow();
      form_->helpWindow()->close();
      dialog.accept();
    });
    dialog.exec();
    QVERIFY(modal);
    QCOMPARE(form_->helpWindow()->currentChapter(), QStringLiteral("03-bit-files.md"));
    QCOMPARE(form_->helpWindow()->windowModality(), Qt::NonModal);  // ordinary again
  }

  void f1InThePacketWindowShowsItsChapter() {
    make().show();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    QVERIFY(form_->OpenFile(QStringLiteral(PAKSCOPE_SOURCE_DIR "/samples/sample.pcap")));
    form_->activeChild()->grid()->setFocus();
    QTest::keyClick(form_->activeChild()->grid(), Qt::Key_F1);  // the main window's HELP
    QVERIFY(form_->helpWindow());
    QCOMPARE(form_->helpWindow()->currentChapter(), QStringLiteral("04-packet-window.md"));
  }

  void helpFileBesideTheProgramWins() {
    make();
    QDir().mkpath(QCoreApplication::applicationDirPath() + QStringLiteral("/Help"));
    QFile chm(TMainForm::HelpFile());
    QVERIFY(chm.open(QIODevice::WriteOnly));
    chm.close();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    const bool shown = form_->ShowHelp(QStringLiteral("06-analysis-tools.md"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QFile::remove(TMainForm::HelpFile());
    QDir().rmdir(QCoreApplication::applicationDirPath() + QStringLiteral("/Help"));
    QVERIFY(shown);
    QCOMPARE(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(TMainForm::HelpFile())});
    QVERIFY(!form_->helpWindow());
  }

  void contentsHistoryAndSearch() {
    make();
    QVERIFY(form_->ShowHelp(QString()));
    THelpForm& help = *form_->helpWindow();
    QListWidget& contents = *help.contents();
    QCOMPARE(contents.count(), 11);
    QCOMPARE(contents.item(0)->text(), QStringLiteral("Содержание"));
    QCOMPARE(contents.item(1)->text(), QStringLiteral("1. Начало работы"));
    QCOMPARE(contents.item(10)->text(), QStringLiteral("10. Программа pakscope-cli"));
    // Figures resolve against the manual folder.
    contents.setCurrentRow(1);
    QVERIFY(!help.browser()
                 ->loadResource(QTextDocument::ImageResource, QUrl("images/main-window.png"))
                 .isNull());
    // A link followed inside the text is Markdown too and moves the contents.
    help.browser()->setSource(QUrl::fromLocalFile(kManual + "/07-protocol-panel.md"));
    QCOMPARE(help.browser()->document()->begin().blockFormat().headingLevel(), 1);
    QCOMPARE(contents.currentRow(), 7);
    auto* back = help.findChild<QPushButton*>(QStringLiteral("HelpBack"));
    auto* forward = help.findChild<QPushButton*>(QStringLiteral("HelpForward"));
    QTest::mouseClick(back, Qt::LeftButton);
    QCOMPARE(help.currentChapter(), QStringLiteral("01-getting-started.md"));
    QCOMPARE(contents.currentRow(), 1);
    QTest::mouseClick(back, Qt::LeftButton);
    QCOMPARE(help.currentChapter(), QStringLiteral("index.md"));
    QVERIFY(!back->isEnabled());
    QTest::mouseClick(forward, Qt::LeftButton);
    QCOMPARE(help.currentChapter(), QStringLiteral("01-getting-started.md"));

    // Enter finds on into later chapters; F3 goes on from there.
    help.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&help));
    help.findField()->setText(QStringLiteral("Ctrl+Shift+V"));
    QTest::keyClick(help.findField(), Qt::Key_Return);
    QVERIFY(help.browser()->textCursor().hasSelection());
    QCOMPARE(help.browser()->textCursor().selectedText(), QStringLiteral("Ctrl+Shift+V"));
    const int first = help.browser()->textCursor().position();
    const QString firstChapter = help.currentChapter();
    QTest::keyClick(help.findField(), Qt::Key_F3);
    QVERIFY(help.currentChapter() != firstChapter ||
            help.browser()->textCursor().position() > first);
    QVERIFY(help.statusText().isEmpty());
    // A text only one chapter holds is found from any other, by going on.
    help.findField()->setText(QStringLiteral("Окно «Тип данных»"));
    QVERIFY(help.FindNext());
    QCOMPARE(help.currentChapter(), QStringLiteral("02-packet-files.md"));
    help.findField()->setText(QStringLiteral("нет такого текста"));
    QVERIFY(!help.FindNext());
    QCOMPARE(help.statusText(), QStringLiteral("Не найдено: «нет такого текста»"));
  }

  void missingManualIsSaid() {
    make(QStringLiteral("/nonexistent"));
    QVERIFY(form_->ShowHelp(QStringLiteral("06-analysis-tools.md")));
    QVERIFY(form_->helpWindow()->browser()->toPlainText().contains(
        QStringLiteral("Руководство пользователя не найдено")));
    QCOMPARE(form_->helpWindow()->contents()->count(), 0);
    form_->helpWindow()->findField()->setText(QStringLiteral("F1"));
    QVERIFY(!form_->helpWindow()->FindNext());
  }

  void windowsCarryTheProgramsIcon() {
    make();
    const QIcon icon = QApplication::windowIcon();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.availableSizes(),
             (QList<QSize>{{16, 16}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}}));
    const QImage ours(
        QStringLiteral(PAKSCOPE_SOURCE_DIR "/packaging/icons/hicolor/32x32/apps/pakscope.png"));
    QVERIFY(!ours.isNull());
    QDialog dialog;
    QVERIFY(form_->OpenFile(QStringLiteral(PAKSCOPE_SOURCE_DIR "/samples/sample.pcap")));
    auto* frame = qobject_cast<QMdiSubWindow*>(form_->activeChild()->parentWidget());
    QVERIFY(frame);
    for (QWidget* window : {static_cast<QWidget*>(form_.get()), static_cast<QWidget*>(&dialog),
                            static_cast<QWidget*>(frame)})
      QCOMPARE(window->windowIcon().pixmap(32, 32).toImage().convertToFormat(
                   QImage::Format_ARGB32_Premultiplied),
               ours.convertToFormat(QImage::Format_ARGB32_Premultiplied));
  }
};

}  // namespace pakscope::test

QTEST_MAIN(pakscope::test::HelpWindowTest)
#include "help_window_test.moc"
