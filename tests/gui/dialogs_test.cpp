// The save and open dialogs and the link-type chooser, answered through their
// real widgets.
#include <qpa/qplatformwindow.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "gui/app/about_form.h"
#include "gui/app/application.h"
#include "gui/app/qt_host.h"
#include "gui/packets/link_type_chooser.h"
#include "gui/packets/save_dialog.h"
#include "gui_test_util.h"
#include "packets/link_types.h"
#include "support/temp_dir.h"

namespace pakscope::test {

namespace {

// The window system's title of a window: its caption with the application
// display name, when one is set, appended the way every platform does.
struct PlatformTitle : QPlatformWindow {
  using QPlatformWindow::formatWindowTitle;
};

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void linkTypeChooserListsTheTableWithNothingSelected() {
    TLinkTypeForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Тип данных"));
    QCOMPARE(form.list()->count(), 76);
    QCOMPARE(form.list()->item(0)->text(), QStringLiteral("NULL"));
    QCOMPARE(form.list()->item(22)->text(), QStringLiteral("USER16"));
    QCOMPARE(form.list()->item(75)->text(), QStringLiteral("DOCSIS"));
    QCOMPARE(form.selectedPosition(), -1);
    form.list()->setCurrentRow(58);
    QCOMPARE(form.selectedPosition(), 58);
    QCOMPARE(LinkTypeNumber(form.selectedPosition()), 225u);  // FC_2_WITH_FRAME_DELIMS
  }

  void chooserAnswers_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("expected");
    QTest::addRow("ethernet") << 1 << true << 1;
    QTest::addRow("last entry") << 75 << true << 75;
    QTest::addRow("ok without a choice") << -1 << true << -1;
    QTest::addRow("cancel") << 1 << false << -1;
  }
  void chooserAnswers() {
    QFETCH(int, row);
    QFETCH(bool, ok);
    QFETCH(int, expected);
    WhenOpen<TLinkTypeForm>([row, ok](TLinkTypeForm* form) {
      if (row >= 0) form->list()->setCurrentRow(row);
      auto* buttons = form->findChild<QDialogButtonBox*>();
      buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    });
    const std::optional<int> chosen = TLinkTypeForm::choose(nullptr);
    QCOMPARE(chosen.value_or(-1), expected);
  }

  void hostMessageBoxesShowCaptionIconAndButtons_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("press");
    QTest::addColumn<int>("result");
    using B = QMessageBox::StandardButton;
    QTest::addRow("error ok") << int(MsgButtons::Ok) << int(MsgIcon::Error) << int(B::Ok)
                              << int(MsgResult::Ok);
    QTest::addRow("question yes") << int(MsgButtons::YesNo) << int(MsgIcon::Question) << int(B::Yes)
                                  << int(MsgResult::Yes);
    QTest::addRow("question no") << int(MsgButtons::YesNo) << int(MsgIcon::Question) << int(B::No)
                                 << int(MsgResult::No);
    QTest::addRow("cancel") << int(MsgButtons::YesNoCancel) << int(MsgIcon::Exclamation)
                            << int(B::Cancel) << int(MsgResult::Cancel);
    QTest::addRow("ok cancel") << int(MsgButtons::OkCancel) << int(MsgIcon::Information)
                               << int(B::Cancel) << int(MsgResult::Cancel);
  }
  void hostMessageBoxesShowCaptionIconAndButtons() {
    QFETCH(int, buttons);
    QFETCH(int, icon);
    QFETCH(int, press);
    QFETCH(int, result);
    static const QMessageBox::Icon kIcons[] = {QMessageBox::NoIcon, QMessageBox::Information,
                                               QMessageBox::Warning, QMessageBox::Critical,
                                               QMessageBox::Question};
    static const int kButtonCount[] = {1, 2, 2, 3};
    // What the box showed is read while it is open and checked after it closed,
    // so that a wrong box never stays open.
    QString title, text;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    int shownButtons = 0;
    WhenOpen<QMessageBox>([&](QMessageBox* box) {
      title = box->windowTitle();
      text = box->text();
      shownIcon = box->icon();
      shownButtons = int(box->buttons().size());
      if (QAbstractButton* b = box->button(static_cast<QMessageBox::StandardButton>(press)))
        b->click();
      else
        box->reject();
    });
    TQtHost host;
    const MsgResult answer = host.messageBox(
        "Файл не найден", "Ошибка", static_cast<MsgButtons>(buttons), static_cast<MsgIcon>(icon));
    QCOMPARE(title, QStringLiteral("Ошибка"));
    QCOMPARE(text, QStringLiteral("Файл не найден"));
    QCOMPARE(shownIcon, kIcons[icon]);
    QCOMPARE(shownButtons, kButtonCount[buttons]);
    QCOMPARE(int(answer), result);
  }

  void hostPromptReturnsTheTextOrNothing() {
    TQtHost host;
    QString title, offered;
    WhenOpen<QInputDialog>([&](QInputDialog* dialog) {
      title = dialog->windowTitle();
      offered = dialog->textValue();
      dialog->setTextValue(QStringLiteral("64"));
      dialog->accept();
    });
    QCOMPARE(host.inputQuery("Введите период", "Введите период, бит", "1024").value_or("-"),
             std::string("64"));
    QCOMPARE(title, QStringLiteral("Введите период"));
    QCOMPARE(offered, QStringLiteral("1024"));
    WhenOpen<QInputDialog>([](QInputDialog* dialog) { dialog->reject(); });
    QVERIFY(!host.inputQuery("Введите период", "Введите период, бит", "1024").has_value());
  }

  void saveDialogOffersFiveTypesInWriterOrder() {
    QStringList captions;
    for (const FileFilter& f : SaveFilters()) captions << f.caption;
    QCOMPARE(captions,
             (QStringList{"Пакеты (*.QPK)", "Пакеты (*.LQPK)", "Пакеты без заголовков (*.BIT)",
                          "Пакеты (*.PCAP)", "Пакеты (*.TXT)"}));
    QCOMPARE(WriterFormatOfEntry(1), 1);  // QPK
    QCOMPARE(WriterFormatOfEntry(2), 2);  // LQPK
    QCOMPARE(WriterFormatOfEntry(3), 0);  // BIT
    QCOMPARE(WriterFormatOfEntry(4), 3);  // PCAP
    QCOMPARE(WriterFormatOfEntry(5), 4);  // TXT
    QStringList open;
    for (const FileFilter& f : OpenFilters()) open << f.caption;
    QCOMPARE(open,
             (QStringList{"Все поддерживаемые (QPK, LQPK, PCAP, PCAPNG, BIT, BIN)",
                          "Пакетные файлы (QPK,LQPK, PCAP, PCAPNG)", "Битовые файлы (BIT, BIN)"}));
  }

  void saveDialogReportsTheChosenTypeWhateverTheName() {
    TempDir dir;
    const QString name = QString::fromStdString(dir.file("capture.dat"));
    QStringList shownTypes;
    WhenOpen<QFileDialog>([&](QFileDialog* dialog) {
      if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        for (int i = 0; i < types->count(); ++i) shownTypes << types->itemText(i);
      dialog->selectNameFilter(dialog->nameFilters().at(3));
      dialog->selectFile(name);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    TFileDialogs dialogs;
    const auto chosen = dialogs.askSave(nullptr);
    QVERIFY(chosen.has_value());
    QCOMPARE(chosen->first, name);
    QCOMPARE(chosen->second, 4);     // PCAP, although the name ends in .dat
    QCOMPARE(shownTypes.size(), 5);  // the captions as written, patterns hidden
    QCOMPARE(shownTypes.at(2), QStringLiteral("Пакеты без заголовков (*.BIT)"));
  }

  void pcapSavesAskTheLinkTypeAndOthersDoNot() {
    ScriptedDialogs dialogs;
    dialogs.saves.push_back({QStringLiteral("/tmp/x.pcap"), 4});
    dialogs.linkTypes.push_back(75);
    auto target = AskSaveTarget(dialogs, nullptr);
    QVERIFY(target.has_value());
    QCOMPARE(target->writerFormat, 3);
    QCOMPARE(target->linkType, 143u);
    dialogs.saves.push_back({QStringLiteral("/tmp/x.pcap"), 4});
    QVERIFY(!AskSaveTarget(dialogs, nullptr).has_value());  // chooser cancelled
    dialogs.saves.push_back({QStringLiteral("/tmp/x.bit"), 3});
    target = AskSaveTarget(dialogs, nullptr);
    QCOMPARE(target->writerFormat, 0);
    QCOMPARE(dialogs.linkTypeAsked, 2);
  }

  // Last: it sets the application up as the program does. The platform builds
  // the title it shows from the caption (and any application display name).
  void captionsShowAsWrittenOnThePlatform() {
    SetUpApplication(*qApp);
    const auto shown = [](QWidget* window) {
      return PlatformTitle::formatWindowTitle(window->windowHandle()->title(),
                                              QStringLiteral(" — "));
    };
    QString boxTitle;
    WhenOpen<QMessageBox>([&](QMessageBox* box) {
      boxTitle = shown(box);
      box->accept();
    });
    TQtHost host;
    host.messageBox("Файл не найден", "Ошибка", MsgButtons::Ok, MsgIcon::Error);
    QCOMPARE(boxTitle, QStringLiteral("Ошибка"));
    TLinkTypeForm chooser;
    TAboutForm about;
    const std::pair<QWidget*, QString> windows[] = {{&chooser, QStringLiteral("Тип данных")},
                                                    {&about, QStringLiteral("О программе")}};
    for (const auto& [window, caption] : windows) {
      window->show();
      QCOMPARE(shown(window), caption);
      window->hide();
    }
  }
};

}  // namespace pakscope::test

QTEST_MAIN(pakscope::test::DialogsTest)
#include "dialogs_test.moc"
