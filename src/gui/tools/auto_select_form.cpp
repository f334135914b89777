#include "gui/tools/auto_select_form.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/tools/tool_support.h"
#include "gui/view/packet_window.h"

namespace pakscope {

TAutoSelectForm::TAutoSelectForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AutoSelectForm"));
  setWindowTitle(Q(kAutoColourCaption));
  setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(false);
  MarkAsAnalysisTool(this, "Автоподкраска пакетов");

  auto* instruction = new QLabel(Q(kAutoColourInstruction));
  QFont bold = instruction->font();
  bold.setBold(true);
  instruction->setFont(bold);
  instruction->setWordWrap(true);

  grid_ = new QTableWidget(3, static_cast<int>(CAutoColourCondition::kInitialColumns));
  grid_->setObjectName(QStringLiteral("MaskGrid"));
  grid_->setToolTip(Q(kAutoColourInstruction));
  grid_->horizontalHeader()->hide();
  grid_->verticalHeader()->hide();
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->horizontalHeader()->setMinimumSectionSize(10);
  grid_->horizontalHeader()->setDefaultSectionSize(kAutoColourColumnWidth);
  grid_->verticalHeader()->setMinimumSectionSize(10);
  grid_->verticalHeader()->setDefaultSectionSize(kAutoColourRowHeight);
  // The caption column fits the longest caption ("Байт маски").
  int captionWidth = kAutoColourFirstColumnWidth;
  for (std::string_view caption : kAutoColourRowCaptions)
    captionWidth = std::max(captionWidth, grid_->fontMetrics().horizontalAdvance(Q(caption)) + 12);
  grid_->setColumnWidth(0, captionWidth);
  grid_->setFixedHeight(3 * kAutoColourRowHeight + 2 * grid_->frameWidth() +
                        grid_->horizontalScrollBar()->sizeHint().height());
  for (int row = 0; row < 3; ++row) setCell(row, 0, Q(kAutoColourRowCaptions[row]));

  start_ = new QPushButton(QStringLiteral("▶"));
  start_->setObjectName(QStringLiteral("StartBtn"));
  start_->setToolTip(Q(kAutoColourStartHint));
  start_->setAutoDefault(false);
  startAction_ = new QAction(QStringLiteral("StartAction"), this);
  startAction_->setObjectName(QStringLiteral("StartAction"));
  startAction_->setShortcut(QKeySequence(Qt::Key_F3));
  addAction(startAction_);
  connect(startAction_, &QAction::triggered, this, &TAutoSelectForm::Run);
  connect(start_, &QPushButton::clicked, startAction_, &QAction::trigger);
  auto* reset = new QPushButton(QStringLiteral("✗"));
  reset->setObjectName(QStringLiteral("ResetBtn"));
  reset->setToolTip(Q(kAutoColourResetHint));
  reset->setAutoDefault(false);
  connect(reset, &QPushButton::clicked, this, &TAutoSelectForm::Reset);
  auto* closeAction = new QAction(QStringLiteral("CloseAction"), this);
  closeAction->setObjectName(QStringLiteral("CloseAction"));
  closeAction->setShortcut(QKeySequence(Qt::Key_Escape));
  addAction(closeAction);
  connect(closeAction, &QAction::triggered, this, &QWidget::close);
  result_ = new QLabel;
  result_->setObjectName(QStringLiteral("Label1"));

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start_);
  buttons->addWidget(reset);
  buttons->addWidget(result_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(instruction);
  layout->addWidget(grid_);
  layout->addLayout(buttons);
  resize(480, sizeHint().height());
  updateRunButtons();
}

void TAutoSelectForm::setCell(int row, int column, const QString& text) {
  auto* item = grid_->item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled);
    grid_->setItem(row, column, item);
  }
  item->setText(text);
}

void TAutoSelectForm::Open(TMDIChild& window) {
  BindPacketWindow(this, bound_, window, [this] { updateRunButtons(); });
  // Only a window that becomes visible starts afresh: F3 pressed in the packet
  // grid while it is open must not throw away the bytes picked so far.
  const bool fresh = !isVisible();
  if (fresh) Reset();
  show();
  // Placed once shown: only then is its final height known.
  if (fresh) PlaceOverPacketWindow(this, window);
  raise();
}

void TAutoSelectForm::updateRunButtons() {
  const bool usable = bound_ != nullptr && !running_;
  start_->setEnabled(usable);
  startAction_->setEnabled(usable);
}

void TAutoSelectForm::AddEntry(int column, uint8_t value) {
  condition_.Add(column, value);
  const auto columns = static_cast<int>(condition_.columns());
  if (grid_->columnCount() != columns) grid_->setColumnCount(columns);
  const auto count = static_cast<int>(condition_.entries().size());
  const AutoColourEntry& entry = condition_.entries().back();
  setCell(0, count, QString::number(count));
  setCell(1, count, QString::number(entry.byteNumber));
  setCell(2, count, QString::number(entry.value));
  grid_->scrollTo(grid_->model()->index(0, count));  // the newest entry in sight
}

void TAutoSelectForm::Reset() {
  condition_.Reset();
  grid_->setColumnCount(1);  // drops every entry column with its cells
  grid_->setColumnCount(static_cast<int>(condition_.columns()));
  result_->clear();
}

QString TAutoSelectForm::result() const {
  return result_->text();
}

void TAutoSelectForm::Run() {
  TMDIChild* window = bound_;
  if (window == nullptr || running_ || window->busyWithList()) return;
  if (condition_.entries().empty()) return;
  QPointer<TMDIChild> guard(window);
  TMDIChild::ListRun hold(*window);
  running_ = true;
  updateRunButtons();
  TEventPump pump;
  // A copy: selections in the grid during the run add entries to the window's
  // condition, not to the one being applied.
  const std::vector<AutoColourEntry> entries(condition_.entries().begin(),
                                             condition_.entries().end());
  const size_t matched =
      AutoColour(window->packets(), entries, static_cast<uint8_t>(window->currentColour()),
                 [this, &pump](size_t count) {
                   // The label follows the count as often as events run, not at
                   // every hundredth match: painting would cost more than the run.
                   if (!pump.due()) return;
                   result_->setText(Q(SelectedPacketsText(count)));
                   pump();
                 });
  result_->setText(Q(SelectedPacketsText(matched)));
  if (guard) window->repaintGrid();
  running_ = false;
  updateRunButtons();
}

}  // namespace pakscope
