#pragma once

#include <QDialog>
#include <QPointer>

#include "tools/auto_colouring.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace pakscope {

class TMDIChild;

// "Автоподкраска пакетов": non-modal, on top. Byte cells selected in the
// packet grids while it is visible build its condition; a run gives the
// matching packets of the bound window that window's current colour.
class TAutoSelectForm : public QDialog {
  Q_OBJECT

 public:
  explicit TAutoSelectForm(QWidget* parent = nullptr);

  // "SelectByMask": binds the window; a hidden window is cleared, placed and shown.
  void Open(TMDIChild& window);
  TMDIChild* bound() const { return bound_; }

  void AddEntry(int column, uint8_t value);
  // "Подкрасить пакеты".
  void Run();
  // "Сбросить установки".
  void Reset();

  const CAutoColourCondition& condition() const noexcept { return condition_; }
  QTableWidget* grid() const { return grid_; }
  QString result() const;

 private:
  void updateRunButtons();
  void setCell(int row, int column, const QString& text);

  CAutoColourCondition condition_;
  QPointer<TMDIChild> bound_;
  bool running_ = false;
  QTableWidget* grid_ = nullptr;
  QPushButton* start_ = nullptr;
  QAction* startAction_ = nullptr;
  QLabel* result_ = nullptr;
};

}  // namespace pakscope
