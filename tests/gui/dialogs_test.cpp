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
    QTest::addColumn<int>("preset");  // -1: none
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("rows");
    QTest::addRow("ethernet") << -1 << 1 << true << 1 << 76;
    QTest::addRow("last entry") << -1 << 75 << true << 143 << 76;
    QTest::addRow("ok without a choice") << -1 << -1 << true << -1 << 76;
    QTest::addRow("cancel") << -1 << 1 << false << -1 << 76;
    QTest::addRow("preset taken as it is") << 9 << -1 << true << 9 << 76;
    QTest::addRow("preset changed") << 9 << 1 << true << 1 << 76;
    QTest::addRow("preset outside the table") << 65535 << -1 << true << 65535 << 77;
  }
  void chooserAnswers() {
    QFETCH(int, preset);
    QFETCH(int, row);
    QFETCH(bool, ok);
    QFETCH(int, expected);
    QFETCH(int, rows);
    int shownRows = 0;
    WhenOpen<TLinkTypeForm>([row, ok, &shownRows](TLinkTypeForm* form) {
      shownRows = form->list()->count();
      if (row >= 0) form->list()->setCurrentRow(row);
      auto* buttons = form->findChild<QDialogButtonBox*>();
      buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    });
    const std::optional<uint32_t> chosen =
        TLinkTypeForm::choose(nullptr, preset < 0 ? std::nullopt : std::optional<uint16_t>(preset));
    QCOMPARE(chosen ? static_cast<int>(*chosen) : -1, expected);
    QCOMPARE(shownRows, rows);
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

  void saveDialogOffersSixTypesInWriterOrder() {
    QStringList captions;
    for (const FileFilter& f : SaveFilters()) captions << f.caption;
    QCOMPARE(captions,
             (QStringList{"Пакеты (*.QPK)", "Пакеты (*.LQPK)", "Пакеты без заголовков (*.BIT)",
                          "Пакеты (*.PCAP)", "Пакеты (*.TXT)", "PCAPNG (*.pcapng)"}));
    QCOMPARE(WriterFormatOfEntry(6), 5);  // PCAPNG
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
    QCOMPARE(shownTypes.size(), 6);  // the captions as written, patterns hidden
    QCOMPARE(shownTypes.at(2), QStringLiteral("Пакеты без заголовков (*.BIT)"));
  }

  void captureSavesAskTheLinkTypeWhereItIsNeeded() {
    TempDir dir;
    const QString pcap = QString::fromStdString(dir.file("x.pcap"));
    const auto typed = [](std::vector<std::optional<uint16_t>> types) {
      PacketList list;
      for (const auto& type : types) {
        list.emplace_back(PACKET(std::vector<uint8_t>{1}));
        list.back().setLink(type);
      }
      return list;
    };
    ScriptedDialogs dialogs;
    TQtHost host;
    host.scripted = true;
    // One link type: the chooser opens on it, and the choice is the file's.
    dialogs.saves.push_back({pcap, 4});
    dialogs.linkTypes.push_back(75);
    auto target = AskSaveTarget(dialogs, nullptr, typed({9, 9}), host);
    QVERIFY(target.has_value());
    QCOMPARE(target->writerFormat, 3);
    QCOMPARE(target->linkType, 143u);
    QCOMPARE(dialogs.presets.back(), std::optional<uint16_t>(9));
    dialogs.saves.push_back({pcap, 4});
    QVERIFY(!AskSaveTarget(dialogs, nullptr, typed({}), host).has_value());  // chooser cancelled
    QCOMPARE(dialogs.presets.back(), std::nullopt);

    // Several: the save offers pcapng under the pcapng name; No saves nothing.
    const PacketList mixed = typed({1, 9, std::nullopt});
    dialogs.saves.push_back({pcap, 4});
    host.answers.push_back(MsgResult::No);
    QVERIFY(!AskSaveTarget(dialogs, nullptr, mixed, host).has_value());
    QCOMPARE(host.messages.back().text,
             std::string("Пакеты списка имеют разные типы данных: "
                         "ETHERNET, PPP.\r\nФайл PCAP хранит один тип "
                         "данных.\r\nСохранить список в формате PCAPNG?"));
    dialogs.saves.push_back({pcap, 4});
    host.answers.push_back(MsgResult::Yes);
    dialogs.linkTypes.push_back(1);
    target = AskSaveTarget(dialogs, nullptr, mixed, host);
    QVERIFY(target.has_value());
    QCOMPARE(target->writerFormat, 5);
    QCOMPARE(target->fileName, QString::fromStdString(dir.file("x.pcapng")));
    QCOMPARE(dialogs.presets.back(), std::nullopt);  // for the packet without one
    // An existing x.pcapng is not replaced without a word.
    QFile(QString::fromStdString(dir.file("x.pcapng"))).open(QIODevice::WriteOnly);
    dialogs.saves.push_back({pcap, 4});
    host.answers = {MsgResult::Yes, MsgResult::No};
    QVERIFY(!AskSaveTarget(dialogs, nullptr, mixed, host).has_value());
    QCOMPARE(host.messages.back().caption, std::string("Подтверждение"));

    // pcapng of packets that all have a link type, and BIT, ask none.
    const int asked = dialogs.linkTypeAsked;
    dialogs.saves.push_back({QStringLiteral("/tmp/x.pcapng"), 6});
    QCOMPARE(AskSaveTarget(dialogs, nullptr, typed({1, 9}), host)->writerFormat, 5);
    dialogs.saves.push_back({QStringLiteral("/tmp/x.bit"), 3});
    QCOMPARE(AskSaveTarget(dialogs, nullptr, mixed, host)->writerFormat, 0);
    QCOMPARE(dialogs.linkTypeAsked, asked);
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
