#pragma once

#include <QAbstractSpinBox>
#include <QDialog>
#include <QPointer>
#include <functional>

#include "tools/filter_records.h"
#include "tools/packet_processing.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace pakscope {

class CHost;
class TColourButtons;
class TFileDialogs;
class TMDIChild;

// The mask and value fields of the filter records: free text read as decimal
// or hexadecimal when the field is left, arrows stepping through 0..255.
class TByteField : public QAbstractSpinBox {
  Q_OBJECT

 public:
  TByteField(int value, CHost& host, QWidget* parent = nullptr);
  int value() const noexcept { return value_; }
  bool hex() const noexcept { return hex_; }
  void setHex(bool hex);
  void setValue(int value);
  QLineEdit* editor() const { return lineEdit(); }
  // Reads the text; false (after the conversion message) when decimal text is
  // no number, and the field then shows its last value again.
  bool commit();

  void stepBy(int steps) override;
  QValidator::State validate(QString& input, int& pos) const override;

 protected:
  StepEnabled stepEnabled() const override;

 private:
  CHost& host_;
  int value_;
  bool hex_ = false;
};

// "Обработка пакетов": a modal dialog of four pages. Its start button (F4)
// closes it with OK and runs the page on show; Esc closes it without effect.
// Everything on it stays from one use to the next.
class TUtilzForm : public QDialog {
  Q_OBJECT

 public:
  enum Page { CutPage = 0, PadPage = 1, KeywordPage = 2, SelectPage = 3 };

  TUtilzForm(CHost& host, std::function<TFileDialogs&()> dialogs, QWidget* parent = nullptr);

  // "Utilz": binds the window, shows the dialog and runs the page on OK.
  void Open(TMDIChild& window);
  void Bind(TMDIChild& window);
  TMDIChild* bound() const { return bound_; }
  // Runs the page on show on the bound window.
  void RunPage();
  // Ctrl+M of a packet window: the keyword colouring on that window.
  void ColourKeywords(TMDIChild& window);

  // Filter records.
  void AddRecord();
  void DeleteRecord();
  void ClearRecords();
  void SelectRecord(int n);
  void LoadKeywords();
  void SaveKeywords();

  const FilterRecordList& records() const noexcept { return records_; }
  int selectedRecord() const noexcept { return selected_; }
  std::vector<std::string> keywordLines() const;
  QTabWidget* pages() const { return pages_; }
  QTableWidget* recordGrid() const { return grid_; }

 private:
  QWidget* buildCutPage();
  QWidget* buildPadPage();
  QWidget* buildKeywordPage();
  QWidget* buildSelectPage();
  void setCutMode(bool byBits);
  void setSelectKind(bool byLength);
  void setFormat(bool hex);
  void refreshGrid();
  void updateRunButtons();
  void replaceList(TMDIChild& window, bool cut);

  CHost& host_;
  std::function<TFileDialogs&()> dialogs_;
  QPointer<TMDIChild> bound_;
  bool running_ = false;
  FilterRecordList records_;
  int selected_ = 0;

  QTabWidget* pages_ = nullptr;
  QPushButton* start_ = nullptr;
  QAction* startAction_ = nullptr;
  // Cut page.
  QButtonGroup* cutMode_ = nullptr;
  QSpinBox* cutStart_ = nullptr;
  QSpinBox* cutEnd_ = nullptr;
  QLabel* cutStartUnit_ = nullptr;
  QLabel* cutEndUnit_ = nullptr;
  QButtonGroup* cutShort_ = nullptr;
  QButtonGroup* cutScope_ = nullptr;
  TColourButtons* cutColours_ = nullptr;
  // Pad page.
  QButtonGroup* padMode_ = nullptr;
  QSpinBox* padCount_ = nullptr;
  QSpinBox* padFiller_ = nullptr;
  // Keyword page.
  QPlainTextEdit* keywords_ = nullptr;
  QCheckBox* keywordCase_ = nullptr;
  // Select page.
  TColourButtons* selectColours_ = nullptr;
  QButtonGroup* selectKind_ = nullptr;
  QButtonGroup* format_ = nullptr;
  QGroupBox* formatBox_ = nullptr;
  QWidget* valueFields_ = nullptr;
  QWidget* lengthFields_ = nullptr;
  QSpinBox* byteNumber_ = nullptr;
  TByteField* mask_ = nullptr;
  TByteField* value_ = nullptr;
  QLabel* maskLabel_ = nullptr;
  QLabel* valueLabel_ = nullptr;
  QSpinBox* length_ = nullptr;
  QTableWidget* grid_ = nullptr;
};

}  // namespace pakscope
