#include "gui/tools/stat_form.h"

#include <QAction>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/tools/tool_support.h"
#include "gui/view/packet_window.h"

namespace pakscope {

namespace {

// Rows of the grid below its header when the window opens.
constexpr int kOpeningRows = 49;
constexpr int kNarrowColumn = 30;
constexpr int kLengthColumn = 50;

}  // namespace

void TStatModel::showBlank(int blankRows) {
  beginResetModel();
  result_.reset();
  blankRows_ = blankRows;
  endResetModel();
}

void TStatModel::showResult(StatisticsResult result, QString separator) {
  beginResetModel();
  result_ = std::move(result);
  separator_ = std::move(separator);
  blankRows_ = 0;
  endResetModel();
}

void TStatModel::setFirstHeader(const QString& header) {
  firstHeader_ = header;
  emit headerDataChanged(Qt::Horizontal, 0, 0);
}

int TStatModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return result_ ? static_cast<int>(result_->rows.size()) : blankRows_;
}

int TStatModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(kStatColumns);
}

QVariant TStatModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !result_ || !index.isValid()) return {};
  const auto row = static_cast<size_t>(index.row());
  if (row >= result_->rows.size()) return {};
  const std::string separator = separator_.toStdString();
  return Q(StatRowCells(*result_, row, separator)[static_cast<size_t>(index.column())]);
}

QVariant TStatModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return QVariant(section + 1);
  if (section == 0) return firstHeader_;
  if (section > 0 && section < static_cast<int>(kStatColumns))
    return Q(kStatHeaders[static_cast<size_t>(section)]);
  return {};
}

TStatForm::TStatForm(CHost& host, QWidget* parent) : QDialog(parent), host_(host) {
  setObjectName(QStringLiteral("StatForm"));
  setWindowTitle(Q(kStatCaption));
  MarkAsAnalysisTool(this, "Статистика");
  model_.setFirstHeader(Q(kStatLengthHeader));

  auto* params = new QGroupBox(Q(kStatParamsCaption));
  params->setObjectName(QStringLiteral("ParamRadio"));
  auto* paramsLayout = new QVBoxLayout(params);
  kindGroup_ = new QButtonGroup(this);
  for (int i = 0; i < 2; ++i) {
    auto* radio = new QRadioButton(Q(kStatParamsItems[i]));
    kindGroup_->addButton(radio, i);
    paramsLayout->addWidget(radio);
  }
  kindGroup_->button(0)->setChecked(true);
  connect(kindGroup_, &QButtonGroup::idClicked, this,
          [this](int id) { setKind(static_cast<StatKind>(id)); });

  auto* numbers = new QWidget;
  auto* numbersLayout = new QGridLayout(numbers);
  numbersLayout->setContentsMargins(0, 0, 0, 0);
  auto* numbersLabel = new QLabel(Q(kStatByteNumbersLabel));
  QFont bold = numbersLabel->font();
  bold.setBold(true);
  numbersLabel->setFont(bold);
  numbersLayout->addWidget(numbersLabel, 0, 0, 1, 8);
  for (size_t i = 0; i < kStatByteFields; ++i) {
    auto* spin = new QSpinBox;
    spin->setObjectName(QStringLiteral("CSpinEdit%1").arg(i + 1));
    spin->setRange(kStatFieldMin, kStatFieldMax);
    spin->setValue(0);
    spins_[i] = spin;
    numbersLayout->addWidget(spin, 1 + static_cast<int>(i) / 4, static_cast<int>(i) % 4);
  }
  autoFill_ = new QPushButton(QStringLiteral("+1"));
  autoFill_->setObjectName(QStringLiteral("AutoFillBtn"));
  autoFill_->setToolTip(Q(kStatAutoFillHint));
  connect(autoFill_, &QPushButton::clicked, this, &TStatForm::AutoFill);
  clear_ = new QPushButton(QStringLiteral("0"));
  clear_->setObjectName(QStringLiteral("ClearBtn"));
  clear_->setToolTip(Q(kStatClearHint));
  connect(clear_, &QPushButton::clicked, this, &TStatForm::ClearFields);
  start_ = new QPushButton(QStringLiteral("Пуск"));
  start_->setObjectName(QStringLiteral("StartBtn"));
  start_->setToolTip(Q(kStatStartHint));
  start_->setAutoDefault(false);
  connect(start_, &QPushButton::clicked, this, &TStatForm::Run);
  for (QPushButton* b : {autoFill_, clear_}) b->setAutoDefault(false);

  run_ = new QAction(QStringLiteral("Run"), this);
  run_->setObjectName(QStringLiteral("Run"));
  run_->setShortcuts({QKeySequence(Qt::Key_F9), QKeySequence(Qt::Key_F2)});
  run_->setShortcutContext(Qt::WindowShortcut);
  addAction(run_);
  connect(run_, &QAction::triggered, this, &TStatForm::Run);
  auto* closeAction = new QAction(QStringLiteral("CloseAction"), this);
  closeAction->setObjectName(QStringLiteral("CloseAction"));
  closeAction->setShortcut(QKeySequence(Qt::Key_Escape));
  addAction(closeAction);
  connect(closeAction, &QAction::triggered, this, &QDialog::reject);

  summary_ = new QLabel;
  summary_->setObjectName(QStringLiteral("Label1"));
  grid_ = new QTableView;
  grid_->setObjectName(QStringLiteral("ResultGrid"));
  grid_->setModel(&model_);
  grid_->verticalHeader()->hide();
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->verticalHeader()->setDefaultSectionSize(18);
  grid_->horizontalHeader()->setMinimumSectionSize(20);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(autoFill_);
  buttons->addWidget(clear_);
  buttons->addStretch(1);
  buttons->addWidget(start_);
  auto* top = new QHBoxLayout;
  top->addWidget(params);
  auto* right = new QVBoxLayout;
  right->addWidget(numbers);
  right->addLayout(buttons);
  top->addLayout(right, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(summary_);
  layout->addWidget(grid_, 1);
  resize(520, 520);
  setKind(StatKind::Lengths);
  updateRunButtons();
}

void TStatForm::Bind(TMDIChild& window) {
  BindPacketWindow(this, bound_, window, [this] { updateRunButtons(); });
  // The opening state: 49 empty rows under a "Длина" header, narrow columns,
  // and the first byte number from the packet window's current column.
  model_.showBlank(kOpeningRows);
  model_.setFirstHeader(Q(kStatLengthHeader));
  for (int c = 0; c < 8; ++c) grid_->setColumnWidth(c, kNarrowColumn);
  grid_->setColumnWidth(0, kLengthColumn);
  spins_[0]->setValue(std::max(window.currentColumn(), kStatFieldMin));
}

void TStatForm::Open(TMDIChild& window) {
  QCoreApplication::processEvents();
  Bind(window);
  exec();
}

void TStatForm::updateRunButtons() {
  const bool usable = bound_ != nullptr && !running_;
  start_->setEnabled(usable);
  run_->setEnabled(usable);
}

StatKind TStatForm::kind() const {
  return kindGroup_->checkedId() == 1 ? StatKind::ByteValues : StatKind::Lengths;
}

std::array<int32_t, kStatByteFields> TStatForm::fields() const {
  std::array<int32_t, kStatByteFields> values{};
  for (size_t i = 0; i < kStatByteFields; ++i) values[i] = spins_[i]->value();
  return values;
}

QString TStatForm::summary() const {
  return summary_->text();
}

void TStatForm::setKind(StatKind kind) {
  const bool bytes = kind == StatKind::ByteValues;
  kindGroup_->button(bytes ? 1 : 0)->setChecked(true);
  for (QSpinBox* spin : spins_) spin->setEnabled(bytes);
  autoFill_->setEnabled(bytes);
  clear_->setEnabled(bytes);
  grid_->setColumnWidth(0, bytes ? kNarrowColumn : kLengthColumn);
  model_.setFirstHeader(Q(StatColumn0Header(kind)));
}

void TStatForm::AutoFill() {
  auto values = fields();
  if (!AutoFillByteNumbers(values)) return;
  for (size_t i = 0; i < kStatByteFields; ++i) spins_[i]->setValue(values[i]);
}

void TStatForm::ClearFields() {
  for (QSpinBox* spin : spins_) spin->setValue(0);
}

void TStatForm::Run() {
  TMDIChild* window = bound_;
  if (window == nullptr || running_ || window->busyWithList()) return;
  TMDIChild::ListRun hold(*window);
  running_ = true;
  updateRunButtons();
  TEventPump pump;
  const ToolYield yield = [&pump](int) {
    pump();
    return true;
  };
  const StatKind chosen = kind();
  model_.setFirstHeader(Q(StatColumn0Header(chosen)));
  std::optional<StatisticsResult> result;
  if (chosen == StatKind::Lengths) {
    result = LengthStatistics(window->packets(), yield);
  } else {
    const auto values = fields();
    result = ByteValueStatistics(window->packets(), values, host_, yield);
  }
  if (result) {
    summary_->setText(Q(StatSummaryText(result->rows.size())));
    model_.showResult(std::move(*result), QLocale().decimalPoint());
  } else {
    model_.showBlank(1);  // no byte number: one empty row, the summary stays
  }
  running_ = false;
  updateRunButtons();
}

}  // namespace pakscope
