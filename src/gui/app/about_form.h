#pragma once

#include <QDialog>

namespace pakscope {

// The About window: the program's name and version; a click closes it.
class TAboutForm : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutForm(QWidget* parent = nullptr);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace pakscope
