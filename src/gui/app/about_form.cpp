#include "gui/app/about_form.h"

#include <QLabel>
#include <QVBoxLayout>

namespace pakscope {

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("О программе"));
  auto* layout = new QVBoxLayout(this);
  auto* name = new QLabel(QStringLiteral("<h2>Pakscope</h2>"), this);
  auto* version =
      new QLabel(QStringLiteral("Версия %1").arg(QStringLiteral(PAKSCOPE_VERSION)), this);
  auto* purpose = new QLabel(QStringLiteral("Просмотр и анализ пакетов канального уровня"), this);
  for (QLabel* label : {name, version, purpose}) {
    label->setAlignment(Qt::AlignCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(label);
  }
  setMinimumWidth(320);
}

void TAboutForm::mousePressEvent(QMouseEvent*) {
  accept();
}

}  // namespace pakscope
