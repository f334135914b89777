#include "gui/tools/tool_support.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
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

void MarkAsAnalysisTool(QWidget* window, const char* section) {
  window->setProperty("helpChapter",
                      QStringLiteral("06-analysis-tools.md#") + QString::fromUtf8(section));
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
  // Measured from the main window's client area below its menu, not from the
  // packet window's own top.
  int clientTop = topLeft.y();
  if (const auto* main = qobject_cast<const QMainWindow*>(frame->window()); main && main != frame) {
    const int menu = main->menuWidget() ? main->menuWidget()->height() : 0;
    clientTop = main->mapToGlobal(QPoint(0, menu)).y();
  }
  QRect place(QPoint(topLeft.x() + frame->width() / 2 - size.width() / 2,
                     clientTop + frame->height() - size.height()),
              size);

  // Another tool window already there would hide this one or be hidden by it:
  // this one goes just above it, or below it where the screen ends above.
  const QWidget* owner = tool->parentWidget();
  const QList<QWidget*> others =
      owner ? owner->findChildren<QWidget*>(Qt::FindDirectChildrenOnly) : QList<QWidget*>();
  const QScreen* screen = tool->screen();
  const int screenTop = screen ? screen->availableGeometry().top() : 0;
  for (qsizetype round = 0; round <= others.size(); ++round) {
    bool moved = false;
    for (const QWidget* other : others) {
      if (other == tool || !other->isWindow() || !other->isVisible() ||
          !other->property("helpChapter").toString().startsWith(QStringLiteral("06-")))
        continue;
      const QRect taken = other->frameGeometry();
      if (!place.intersects(taken)) continue;
      if (taken.top() - size.height() >= screenTop)
        place.moveBottom(taken.top() - 1);
      else
        place.moveTop(taken.bottom() + 1);
      moved = true;
    }
    if (!moved) break;
  }
  tool->move(place.topLeft());
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
