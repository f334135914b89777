#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include "app/main_form.h"
#include "view/mdi_child_window.h"

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
  // window once the start-up file is shown, then quits. PAKSCOPE_SCREENSHOT_CLICKS
  // names commands and buttons of the packet window to press first, in order.
  const QString shot = qEnvironmentVariable("PAKSCOPE_SCREENSHOT");
  if (!shot.isEmpty()) {
    const QStringList clicks =
        qEnvironmentVariable("PAKSCOPE_SCREENSHOT_CLICKS").split(u',', Qt::SkipEmptyParts);
    QTimer::singleShot(1500, &form, [&form, clicks] {
      pakscope::TMDIChild* window = form.activeChild();
      if (window == nullptr) return;
      for (const QString& name : clicks) {
        if (QAction* action = window->action(name))
          action->trigger();
        else if (auto* button = window->findChild<QAbstractButton*>(name))
          button->click();
      }
    });
    QTimer::singleShot(3000, &form, [&form, shot] {
      form.grab().save(shot);
      QApplication::quit();
    });
  }
  return QApplication::exec();
}
