#include "gui/tools/search_form.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <span>

#include "gui/tools/tool_support.h"
#include "gui/view/draw_grid.h"
#include "gui/view/packet_window.h"
#include "packets/host.h"

namespace pakscope {

namespace {

// Tokens of a DEC or HEX field: a trailing space adds none.
qsizetype ValueTokens(const QString& text) {
  if (text.isEmpty()) return 0;
  qsizetype tokens = text.count(u' ') + 1;
  if (text.endsWith(u' ')) --tokens;
  return tokens;
}

}  // namespace

QValidator::State TPatternLimit::validate(QString& input, int&) const {
  if (type_ == SearchType::String)
    return input.size() <= static_cast<qsizetype>(kMaxPatternTextChars) ? Acceptable : Invalid;
  return ValueTokens(input) <= static_cast<qsizetype>(kMaxPatternValues) ? Acceptable : Invalid;
}

QString TPatternLimit::Cut(const QString& text, SearchType type) {
  if (type == SearchType::String) return text.left(static_cast<qsizetype>(kMaxPatternTextChars));
  if (ValueTokens(text) <= static_cast<qsizetype>(kMaxPatternValues)) return text;
  return text.split(u' ').mid(0, static_cast<qsizetype>(kMaxPatternValues)).join(u' ');
}

TSearchForm::TSearchForm(CHost& host, QWidget* parent) : QDialog(parent), host_(host) {
  setObjectName(QStringLiteral("SearchForm"));
  setWindowTitle(Q(kSearchCaption));
  setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(false);
  MarkAsAnalysisTool(this, "Поиск");

  auto* label = new QLabel(Q(kSearchSequenceLabel));
  field_ = new QLineEdit;
  field_->setObjectName(QStringLiteral("SearchStringEdit"));
  field_->setToolTip(Q(kSearchFieldHint));
  limit_ = new TPatternLimit(field_);
  field_->setValidator(limit_);
  ignoreCase_ = new QCheckBox(Q(kSearchIgnoreCase));
  ignoreCase_->setObjectName(QStringLiteral("NotUseRegisterCheck"));

  auto group = [this](const char* name, std::string_view caption,
                      std::span<const std::string_view> items, QButtonGroup*& buttons) {
    auto* box = new QGroupBox(Q(caption));
    box->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(box);
    buttons = new QButtonGroup(this);
    for (size_t i = 0; i < items.size(); ++i) {
      auto* radio = new QRadioButton(Q(items[i]));
      buttons->addButton(radio, static_cast<int>(i));
      layout->addWidget(radio);
    }
    buttons->button(0)->setChecked(true);
    return box;
  };
  QGroupBox* typeBox = group("RadioGroup1", kSearchTypeCaption, kSearchTypeItems, type_);
  QGroupBox* regionBox = group("RegionRadio", kSearchRegionCaption, kSearchRegionItems, region_);
  connect(type_, &QButtonGroup::idClicked, this, &TSearchForm::setType);
  connect(region_, &QButtonGroup::idClicked, this, &TSearchForm::applyRegion);

  auto button = [this](const char* name, const char* text, std::string_view hint) {
    auto* b = new QPushButton(QString::fromUtf8(text));
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(Q(hint));
    b->setAutoDefault(false);
    return b;
  };
  forward_ = button("StartAction", "▶", kSearchForwardHint);
  backward_ = button("SearchPrev", "◀", kSearchBackwardHint);
  all_ = button("SearchAll", "▶▶", kSearchAllHint);
  connect(backward_, &QPushButton::clicked, this, &TSearchForm::Backward);
  connect(all_, &QPushButton::clicked, this, &TSearchForm::FindAll);
  startAction_ = new QAction(QStringLiteral("StartAction"), this);
  startAction_->setObjectName(QStringLiteral("StartActionKeys"));
  startAction_->setShortcuts({QKeySequence(Qt::Key_F7), QKeySequence(Qt::CTRL | Qt::Key_F)});
  addAction(startAction_);
  connect(startAction_, &QAction::triggered, this, &TSearchForm::Forward);
  connect(forward_, &QPushButton::clicked, startAction_, &QAction::trigger);
  auto* closeAction = new QAction(QStringLiteral("CloseAction"), this);
  closeAction->setObjectName(QStringLiteral("CloseAction"));
  closeAction->setShortcut(QKeySequence(Qt::Key_Escape));
  addAction(closeAction);
  connect(closeAction, &QAction::triggered, this, &QWidget::close);
  // F6 here too: after ◀ or ▶ the focus stays in this window.
  auto* nextAction = new QAction(QStringLiteral("FindNext"), this);
  nextAction->setObjectName(QStringLiteral("FindNextKeys"));
  nextAction->setShortcut(QKeySequence(Qt::Key_F6));
  addAction(nextAction);
  connect(nextAction, &QAction::triggered, this, [this] {
    if (bound_ && !running_) Step(*bound_, false);
  });

  bar_ = new QProgressBar;
  bar_->setObjectName(QStringLiteral("ProgressBar1"));
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  auto* statusBar = new QStatusBar;
  statusBar->setSizeGripEnabled(false);
  status_ = new QLabel;
  status_->setObjectName(QStringLiteral("StatusBar1"));
  // At least the usual 300 pixels, and as wide as the text it shows.
  status_->setMinimumWidth(300);
  statusBar->addWidget(status_);
  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("Timer1"));
  timer_->setInterval(kSearchTimerMs);
  connect(timer_, &QTimer::timeout, this, [this] { bar_->setValue(progress_); });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(backward_);
  buttons->addWidget(forward_);
  buttons->addWidget(all_);
  auto* groups = new QHBoxLayout;
  groups->addWidget(typeBox);
  groups->addWidget(regionBox);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(field_);
  layout->addWidget(ignoreCase_);
  layout->addLayout(groups);
  layout->addLayout(buttons);
  layout->addWidget(bar_);
  layout->addWidget(statusBar);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setType(0);
  updateRunButtons();
}

void TSearchForm::Open(TMDIChild& window) {
  BindPacketWindow(this, bound_, window, [this] { updateRunButtons(); });
  // An open window keeps its place, status and chosen region: F7 or Ctrl+F in
  // a packet grid only brings it back to the front.
  const bool fresh = !isVisible();
  if (fresh) prepareShowing();
  show();
  // Placed once shown: only then is its final height known.
  if (fresh && bound_) PlaceOverPacketWindow(this, *bound_);
  raise();
  activateWindow();
  field_->setFocus();
}

void TSearchForm::prepareShowing() {
  status_->clear();
  adjustSize();
  fromStart_ = fromEnd_ = fromCurrentOnce_ = false;
}

void TSearchForm::updateRunButtons() {
  const bool usable = bound_ != nullptr && !running_;
  for (QPushButton* b : {forward_, backward_, all_}) b->setEnabled(usable);
  startAction_->setEnabled(usable);
}

bool TSearchForm::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    setWindowOpacity(1.0);
    progress_ = 0;
    bar_->setValue(0);
  } else if (event->type() == QEvent::WindowDeactivate) {
    setWindowOpacity(kSearchInactiveOpacity / 255.0);
  }
  return QDialog::event(event);
}

void TSearchForm::setType(int item) {
  type_->button(item)->setChecked(true);
  const auto type = static_cast<SearchType>(item);
  limit_->setType(type);
  const QString cut = TPatternLimit::Cut(field_->text(), type);
  if (cut != field_->text()) field_->setText(cut);
  ignoreCase_->setEnabled(type == SearchType::String);
}

void TSearchForm::applyRegion(int item) {
  fromCurrentOnce_ = item == static_cast<int>(SearchRegion::FromCurrent);
  fromStart_ = item == static_cast<int>(SearchRegion::FromStart);
  fromEnd_ = item == static_cast<int>(SearchRegion::FromEnd);
}

std::vector<uint8_t> TSearchForm::pattern() const {
  return ParsePattern(static_cast<SearchType>(type_->checkedId()), field_->text().toStdString());
}

bool TSearchForm::refuseUnsearchable() {
  const std::string refusal =
      UnsearchableText(static_cast<SearchType>(type_->checkedId()), field_->text().toStdString());
  if (!refusal.empty()) status_->setText(Q(refusal));
  return !refusal.empty();
}

bool TSearchForm::ignoreCase() const {
  return ignoreCase_->isChecked() && type_->checkedId() == static_cast<int>(SearchType::String);
}

QString TSearchForm::statusText() const {
  return status_->text();
}

void TSearchForm::Step(TMDIChild& window, bool backward, SearchRegion region) {
  if (window.busyWithList() || refuseUnsearchable()) return;
  const PacketList& list = window.packets();
  if (list.empty()) return;
  QPointer<TMDIChild> guard(&window);
  if (region != SearchRegion::FromCurrent) {
    // The region's first cell becomes the current cell, found or not.
    const int row = region == SearchRegion::FromStart ? 1 : static_cast<int>(list.size());
    const int column = region == SearchRegion::FromStart
                           ? 1
                           : std::max<int>(static_cast<int>(list.back().length), 1);
    window.grid()->setFocusCell(column, row);
  }
  const std::vector<uint8_t> bytes = pattern();
  std::optional<SearchMatch> match;
  {
    TMDIChild::ListRun hold(window);
    TEventPump pump;
    match = SearchStep(list, bytes, ignoreCase(), backward, region, window.currentRow(),
                       window.currentColumn(), [&pump](int) {
                         pump();
                         return true;
                       });
  }
  if (match && guard)
    window.ShowFoundCell(static_cast<int>(match->column) + 1, static_cast<int>(match->row) + 1);
}

void TSearchForm::buttonStep(bool backward) {
  TMDIChild* window = bound_;
  if (window == nullptr || running_ || refuseUnsearchable()) return;
  status_->clear();
  SearchRegion region = SearchRegion::FromCurrent;
  if (fromStart_) region = SearchRegion::FromStart;
  if (fromEnd_) region = SearchRegion::FromEnd;
  fromStart_ = fromEnd_ = fromCurrentOnce_ = false;
  window->BringToFront();
  running_ = true;
  updateRunButtons();
  Step(*window, backward, region);
  running_ = false;
  updateRunButtons();
  status_->clear();
}

void TSearchForm::Forward() {
  buttonStep(false);
}

void TSearchForm::Backward() {
  buttonStep(true);
}

void TSearchForm::FindAll() {
  TMDIChild* window = bound_;
  if (window == nullptr || running_ || window->busyWithList() || refuseUnsearchable()) return;
  applyRegion(region_->checkedId());
  const SearchRegion region =
      fromCurrentOnce_ ? SearchRegion::FromCurrent : SearchRegion::FromStart;
  fromStart_ = fromEnd_ = fromCurrentOnce_ = false;
  window->BringToFront();
  QPointer<TMDIChild> guard(window);
  TMDIChild::ListRun hold(*window);
  running_ = true;
  updateRunButtons();
  progress_ = 0;
  bar_->setValue(0);
  status_->clear();
  timer_->start();
  TEventPump pump;
  const std::vector<uint8_t> bytes = pattern();
  const SearchAllResult result = SearchAll(
      window->packets(), bytes, ignoreCase(), region, window->currentRow(), window->currentColumn(),
      static_cast<uint8_t>(window->currentColour()), [this, &pump](int percent) {
        progress_ = percent;
        pump();
        return true;
      });
  timer_->stop();
  progress_ = 100;
  bar_->setValue(progress_);
  if (guard) {
    host_.setStatus(0, OccurrencesText(result.occurrences, result.packets));
    window->repaintGrid();
  }
  status_->setText(Q(SearchWindowResultText(result.packets)));
  progress_ = 0;
  bar_->setValue(0);
  running_ = false;
  updateRunButtons();
}

}  // namespace pakscope
