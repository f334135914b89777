// F1 and the help window; the application icon on the windows.
#include "gui/app/help_window.h"

#include <QAbstractTextDocumentLayout>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextImageFormat>
#include <QTimer>
#include <QtTest>

#include "gui/app/application.h"
#include "gui/app/main_form.h"
#include "gui/packets/link_type_chooser.h"
#include "gui/protocols/protocol_panel.h"
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

  // Every window and dialog with a section of its own: F1 lands on a heading
  // that is really in the manual.
  void everyWindowNamesASectionThatExists() {
    make().show();
    QVERIFY(form_->OpenFile(QStringLiteral(PAKSCOPE_SOURCE_DIR "/samples/sample.pcap")));
    TMDIChild& packets = *form_->activeChild();
    const auto tool = [this](const char* name) {
      return form_->findChild<QWidget*>(QString::fromLatin1(name))->property("helpChapter");
    };
    // The save dialog exists only while it asks.
    QVariant saving;
    WhenOpen<QDialog>([&saving](QDialog* dialog) {
      saving = dialog->property("helpChapter");
      dialog->reject();
    });
    TFileDialogs().askSave(form_.get());
    const std::pair<QVariant, QString> windows[] = {
        {tool("StatForm"), "06-analysis-tools.md#Статистика"},
        {tool("SearchForm"), "06-analysis-tools.md#Поиск"},
        {tool("AutoSelectForm"), "06-analysis-tools.md#Автоподкраска пакетов"},
        {tool("UtilzForm"), "06-analysis-tools.md#Обработка пакетов"},
        {saving, "02-packet-files.md#Сохранение"},
        {TLinkTypeForm().property("helpChapter"), "02-packet-files.md#Окно «Тип данных»"},
        {form_->property("helpChapter"), "01-getting-started.md#Главное окно"},
        {packets.property("helpChapter"), "04-packet-window.md"},
        {packets.protocolPanel()->property("helpChapter"), "07-protocol-panel.md"},
    };
    THelpForm help(kManual);
    for (const auto& [property, target] : windows) {
      QCOMPARE(property.toString(), target);
      help.ShowChapter(target);
      QCOMPARE(help.currentChapter(), target.section(u'#', 0, 0));
      const QString heading = target.section(u'#', 1);
      if (!heading.isEmpty()) {
        QVERIFY2(help.browser()->textCursor().block().text().startsWith(heading),
                 qPrintable(target));
        QVERIFY(help.browser()->textCursor().block().blockFormat().headingLevel() > 0);
      }
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
    QCOMPARE(contents.count(), 12);
    QCOMPARE(contents.item(0)->text(), QStringLiteral("Содержание"));
    QCOMPARE(contents.item(11)->text(), QStringLiteral("11. Сообщения, неполадки, словарь"));
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

  void chapterReferencesBecomeLinks() {
    const QHash<QString, QString> files{{"3", "03-bit-files.md"}, {"10", "10-command-line.md"}};
    const std::pair<QString, QString> cases[] = {
        {"см. главу 3.", "см. [главу 3](03-bit-files.md)."},
        {"Глава 10 и главе 3", "[Глава 10](10-command-line.md) и [главе 3](03-bit-files.md)"},
        {"глава 31, главой 1", "глава 31, главой 1"},  // no such chapters
        {"[глава 3](03-bit-files.md)", "[глава 3](03-bit-files.md)"},
        {"`глава 3` подглава 3", "`глава 3` подглава 3"},
        {"```\nглава 3\n```\n# Глава 3", "```\nглава 3\n```\n# Глава 3"},
    };
    for (const auto& [text, linked] : cases) QCOMPARE(LinkChapterReferences(text, files), linked);

    make();
    QVERIFY(form_->ShowHelp(QString()));
    QTextBrowser& browser = *form_->helpWindow()->browser();
    browser.setSource(QUrl::fromLocalFile(kManual + "/01-getting-started.md"));  // a link followed
    QTextCursor link = browser.document()->find(QStringLiteral("глава 4"));
    QVERIFY(!link.isNull());
    QCOMPARE(link.charFormat().anchorHref(), QStringLiteral("04-packet-window.md"));
  }

  void windowFitsFiguresAndContentsAndClosesOnEsc() {
    make();
    QVERIFY(form_->ShowHelp(QStringLiteral("01-getting-started.md")));
    THelpForm& help = *form_->helpWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    // No title of the contents list is cut.
    QListWidget& contents = *help.contents();
    QVERIFY(contents.viewport()->width() >= contents.sizeHintForColumn(0));

    // Figures are as wide as the page at most; a click shows one full size.
    help.resize(500, 600);
    QTextBrowser& browser = *help.browser();
    QTRY_VERIFY(browser.viewport()->width() < 400);
    QTextCursor figure = browser.document()->find(QString(QChar::ObjectReplacementCharacter));
    QVERIFY(!figure.isNull() && figure.charFormat().isImageFormat());
    const QTextImageFormat image = figure.charFormat().toImageFormat();
    const QImage natural(kManual + u'/' + image.name());
    QVERIFY(natural.width() > 500);
    QVERIFY(image.width() > 0 && image.width() <= browser.viewport()->width());
    const QRectF block = browser.document()->documentLayout()->blockBoundingRect(figure.block());
    browser.verticalScrollBar()->setValue(static_cast<int>(block.top()));
    const QPointF inside(block.left() + image.width() / 2, block.center().y());
    QVERIFY(
        help.ShowFigureAt((inside - QPointF(0, browser.verticalScrollBar()->value())).toPoint()));
    auto* full = help.findChild<QWidget*>(QStringLiteral("HelpFigure"));
    QVERIFY(full);
    QCOMPARE(full->findChild<QLabel*>()->pixmap().size(), natural.size());
    full->close();

    // "Не найдено" belongs to the chapter it was said in.
    help.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&help));
    help.findField()->setText(QStringLiteral("нет такого текста"));
    QTest::keyClick(help.findField(), Qt::Key_Return);
    QCOMPARE(help.statusText(), QStringLiteral("Не найдено: «нет такого текста»"));
    help.contents()->setCurrentRow(3);
    QCOMPARE(help.statusText(), QString());

    QTest::keyClick(help.findField(), Qt::Key_Escape);
    QVERIFY(!help.isVisible());
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
