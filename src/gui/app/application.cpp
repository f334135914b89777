#include "gui/app/application.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

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

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/pakscope-%1.png").arg(size), QSize(size, size));
  return icon;
}

}  // namespace pakscope
