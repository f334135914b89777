#include <QApplication>
#include <QMessageBox>

#include "gui/app/application.h"
#include "gui/app/main_form.h"
#include "packets/memory_budget.h"

int main(int argc, char* argv[]) {
  if (const std::optional<int> status = pakscope::AnswerWithoutWindow(argc, argv)) return *status;
  pakscope::ExitWhenNoDisplay();
  QApplication app(argc, argv);
  pakscope::StopWatchingForDisplay();
  pakscope::SetUpApplication(app);
  if (const auto badLimit = pakscope::MemoryLimitSettingError()) {
    QMessageBox::critical(nullptr, "Ошибка", QString::fromStdString(*badLimit));
    return 2;
  }

  pakscope::TMainForm form;
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  if (!arguments.isEmpty() && arguments.first() == QStringLiteral("--")) arguments.removeFirst();
  if (!arguments.isEmpty()) form.setStartupFile(arguments.first());
  form.show();
  return QApplication::exec();
}
