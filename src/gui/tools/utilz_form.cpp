#include "gui/tools/utilz_form.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <climits>

#include "gui/packets/save_dialog.h"
#include "gui/tools/tool_support.h"
#include "gui/view/packet_window.h"
#include "packets/host.h"
#include "packets/memory_budget.h"

namespace pakscope {

namespace {

constexpr int kMaxPadCount = 65535;

const std::vector<FileFilter>& KeywordFilters() {
  // "Текстовые файлы (TXT)|*.txt|Все файлы|*.*"; every file matches "*" here.
  static const std::vector<FileFilter> filters{
      {QStringLiteral("Текстовые файлы (TXT)"), {QStringLiteral("*.txt")}},
      {QStringLiteral("Все файлы"), {QStringLiteral("*")}},
  };
  return filters;
}

QButtonGroup* Radios(QObject* owner, QBoxLayout* layout, std::span<const std::string_view> items,
                     int checked = 0) {
  auto* group = new QButtonGroup(owner);
  for (size_t i = 0; i < items.size(); ++i) {
    auto* radio = new QRadioButton(Q(items[i]));
    group->addButton(radio, static_cast<int>(i));
    layout->addWidget(radio);
  }
  group->button(checked)->setChecked(true);
  return group;
}

QSpinBox* Spin(const char* name, int minimum, int maximum, int value) {
  auto* spin = new QSpinBox;
  spin->setObjectName(QString::fromLatin1(name));
  spin->setRange(minimum, maximum);
  spin->setValue(value);
  return spin;
}

// Rows of the record grid drawn by hand: the selected record in the highlight
// colour, the others in the 3-D light colour, text 5 pixels in.
class TRecordDelegate : public QStyledItemDelegate {
 public:
  TRecordDelegate(const int& selected, QObject* parent)
      : QStyledItemDelegate(parent), selected_(selected) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const bool chosen = index.row() + 1 == selected_;
    const QPalette& palette = option.palette;
    painter->fillRect(option.rect, chosen ? palette.color(QPalette::Highlight)
                                          : palette.color(QPalette::Midlight));
    painter->setPen(chosen ? palette.color(QPalette::HighlightedText)
                           : palette.color(QPalette::Text));
    painter->drawText(option.rect.adjusted(kFilterGridTextInset, kFilterGridTextInset, 0, 0),
                      Qt::AlignLeft | Qt::AlignTop, index.data().toString());
  }

 private:
  const int& selected_;
};

}  // namespace

TByteField::TByteField(int value, CHost& host, QWidget* parent)
    : QAbstractSpinBox(parent), host_(host), value_(value) {
  lineEdit()->setText(Q(FormatFilterByte(value_, hex_)));
  connect(this, &QAbstractSpinBox::editingFinished, this, [this] { commit(); });
}

void TByteField::setHex(bool hex) {
  hex_ = hex;
  lineEdit()->setText(Q(FormatFilterByte(value_, hex_)));
}

void TByteField::setValue(int value) {
  value_ = std::clamp(value, 0, 255);
  lineEdit()->setText(Q(FormatFilterByte(value_, hex_)));
}

bool TByteField::commit() {
  const QString text = lineEdit()->text();
  const std::optional<int> parsed = ParseFilterByte(text.toStdString(), hex_);
  if (!parsed) {
    // The field is put right before the message takes the focus away, so the
    // focus leaving it once more finds a number.
    setValue(value_);
    host_.messageBox(InvalidIntegerText(text.toStdString()), "Ошибка", MsgButtons::Ok,
                     MsgIcon::Error);
    return false;
  }
  setValue(*parsed);
  return true;
}

void TByteField::stepBy(int steps) {
  setValue(value_ + steps);
}

QValidator::State TByteField::validate(QString&, int&) const {
  return QValidator::Acceptable;  // read when the field is left
}

QAbstractSpinBox::StepEnabled TByteField::stepEnabled() const {
  StepEnabled enabled = StepNone;
  if (value_ < 255) enabled |= StepUpEnabled;
  if (value_ > 0) enabled |= StepDownEnabled;
  return enabled;
}

TUtilzForm::TUtilzForm(CHost& host, std::function<TFileDialogs&()> dialogs, QWidget* parent)
    : QDialog(parent), host_(host), dialogs_(std::move(dialogs)) {
  setObjectName(QStringLiteral("UtilzForm"));
  setWindowTitle(Q(kUtilzCaption));
  MarkAsAnalysisTool(this, "Обработка пакетов");

  pages_ = new QTabWidget;
  pages_->setObjectName(QStringLiteral("Pages"));
  pages_->addTab(buildCutPage(), Q(kUtilzPages[CutPage]));
  pages_->addTab(buildPadPage(), Q(kUtilzPages[PadPage]));
  pages_->addTab(buildKeywordPage(), Q(kUtilzPages[KeywordPage]));
  pages_->addTab(buildSelectPage(), Q(kUtilzPages[SelectPage]));

  start_ = new QPushButton(QStringLiteral("Пуск"));
  start_->setObjectName(QStringLiteral("StartBtn"));
  start_->setToolTip(QStringLiteral("Пуск (F4)"));
  start_->setAutoDefault(false);
  startAction_ = new QAction(QStringLiteral("StartAction"), this);
  startAction_->setObjectName(QStringLiteral("StartAction"));
  startAction_->setShortcut(QKeySequence(Qt::Key_F4));
  addAction(startAction_);
  connect(startAction_, &QAction::triggered, this, [this] {
    // The field being edited is read as leaving it would read it.
    if (mask_->hasFocus() && !mask_->commit()) return;
    if (value_->hasFocus() && !value_->commit()) return;
    accept();
  });
  connect(start_, &QPushButton::clicked, startAction_, &QAction::trigger);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(start_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);
  layout->addLayout(bottom);
  updateRunButtons();
}

QWidget* TUtilzForm::buildCutPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto* modes = new QHBoxLayout;
  cutMode_ = Radios(this, modes, kCutModeItems);
  cutMode_->button(0)->setObjectName(QStringLiteral("CutBytes"));
  cutMode_->button(1)->setObjectName(QStringLiteral("CutBits"));
  connect(cutMode_, &QButtonGroup::idClicked, this, [this](int id) { setCutMode(id == 1); });
  layout->addLayout(modes);

  auto* params = new QGroupBox(Q(kCutParamsCaption));
  auto* grid = new QGridLayout(params);
  cutStart_ = Spin("CutStart", 0, INT_MAX, 0);
  cutEnd_ = Spin("CutEnd", 0, INT_MAX, 0);
  cutStartUnit_ = new QLabel;
  cutEndUnit_ = new QLabel;
  grid->addWidget(new QLabel(Q(kCutOff)), 0, 0);
  grid->addWidget(cutStart_, 0, 1);
  grid->addWidget(cutStartUnit_, 0, 2);
  grid->addWidget(new QLabel(Q(kCutOff)), 1, 0);
  grid->addWidget(cutEnd_, 1, 1);
  grid->addWidget(cutEndUnit_, 1, 2);
  layout->addWidget(params);

  auto* shortBox = new QGroupBox(Q(kCutShortCaption));
  auto* shortLayout = new QHBoxLayout(shortBox);
  cutShort_ = Radios(this, shortLayout, kCutShortItems);
  layout->addWidget(shortBox);

  auto* scope = new QVBoxLayout;
  cutScope_ = Radios(this, scope, kCutScopeItems);
  cutColours_ = new TColourButtons;
  cutColours_->setObjectName(QStringLiteral("CutColours"));
  cutColours_->setVisible(false);
  connect(cutScope_, &QButtonGroup::idClicked, this,
          [this](int id) { cutColours_->setVisible(id == 1); });
  scope->addWidget(cutColours_);
  layout->addLayout(scope);
  layout->addStretch(1);
  setCutMode(false);
  return page;
}

void TUtilzForm::setCutMode(bool byBits) {
  cutStartUnit_->setText(Q(byBits ? kCutBitsFromStart : kCutBytesFromStart));
  cutEndUnit_->setText(Q(byBits ? kCutBitsFromEnd : kCutBytesFromEnd));
  cutEnd_->setEnabled(!byBits);
}

QWidget* TUtilzForm::buildPadPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  padMode_ = new QButtonGroup(this);
  auto* longest = new QRadioButton(Q(kPadToLongest));
  auto* toCount = new QRadioButton(Q(kPadToCountBefore));
  padMode_->addButton(longest, 0);
  padMode_->addButton(toCount, 1);
  longest->setChecked(true);
  padCount_ = Spin("PadCount", 1, kMaxPadCount, 1);
  padCount_->setEnabled(false);
  connect(padMode_, &QButtonGroup::idClicked, this,
          [this](int id) { padCount_->setEnabled(id == 1); });
  auto* countRow = new QHBoxLayout;
  countRow->addWidget(toCount);
  countRow->addWidget(padCount_);
  countRow->addWidget(new QLabel(Q(kPadToCountAfter)));
  countRow->addStretch(1);
  padFiller_ = Spin("PadFiller", INT_MIN, INT_MAX, 0);
  auto* fillerRow = new QHBoxLayout;
  fillerRow->addWidget(new QLabel(Q(kPadFillerLabel)));
  fillerRow->addWidget(padFiller_);
  fillerRow->addStretch(1);
  layout->addWidget(longest);
  layout->addLayout(countRow);
  layout->addLayout(fillerRow);
  layout->addStretch(1);
  return page;
}

QWidget* TUtilzForm::buildKeywordPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(new QLabel(Q(kKeywordListLabel)));
  keywords_ = new QPlainTextEdit;
  keywords_->setObjectName(QStringLiteral("KeywordList"));
  keywords_->setLineWrapMode(QPlainTextEdit::NoWrap);
  layout->addWidget(keywords_, 1);
  keywordCase_ = new QCheckBox(Q(kKeywordIgnoreCase));
  keywordCase_->setObjectName(QStringLiteral("KeywordIgnoreCase"));
  keywordCase_->setChecked(true);
  layout->addWidget(keywordCase_);
  auto* buttons = new QHBoxLayout;
  auto* load = new QPushButton(Q(kKeywordLoad));
  load->setObjectName(QStringLiteral("LoadKeywords"));
  auto* save = new QPushButton(Q(kKeywordSave));
  save->setObjectName(QStringLiteral("SaveKeywords"));
  for (QPushButton* b : {load, save}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  connect(load, &QPushButton::clicked, this, &TUtilzForm::LoadKeywords);
  connect(save, &QPushButton::clicked, this, &TUtilzForm::SaveKeywords);
  layout->addLayout(buttons);
  return page;
}

QWidget* TUtilzForm::buildSelectPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto* colourBox = new QGroupBox(Q(kSelectColourCaption));
  auto* colourLayout = new QHBoxLayout(colourBox);
  selectColours_ = new TColourButtons;
  selectColours_->setObjectName(QStringLiteral("SelectColours"));
  colourLayout->addWidget(selectColours_);
  layout->addWidget(colourBox);

  auto* kindBox = new QGroupBox(Q(kSelectKindCaption));
  auto* kindLayout = new QHBoxLayout(kindBox);
  selectKind_ = Radios(this, kindLayout, kSelectKindItems);
  connect(selectKind_, &QButtonGroup::idClicked, this, [this](int id) { setSelectKind(id == 1); });
  formatBox_ = new QGroupBox(Q(kSelectFormatCaption));
  formatBox_->setObjectName(QStringLiteral("FormatRadio"));
  auto* formatLayout = new QHBoxLayout(formatBox_);
  format_ = Radios(this, formatLayout, kSelectFormatItems);
  connect(format_, &QButtonGroup::idClicked, this, [this](int id) { setFormat(id == 1); });
  auto* choices = new QHBoxLayout;
  choices->addWidget(kindBox);
  choices->addWidget(formatBox_);
  layout->addLayout(choices);

  valueFields_ = new QWidget;
  auto* values = new QGridLayout(valueFields_);
  values->setContentsMargins(0, 0, 0, 0);
  byteNumber_ = Spin("ByteNumber", kSelectNumberMin, kSelectNumberMax, 1);
  mask_ = new TByteField(255, host_);
  mask_->setObjectName(QStringLiteral("MaskField"));
  value_ = new TByteField(0, host_);
  value_->setObjectName(QStringLiteral("ValueField"));
  maskLabel_ = new QLabel(Q(kSelectMaskFirst));
  valueLabel_ = new QLabel(Q(kSelectValueFirst));
  values->addWidget(new QLabel(Q(kSelectByteNumber)), 0, 0);
  values->addWidget(maskLabel_, 0, 1);
  values->addWidget(valueLabel_, 0, 2);
  values->addWidget(byteNumber_, 1, 0);
  values->addWidget(mask_, 1, 1);
  values->addWidget(value_, 1, 2);
  lengthFields_ = new QWidget;
  auto* lengths = new QVBoxLayout(lengthFields_);
  lengths->setContentsMargins(0, 0, 0, 0);
  length_ = Spin("LengthField", kSelectNumberMin, kSelectNumberMax, 1);
  lengths->addWidget(new QLabel(Q(kSelectLength)));
  lengths->addWidget(length_);
  auto* buttons = new QVBoxLayout;
  const std::tuple<const char*, const char*, const char*, void (TUtilzForm::*)()> actions[] = {
      {"AddRecord", "+", "Добавить запись", &TUtilzForm::AddRecord},
      {"DeleteRecord", "−", "Удалить выбранную запись", &TUtilzForm::DeleteRecord},
      {"ClearRecords", "✗", "Удалить все записи", &TUtilzForm::ClearRecords}};
  auto* buttonRow = new QHBoxLayout;
  for (const auto& [name, text, hint, slot] : actions) {
    auto* b = new QPushButton(QString::fromUtf8(text));
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(QString::fromUtf8(hint));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    buttonRow->addWidget(b);
  }
  buttons->addLayout(buttonRow);
  auto* fields = new QHBoxLayout;
  fields->addWidget(valueFields_);
  fields->addWidget(lengthFields_);
  fields->addStretch(1);
  fields->addLayout(buttons);
  layout->addLayout(fields);

  grid_ = new QTableWidget(1, 4);
  grid_->setObjectName(QStringLiteral("RecordGrid"));
  grid_->verticalHeader()->hide();
  grid_->setHorizontalHeaderLabels({QString(), QString(), QString(), QString()});
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setSelectionMode(QAbstractItemView::NoSelection);
  grid_->setItemDelegate(new TRecordDelegate(selected_, grid_));
  for (int c = 0; c < 4; ++c) grid_->setColumnWidth(c, kFilterGridWidths[c]);
  connect(grid_, &QTableWidget::cellClicked, this, [this](int row, int) { SelectRecord(row + 1); });
  layout->addWidget(grid_, 1);
  setSelectKind(false);
  return page;
}

void TUtilzForm::setSelectKind(bool byLength) {
  valueFields_->setVisible(!byLength);
  lengthFields_->setVisible(byLength);
  formatBox_->setEnabled(!byLength);
}

void TUtilzForm::setFormat(bool hex) {
  mask_->commit();
  value_->commit();
  mask_->setHex(hex);
  value_->setHex(hex);
  maskLabel_->setText(Q(kSelectMask[hex ? 1 : 0]));
  valueLabel_->setText(Q(kSelectValue[hex ? 1 : 0]));
  refreshGrid();
}

void TUtilzForm::refreshGrid() {
  const bool hex = format_->checkedId() == 1;
  grid_->setRowCount(std::max<int>(1, static_cast<int>(records_.size())));
  for (int row = 0; row < grid_->rowCount(); ++row) {
    const auto n = static_cast<size_t>(row);
    std::array<std::string, 4> cells{};
    if (n < records_.size()) cells = FilterRecordCells(*records_[n], n + 1, hex);
    for (int c = 0; c < 4; ++c) {
      QTableWidgetItem* item = grid_->item(row, c);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        grid_->setItem(row, c, item);
      }
      item->setText(Q(cells[static_cast<size_t>(c)]));
    }
  }
  grid_->viewport()->update();
}

void TUtilzForm::AddRecord() {
  if (selectKind_->checkedId() == 1) {
    records_.push_back(std::make_unique<TFilterByLengthRecord>(length_->value()));
  } else {
    if (!mask_->commit() || !value_->commit()) return;
    records_.push_back(std::make_unique<TFilterByValueRecord>(
        byteNumber_->value(), static_cast<uint8_t>(mask_->value()),
        static_cast<uint8_t>(value_->value())));
  }
  refreshGrid();
}

void TUtilzForm::SelectRecord(int n) {
  if (n >= 1 && static_cast<size_t>(n) <= records_.size()) {
    selected_ = n;
    grid_->viewport()->update();
  }
}

void TUtilzForm::DeleteRecord() {
  if (selected_ < 1 || static_cast<size_t>(selected_) > records_.size()) return;
  records_.erase(records_.begin() + (selected_ - 1));
  if (static_cast<size_t>(selected_) > records_.size()) selected_ = 0;
  refreshGrid();
}

void TUtilzForm::ClearRecords() {
  records_.clear();
  selected_ = 0;
  refreshGrid();
}

std::vector<std::string> TUtilzForm::keywordLines() const {
  std::vector<std::string> lines;
  const QString text = keywords_->toPlainText();
  if (text.isEmpty()) return lines;
  for (const QString& line : text.split(u'\n')) lines.push_back(line.toStdString());
  return lines;
}

namespace {

const QString kKeywordFolderKey = QStringLiteral("Keyword Folder");

// The keyword dialogs start where the user last took or put a list, at first
// in the home folder: the program's own folder is no place for the user's files.
QString keywordFolder() {
  const QString stored = QSettings(QStringLiteral("Vorlund"), QStringLiteral("Pakscope"))
                             .value(kKeywordFolderKey)
                             .toString();
  return !stored.isEmpty() && QFileInfo(stored).isDir() ? stored : QDir::homePath();
}

void rememberKeywordFolder(const QString& file) {
  QSettings(QStringLiteral("Vorlund"), QStringLiteral("Pakscope"))
      .setValue(kKeywordFolderKey, QFileInfo(file).absolutePath());
}

}  // namespace

void TUtilzForm::LoadKeywords() {
  const auto file = dialogs_().askTextFile(this, false, KeywordFilters(), keywordFolder());
  if (!file) return;
  rememberKeywordFolder(*file);
  const auto lines = LoadKeywordFile(file->toStdString());
  if (!lines) {
    host_.messageBox(kKeywordReadError, kUtilzCaption, MsgButtons::Ok, MsgIcon::Error);
    return;
  }
  QStringList text;
  for (const std::string& line : *lines) text << Q(line);
  keywords_->setPlainText(text.join(u'\n'));
}

void TUtilzForm::SaveKeywords() {
  const auto file = dialogs_().askTextFile(this, true, KeywordFilters(), keywordFolder());
  if (!file) return;
  rememberKeywordFolder(*file);
  if (!SaveKeywordFile(file->toStdString(), keywordLines()))
    host_.messageBox(kKeywordWriteError, kUtilzCaption, MsgButtons::Ok, MsgIcon::Error);
}

void TUtilzForm::Bind(TMDIChild& window) {
  BindPacketWindow(this, bound_, window, [this] { updateRunButtons(); });
}

void TUtilzForm::updateRunButtons() {
  const bool usable = bound_ != nullptr && !running_;
  start_->setEnabled(usable);
  startAction_->setEnabled(usable);
}

void TUtilzForm::Open(TMDIChild& window) {
  Bind(window);
  if (exec() == QDialog::Accepted) RunPage();
}

void TUtilzForm::replaceList(TMDIChild& window, bool cut) {
  if (window.busyWithList()) return;
  QPointer<TMDIChild> guard(&window);
  std::optional<PacketList> list;
  {
    TMDIChild::ListRun hold(window);
    TEventPump pump;
    const ToolYield yield = [&pump](int) {
      pump();
      return true;
    };
    if (cut) {
      CutSettings settings;
      settings.start = static_cast<uint32_t>(cutStart_->value());
      settings.end = static_cast<uint32_t>(cutEnd_->value());
      settings.deleteShort = cutShort_->checkedId() == 1;
      settings.byBits = cutMode_->checkedId() == 1;
      settings.byColour = cutScope_->checkedId() == 1;
      settings.colour = static_cast<uint8_t>(cutColours_->colour());
      list = CutPackets(window.packets(), settings, yield);
    } else {
      const uint32_t target = PadTarget(window.packets(), padMode_->checkedId() == 0,
                                        static_cast<uint32_t>(padCount_->value()));
      list = PadPackets(window.packets(), target, static_cast<uint8_t>(padFiller_->value() & 0xFF),
                        yield);
    }
  }
  if (!guard) return;
  if (!list) {
    ReportOutOfMemory(host_, cut ? "Обрезка пакетов" : "Дополнение пакетов");
    return;
  }
  window.ReplacePacketList(std::move(*list));
}

void TUtilzForm::ColourKeywords(TMDIChild& window) {
  if (running_ || window.busyWithList()) return;
  QPointer<TMDIChild> guard(&window);
  {
    TMDIChild::ListRun hold(window);
    running_ = true;
    TEventPump pump;
    FindAllKeyWords(window.packets(), keywordLines(), keywordCase_->isChecked(),
                    static_cast<uint8_t>(window.currentColour()), host_, [&pump](int) {
                      pump();
                      return true;
                    });
    running_ = false;
  }
  if (guard) window.repaintGrid();
}

void TUtilzForm::RunPage() {
  TMDIChild* window = bound_;
  if (window == nullptr || running_) return;
  running_ = true;
  updateRunButtons();
  switch (pages_->currentIndex()) {
    case CutPage: replaceList(*window, true); break;
    case PadPage: replaceList(*window, false); break;
    case KeywordPage:
      running_ = false;
      ColourKeywords(*window);
      break;
    case SelectPage:
      if (!window->busyWithList()) {
        TMDIChild::ListRun hold(*window);
        ColourByFilters(window->packets(), records_,
                        static_cast<uint8_t>(selectColours_->colour()));
        window->repaintGrid();
      }
      break;
    default: break;
  }
  running_ = false;
  updateRunButtons();
}

}  // namespace pakscope
