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
    const auto row = [](const char* name, QVariant property, QString chapter,
                        QString heading = {}) {
      QTest::newRow(name) << property << chapter << heading;
    };
    const QString tools = QStringLiteral("06-analysis-tools.md"),
                  index = QStringLiteral("index.md");
    row("chapter", tools, tools);
    row("heading", tools + QStringLiteral("#Обработка пакетов"), tools,
        QStringLiteral("Обработка пакетов (F4)"));
    row("no property", QVariant(), index);
    row("unknown file", QStringLiteral("99-none.md"), index);
    row("outside the manual", QStringLiteral("../../CMakeLists.txt"), index);
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
    QCOMPARE(help->windowTitle(), QStringLiteral("Справка"));
    QCOMPARE(help->currentChapter(), chapter);
    // Rendered as Markdown: every page opens with a first-level heading.
    QCOMPARE(help->browser()->document()->begin().blockFormat().headingLevel(), 1);
    if (heading.isEmpty()) {
      QCOMPARE(help->browser()->verticalScrollBar()->value(), 0);
    } else {
      QCOMPARE(help->browser()->textCursor().block().text(), heading);
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
    QCOMPARE(contents.item(10)->text(), QStringLiteral("10. Программа pakscope-cli"));
    contents.setCurrentRow(1);
    QVERIFY(!help.browser()  // figures resolve against the manual folder
                 ->loadResource(QTextDocument::ImageResource, QUrl("images/main-window.png"))
                 .isNull());
    // A link followed inside the text is Markdown too and moves the contents.
    help.browser()->setSource(QUrl::fromLocalFile(kManual + "/07-protocol-panel.md"));
    QCOMPARE(help.browser()->document()->begin().blockFormat().headingLevel(), 1);
    QCOMPARE(contents.currentRow(), 7);
    QTest::mouseClick(help.findChild<QPushButton*>(QStringLiteral("HelpBack")), Qt::LeftButton);
    QCOMPARE(contents.currentRow(), 1);
    QTest::mouseClick(help.findChild<QPushButton*>(QStringLiteral("HelpForward")), Qt::LeftButton);
    QCOMPARE(help.currentChapter(), QStringLiteral("07-protocol-panel.md"));

    // F3 and Enter go on into the following chapters, round to the top.
    help.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&help));
    help.findField()->setText(QStringLiteral("Окно «Тип данных»"));
    QTest::keyClick(help.findField(), Qt::Key_F3);
    QCOMPARE(help.currentChapter(), QStringLiteral("02-packet-files.md"));
    QCOMPARE(help.browser()->textCursor().selectedText(), QStringLiteral("Окно «Тип данных»"));
    help.findField()->setText(QStringLiteral("нет такого текста"));
    QTest::keyClick(help.findField(), Qt::Key_Return);
    QCOMPARE(help.statusText(), QStringLiteral("Не найдено: «нет такого текста»"));
  }

  void missingManualIsSaid() {
    make(QStringLiteral("/nonexistent"));
    QVERIFY(form_->ShowHelp(QStringLiteral("06-analysis-tools.md")));
    QVERIFY(form_->helpWindow()->browser()->toPlainText().contains(
        QStringLiteral("Руководство пользователя не найдено")));
  }

  void windowsCarryTheProgramsIcon() {
    make();
    QCOMPARE(QApplication::windowIcon().availableSizes(),
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
