#include "gui/app/application.h"

#include <QApplication>
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
}

}  // namespace pakscope
