#include <QApplication>
#include <cstdio>
#include <cstring>

#include "gui/app/application.h"
#include "gui/app/main_form.h"

namespace {

constexpr char kUsage[] =
    "Использование: pakscope [ФАЙЛ]\n"
    "Просмотр и анализ пакетов канального уровня в окне.\n"
    "\n"
    "  ФАЙЛ       файл, открываемый при запуске: пакеты (QPK, LQPK, pcap, pcapng)\n"
    "             или битовый поток (BIT, BIN)\n"
    "  --help     показать эту справку и выйти\n"
    "  --version  показать версию и выйти\n"
    "\n"
    "Работа с файлами из командной строки: pakscope-cli --help.\n";

}  // namespace

int main(int argc, char* argv[]) {
  // Answered before any window exists, so that they work without a display.
  if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("pakscope %s\n", PAKSCOPE_VERSION);
    return 0;
  }
  QApplication app(argc, argv);
  pakscope::SetUpApplication(app);

  pakscope::TMainForm form;
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) form.setStartupFile(arguments.at(1));
  form.show();
  return QApplication::exec();
}
