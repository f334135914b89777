// The save and open dialogs and the link-type chooser, answered through their
// real widgets.
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "gui_test_util.h"
#include "packets/link_types.h"
#include "support/temp_dir.h"
#include "view/link_type_form.h"
#include "view/save_dialog_form.h"

namespace pakscope::test {

namespace {

// Runs `answer` on the modal dialog of type T once it is open.
template <typename T>
void WhenOpen(std::function<void(T*)> answer) {
  QTimer::singleShot(0, [answer] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<T*>(modal)) {
      answer(dialog);
    } else {
      // Not up yet: look again on the next turn of the event loop.
      WhenOpen<T>(answer);
    }
  });
}

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
    QCOMPARE(open, (QStringList{"Все поддерживаемые (QPK, LQPK, PCAP, BIT, BIN)",
                                "Пакетные файлы (QPK,LQPK, PCAP)", "Битовые файлы (BIT, BIN)"}));
  }

  void saveDialogReportsTheChosenTypeWhateverTheName() {
    TempDir dir;
    const QString name = QString::fromStdString(dir.file("capture.dat"));
    WhenOpen<QFileDialog>([name](QFileDialog* dialog) {
      auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      QVERIFY(types != nullptr);
      QCOMPARE(types->count(), 5);
      QCOMPARE(types->itemText(2), QStringLiteral("Пакеты без заголовков (*.BIT)"));
      dialog->selectNameFilter(dialog->nameFilters().at(3));
      dialog->selectFile(name);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    TFileDialogs dialogs;
    const auto chosen = dialogs.askSave(nullptr);
    QVERIFY(chosen.has_value());
    QCOMPARE(chosen->first, name);
    QCOMPARE(chosen->second, 4);  // PCAP, although the name ends in .dat
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
};

}  // namespace pakscope::test

QTEST_MAIN(pakscope::test::DialogsTest)
#include "dialogs_test.moc"
