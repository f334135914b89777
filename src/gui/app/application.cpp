#include "gui/app/application.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace pakscope {

void SetUpApplication(QApplication& app) {
  QApplication::setApplicationName(QStringLiteral("Pakscope"));
  QApplication::setOrganizationName(QStringLiteral("Vorlund"));
  // No application display name: the window system would append it to every
  // caption ("Ошибка — Pakscope"), and message boxes must read exactly as written.
  auto* translator = new QTranslator(&app);
  if (translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(translator);
  QApplication::setWindowIcon(ApplicationIcon());
  // Lets the desktop match the windows to the installed pakscope.desktop.
  QGuiApplication::setDesktopFileName(QStringLiteral("pakscope"));
}

std::optional<int> AnswerWithoutWindow(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--") break;
    if (argument == "--version") {
      std::printf("pakscope %s\n", PAKSCOPE_VERSION);
      return 0;
    }
    if (argument == "--help" || argument == "-h") {
      std::fputs(
          "Использование: pakscope [ФАЙЛ]\n"
          "Открывает ФАЙЛ в окне пакетов главного окна: файлы пакетов QPK и LQPK, записи\n"
          "pcap и pcapng, битовые потоки BIT и BIN (и файлы с другим расширением — после\n"
          "вопроса). Без ФАЙЛА открывается пустое главное окно.\n"
          "\n"
          "Параметры:\n"
          "  -h, --help   показать эту справку и выйти\n"
          "  --version    показать версию и выйти\n"
          "  --           дальше только имя файла\n"
          "\n"
          "Без окна, в сценариях и конвейерах: pakscope-cli --help\n"
          "Руководство: F1 в программе.\n",
          stdout);
      return 0;
    }
  }
  return std::nullopt;
}

namespace {

QtMessageHandler previousHandler = nullptr;

[[noreturn]] void sayNoDisplay(const char* detail) {
  std::fprintf(stderr,
               "pakscope: нет доступа к дисплею, окно открыть нельзя%s%s\n"
               "Без окна работает pakscope-cli (pakscope-cli --help).\n",
               detail != nullptr ? ": " : ".", detail != nullptr ? detail : "");
  std::fflush(stderr);
  std::_Exit(1);  // no clean-up: Qt is half started
}

// Qt ends with a fatal message when its platform cannot start.
void fatalMeansNoDisplay(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) sayNoDisplay(text.toLocal8Bit().constData());
  if (previousHandler != nullptr) previousHandler(type, context, text);
}

}  // namespace

void ExitWhenNoDisplay() {
  const bool platformNamed = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
  if (!platformNamed && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    sayNoDisplay("не заданы DISPLAY и WAYLAND_DISPLAY");
  previousHandler = qInstallMessageHandler(fatalMeansNoDisplay);
}

void StopWatchingForDisplay() {
  qInstallMessageHandler(previousHandler);
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/pakscope-%1.png").arg(size), QSize(size, size));
  return icon;
}

}  // namespace pakscope
