#include <QApplication>

#include "gui/app/application.h"
#include "gui/app/main_form.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  pakscope::SetUpApplication(app);

  pakscope::TMainForm form;
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) form.setStartupFile(arguments.at(1));
  form.show();
  return QApplication::exec();
}
