#include "gui/tools/tool_support.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>

#include "gui/view/packet_window.h"
#include "packets/palette.h"
#include "tools/packet_processing.h"

namespace pakscope {

namespace {

constexpr qint64 kPumpEveryMs = 15;

const char* const kColourHints[kPaletteSize] = {"Белый",        "Красный", "Жёлтый",  "Салатовый",
                                                "Зелёный",      "Синий",   "Голубой", "Фиолетовый",
                                                "Светло-серый", "Серый"};

}  // namespace

void MarkAsAnalysisTool(QWidget* window) {
  window->setProperty("helpChapter", QStringLiteral("06-analysis-tools.md"));
}

bool TEventPump::due() const {
  return !since_.isValid() || since_.elapsed() >= kPumpEveryMs;
}

void TEventPump::operator()() {
  if (!due()) return;
  QCoreApplication::processEvents();
  since_.start();
}

void BindPacketWindow(QObject* tool, QPointer<TMDIChild>& bound, TMDIChild& window,
                      const std::function<void()>& changed) {
  if (bound != &window) {
    if (bound) QObject::disconnect(bound, nullptr, tool, nullptr);
    bound = &window;
    const auto drop = [&bound, changed] {
      bound = nullptr;
      changed();
    };
    QObject::connect(&window, &TMDIChild::windowClosed, tool, drop);
    QObject::connect(&window, &QObject::destroyed, tool, drop);
  }
  changed();
}

void PlaceOverPacketWindow(QWidget* tool, const TMDIChild& window) {
  const QWidget* frame = window.parentWidget() ? window.parentWidget() : &window;
  const QPoint topLeft = frame->isWindow() ? frame->pos() : frame->mapToGlobal(QPoint(0, 0));
  const QSize size = tool->frameGeometry().size();
  tool->move(topLeft.x() + frame->width() / 2 - size.width() / 2,
             topLeft.y() + frame->height() - size.height());
}

TColourButtons::TColourButtons(QWidget* parent) : QWidget(parent), group_(new QButtonGroup(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  group_->setExclusive(true);
  for (int i = 0; i < kPaletteSize; ++i) {
    QPixmap swatch(14, 14);
    swatch.fill(QColor(kPalette[i].r, kPalette[i].g, kPalette[i].b));
    QPainter(&swatch).drawRect(0, 0, 13, 13);
    auto* button = new QToolButton(this);
    button->setObjectName(Q(kPalette[i].button));
    button->setIcon(QIcon(swatch));
    button->setToolTip(QString::fromUtf8(kColourHints[i]));
    button->setCheckable(true);
    button->setAutoRaise(true);
    group_->addButton(button, i);
    layout->addWidget(button);
  }
  group_->button(kUtilzInitialColour)->setChecked(true);
  layout->addStretch(1);
}

int TColourButtons::colour() const {
  const int id = group_->checkedId();
  return id < 0 ? kUtilzNoButtonColour : id;
}

void TColourButtons::setColour(int index) {
  if (QAbstractButton* button = group_->button(index)) button->setChecked(true);
}

}  // namespace pakscope
