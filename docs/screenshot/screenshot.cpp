// Takes the pictures of the README and the manual: opens a file in the main
// window, presses the named commands and buttons of its packet window, and saves
// a picture of the main window (or of another top-level window named by its
// object name) once everything has been drawn.
//
// Usage: pakscope-screenshot FILE OUTPUT.png [--click NAME,NAME...] [--window NAME]
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "gui/app/application.h"
#include "gui/app/main_form.h"
#include "gui/view/packet_window.h"

namespace {

QWidget* TopLevelNamed(const QString& name) {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->isVisible() && widget->objectName() == name) return widget;
  return nullptr;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  pakscope::SetUpApplication(app);
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  QStringList clicks;
  QString windowName;
  QStringList positional;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == QStringLiteral("--click") && i + 1 < arguments.size())
      clicks = arguments[++i].split(u',', Qt::SkipEmptyParts);
    else if (arguments[i] == QStringLiteral("--window") && i + 1 < arguments.size())
      windowName = arguments[++i];
    else
      positional << arguments[i];
  }
  if (positional.size() != 2) {
    std::fputs("usage: pakscope-screenshot FILE OUTPUT.png [--click NAME,...] [--window NAME]\n",
               stderr);
    return 2;
  }
  const QString output = positional[1];

  pakscope::TMainForm form;
  form.setStartupFile(positional[0]);
  form.show();
  int status = 0;
  QTimer::singleShot(1500, &form, [&form, clicks] {
    pakscope::TMDIChild* window = form.activeChild();
    if (window == nullptr) return;
    for (const QString& name : clicks) {
      if (QAction* action = window->action(name))
        action->trigger();
      else if (auto* button = window->findChild<QAbstractButton*>(name))
        button->click();
      else
        std::fprintf(stderr, "pakscope-screenshot: no command or button %s\n", qPrintable(name));
    }
  });
  QTimer::singleShot(3000, &form, [&form, &status, output, windowName] {
    QWidget* target = windowName.isEmpty() ? &form : TopLevelNamed(windowName);
    if (target == nullptr || !target->grab().save(output)) {
      std::fprintf(stderr, "pakscope-screenshot: cannot take %s\n", qPrintable(output));
      status = 1;
    }
    QApplication::exit(status);
  });
  return QApplication::exec();
}
