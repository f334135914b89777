#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include "app/main_form.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Pakscope"));
  QApplication::setApplicationDisplayName(QStringLiteral("Pakscope"));
  QApplication::setOrganizationName(QStringLiteral("Vorlund"));
  // The standard dialogs and buttons speak Russian like the rest of the program.
  QTranslator qtTranslation;
  if (qtTranslation.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTranslation);

  pakscope::TMainForm form;
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) form.setStartupFile(arguments.at(1));
  form.show();
  // For the documentation: PAKSCOPE_SCREENSHOT=file.png saves a picture of the
  // window once the start-up file is shown, then quits.
  const QString shot = qEnvironmentVariable("PAKSCOPE_SCREENSHOT");
  if (!shot.isEmpty())
    QTimer::singleShot(2000, &form, [&form, shot] {
      form.grab().save(shot);
      QApplication::quit();
    });
  return QApplication::exec();
}
