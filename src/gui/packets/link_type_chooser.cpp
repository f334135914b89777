#include "gui/packets/link_type_chooser.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

#include "packets/link_types.h"

namespace pakscope {

TLinkTypeForm::TLinkTypeForm(QWidget* parent, std::optional<uint16_t> preset)
    : QDialog(parent), list_(new QListWidget(this)) {
  setWindowTitle(QStringLiteral("Тип данных"));
  setObjectName(QStringLiteral("LinkTypeForm"));
  setProperty("helpChapter", QStringLiteral("02-packet-files.md#Окно «Тип данных»"));  // F1
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  for (const LinkType& type : kLinkTypes)
    list_->addItem(
        QString::fromUtf8(type.caption.data(), static_cast<qsizetype>(type.caption.size())));
  list_->setCurrentRow(-1);
  list_->clearSelection();
  if (preset) {
    int row = -1;
    for (size_t i = 0; i < kLinkTypes.size() && row < 0; ++i)
      if (kLinkTypes[i].number == *preset) row = static_cast<int>(i);
    if (row < 0) {
      extra_ = preset;
      list_->addItem(QString::number(*preset));
      row = list_->count() - 1;
    }
    list_->setCurrentRow(row);
    list_->scrollToItem(list_->item(row));
  }
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

std::optional<uint32_t> TLinkTypeForm::selectedNumber() const {
  const int position = selectedPosition();
  if (position < 0) return std::nullopt;
  if (position >= static_cast<int>(kLinkTypes.size())) return extra_;
  return LinkTypeNumber(position);
}

std::optional<uint32_t> TLinkTypeForm::choose(QWidget* parent, std::optional<uint16_t> preset) {
  TLinkTypeForm form(parent, preset);
  if (form.exec() != QDialog::Accepted) return std::nullopt;
  return form.selectedNumber();
}

}  // namespace pakscope
