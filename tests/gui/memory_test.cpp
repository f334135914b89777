// Commands that cannot get memory: refused up front or caught, every list whole.
#include <sys/resource.h>
#include <unistd.h>

#include <QMdiSubWindow>
#include <QProcess>
#include <QtTest>
#include <filesystem>
#include <iostream>
#include <new>

#include "gui/app/main_form.h"
#include "gui/protocols/protocol_panel.h"
#include "gui/view/draw_grid.h"
#include "gui/view/packet_window.h"
#include "gui_test_util.h"
#include "packets/memory_budget.h"
#include "support/capture_files.h"
#include "support/recording_host.h"
#include "support/sanitizer.h"
#include "support/temp_dir.h"

namespace pakscope::test {

namespace {

// The window shows what its list holds.
bool Consistent(TMDIChild* window) {
  const PacketList& list = window->packets();
  return !window->view().busy && window->loaded() &&
         window->grid()->layout().rowCount() == static_cast<int>(list.size()) + 1 &&
         window->statusText(0) == QStringLiteral("Всего пакетов: %1").arg(list.size());
}

// A window fills this list, then a load under a lowered address-space limit
// runs out of memory: the list stays, the new window goes, the user is told.
int LowMemoryChild(const char* zeros) {
  ScriptedDialogs* dialogs = nullptr;
  auto form = MakeScriptedForm(dialogs);
  form->PasteText(QStringLiteral("01 02 03\n04"));
  unsigned long pages = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%lu", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  const uint64_t cap = pages * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE)) + (200u << 20);
  const rlimit limit{cap, cap};
  if (pages == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0) return 3;
  const bool opened = form->OpenFile(QString::fromLocal8Bit(zeros));
  const QList<TMDIChild*> windows = form->packetWindows();
  std::cout << "opened " << opened << "\nwindows " << windows.size() << '\n';
  for (const auto& message : form->host().messages)
    std::cout << "message " << message.caption << ": " << message.text << '\n';
  const auto& messages = form->host().messages;
  const bool told = messages.size() == 1 && messages[0].caption == "Ошибка" &&
                    messages[0].text == OutOfMemoryText("Открытие файла");
  const bool untouched = windows.size() == 1 &&
                         contents(windows[0]->packets()) == std::vector<Bytes>{{1, 2, 3}, {4}} &&
                         Consistent(windows[0]);
  return !opened && told && untouched ? 0 : 1;
}

}  // namespace

class MemoryTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainForm> form_;
  ScriptedDialogs* dialogs_ = nullptr;
  TempDir dir_;

  QString file(const std::string& name) const { return Q(dir_.file(name)); }

 private slots:
  void initTestCase() {
    writeFile(dir_.file("three.qpk"),
              qpkImage({Bytes(10, 1), {2, 2, 2, 2, 2, 2, 2, 2, 2, 2}, Bytes(10, 3)}));
  }
  void cleanup() {
    SetMemoryBudget(std::nullopt);
    if (form_)
      for (TMDIChild* child : form_->packetWindows()) child->setLoaded(true);
    form_.reset();
  }

  void commandsOverTheBudgetAreRefused_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("operation");
    QTest::addRow("bits to bytes") << "Bits2BytesAction"
                                   << "Биты->Байты/Байты->Биты";
    QTest::addRow("split") << "BreakButton"
                           << "Разбиение пакета";
    QTest::addRow("join") << "ConcatButton"
                          << "Объединение пакетов";
    QTest::addRow("append") << "ConcatNewQPK"
                            << "Подгрузить файл";
    QTest::addRow("save by colour") << "SaveByColor"
                                    << "Сохранить пакеты этого цвета";
    QTest::addRow("analysis") << "analyse"
                              << "Анализ протоколов";
    QTest::addRow("open") << "open"
                          << "Открытие файла";
    QTest::addRow("open with packetization") << "packetize"
                                             << "Открытие файла с пакетизацией";
    QTest::addRow("paste") << "paste"
                           << "Вставка из буфера обмена";
  }
  void commandsOverTheBudgetAreRefused() {
    QFETCH(QString, command);
    QFETCH(QString, operation);
    form_ = MakeScriptedForm(dialogs_);
    form_->show();
    form_->PasteText(QStringLiteral("01 02 03\n04 05"));
    QVERIFY(form_->OpenFile(file("three.qpk")));
    TMDIChild* other = form_->packetWindows().at(0);
    TMDIChild* target = form_->activeChild();
    QVERIFY(other != target);
    target->grid()->setFocusCell(5, 2);
    const auto before = std::pair(contents(other->packets()), contents(target->packets()));

    SetMemoryBudget(1);
    if (command == "open") {
      QVERIFY(!form_->OpenFile(file("three.qpk")));
    } else if (command == "packetize") {
      QVERIFY(!form_->OpenWithPacketize(file("three.qpk")));
    } else if (command == "paste") {
      form_->PasteText(QStringLiteral("0A"));
    } else if (command == "analyse") {
      target->protocolPanel()->AnalizeProtocols();
    } else {
      dialogs_->opens.push_back(file("three.qpk"));
      dialogs_->saves.push_back({file("saved.qpk"), 1});
      target->action(command)->trigger();
    }
    SetMemoryBudget(std::nullopt);

    const auto& messages = form_->host().messages;
    QCOMPARE(messages.size(), size_t{1});
    QCOMPARE(Q(messages[0].caption), QStringLiteral("Ошибка"));
    QCOMPARE(Q(messages[0].text), Q(OutOfMemoryText(operation.toStdString())));
    QCOMPARE(form_->packetWindows().size(), 2);
    QCOMPARE(std::pair(contents(other->packets()), contents(target->packets())), before);
    QVERIFY(Consistent(other));
    QVERIFY(Consistent(target));
    QVERIFY(!target->expanded());
    QVERIFY(!target->action(QStringLiteral("Bits2BytesAction"))->isChecked());
    QVERIFY(!std::filesystem::exists(dir_.file("saved.qpk")));
  }

  void anAppendThatRunsOutOfMemoryLeavesTheListWhole() {
    // Enough records for the loader to let events run, where the failure strikes.
    writeFile(dir_.file("many.qpk"), qpkImage(std::vector<Bytes>(30000, Bytes{7})));
    RecordingHost host;
    ScriptedDialogs dialogs;
    TMDIChild window(host, dialogs, QFont(), "/nonexistent");
    window.packets() = Packets({{1, 2}, {3}});
    window.setLoaded(true);
    window.RefreshGrid(2);
    host.onEvents = [](RecordingHost&) { throw std::bad_alloc(); };
    dialogs.opens.push_back(file("many.qpk"));
    window.action(QStringLiteral("ConcatNewQPK"))->trigger();
    QCOMPARE(contents(window.packets()), (std::vector<Bytes>{{1, 2}, {3}}));
    QVERIFY(Consistent(&window));
    QCOMPARE(host.messageTexts(), std::vector<std::string>{OutOfMemoryText("Подгрузить файл")});
    // With memory to be had, the same append works.
    host.onEvents = nullptr;
    dialogs.opens.push_back(file("many.qpk"));
    window.action(QStringLiteral("ConcatNewQPK"))->trigger();
    QCOMPARE(window.packets().size(), size_t{30002});
    QVERIFY(Consistent(&window));
  }

  void aLoadThatRunsOutOfMemoryDiscardsItsWindow() {
    if (kAddressSanitizer) QSKIP(kNoRlimitUnderSanitizer);
    // 32 MB of zeros: 16 million empty records, far more list than the limit
    // lets the child have, from a file whose size passes the check.
    const std::string zeros = dir_.file("zeros.qpk");
    writeFile(zeros, Bytes{});
    std::filesystem::resize_file(zeros, 32 << 20);
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--low-memory-child"), Q(zeros)});
    QVERIFY(child.waitForFinished(120000));
    const QString output = QString::fromUtf8(child.readAllStandardOutput()) +
                           QString::fromUtf8(child.readAllStandardError());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             qPrintable(output));
  }
};

}  // namespace pakscope::test

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc == 3 && std::string_view(argv[1]) == "--low-memory-child")
    return pakscope::test::LowMemoryChild(argv[2]);
  pakscope::test::MemoryTest test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "memory_test.moc"
