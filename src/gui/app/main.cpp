#include <QApplication>
#include <QMessageBox>

#include "gui/app/application.h"
#include "gui/app/main_form.h"
#include "packets/memory_budget.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  pakscope::SetUpApplication(app);
  if (const auto badLimit = pakscope::MemoryLimitSettingError()) {
    QMessageBox::critical(nullptr, "Ошибка", QString::fromStdString(*badLimit));
    return 2;
  }

  pakscope::TMainForm form;
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) form.setStartupFile(arguments.at(1));
  form.show();
  return QApplication::exec();
}
