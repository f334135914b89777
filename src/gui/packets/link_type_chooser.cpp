#include "gui/packets/link_type_chooser.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

#include "packets/link_types.h"

namespace pakscope {

TLinkTypeForm::TLinkTypeForm(QWidget* parent) : QDialog(parent), list_(new QListWidget(this)) {
  setWindowTitle(QStringLiteral("Тип данных"));
  setObjectName(QStringLiteral("LinkTypeForm"));
  setProperty("helpChapter", QStringLiteral("02-packet-files.md#Окно «Тип данных»"));  // F1
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  for (const LinkType& type : kLinkTypes)
    list_->addItem(
        QString::fromUtf8(type.caption.data(), static_cast<qsizetype>(type.caption.size())));
  list_->setCurrentRow(-1);
  list_->clearSelection();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(buttons);
  resize(260, 360);
}

int TLinkTypeForm::selectedPosition() const {
  const QList<QListWidgetItem*> items = list_->selectedItems();
  return items.isEmpty() ? -1 : list_->row(items.front());
}

std::optional<int> TLinkTypeForm::choose(QWidget* parent) {
  TLinkTypeForm form(parent);
  if (form.exec() != QDialog::Accepted) return std::nullopt;
  const int position = form.selectedPosition();
  if (position < 0) return std::nullopt;
  return position;
}

}  // namespace pakscope
