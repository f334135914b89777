#pragma once

#include <QDialog>
#include <QPointer>
#include <QValidator>
#include <cstdint>
#include <vector>

#include "tools/search_pattern.h"
#include "tools/sequence_search.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace pakscope {

class CHost;
class TMDIChild;

// Keeps the search field within the pattern buffer: 1023 characters of text,
// or 1024 values in the DEC and HEX types.
class TPatternLimit : public QValidator {
 public:
  using QValidator::QValidator;
  void setType(SearchType type) { type_ = type; }
  State validate(QString& input, int& pos) const override;
  // The longest start of `text` the type accepts.
  static QString Cut(const QString& text, SearchType type);

 private:
  SearchType type_ = SearchType::String;
};

// "Поиск": one window for the whole program, always on top, bound to the
// packet window that showed it last; F6 and FindPrev of any packet window use
// its settings even while it is hidden.
class TSearchForm : public QDialog {
  Q_OBJECT

 public:
  TSearchForm(CHost& host, QWidget* parent = nullptr);

  // "Find": binds the window; a hidden one is placed and shown, an open one raised.
  void Open(TMDIChild& window);
  TMDIChild* bound() const { return bound_; }

  // The buttons.
  void Forward();
  void Backward();
  void FindAll();
  // One step in `window` from its current cell with the settings standing here.
  void Step(TMDIChild& window, bool backward, SearchRegion region = SearchRegion::FromCurrent);

  std::vector<uint8_t> pattern() const;
  bool ignoreCase() const;
  QString statusText() const;
  int progress() const noexcept { return progress_; }

 protected:
  bool event(QEvent* event) override;

 private:
  void applyRegion(int item);
  void setType(int item);
  void prepareShowing();
  void updateRunButtons();
  void buttonStep(bool backward);
  // Shows why the field's text cannot be searched for; true when it cannot.
  bool refuseUnsearchable();

  CHost& host_;
  QPointer<TMDIChild> bound_;
  bool fromStart_ = false;
  bool fromEnd_ = false;
  bool fromCurrentOnce_ = false;
  bool running_ = false;
  int progress_ = 0;

  QLineEdit* field_ = nullptr;
  TPatternLimit* limit_ = nullptr;
  QCheckBox* ignoreCase_ = nullptr;
  QButtonGroup* type_ = nullptr;
  QButtonGroup* region_ = nullptr;
  QPushButton* forward_ = nullptr;
  QPushButton* backward_ = nullptr;
  QPushButton* all_ = nullptr;
  QAction* startAction_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QLabel* status_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace pakscope
