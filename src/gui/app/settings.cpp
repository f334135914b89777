// Reading and writing the main window's settings and recent files.
#include <QMdiSubWindow>
#include <QSettings>
#include <QVariant>

#include "gui/app/main_form.h"
#include "gui/view/packet_window.h"

namespace pakscope {

namespace {

// A stored integer, or `fallback` when missing or not a number.
int IntValue(const QSettings& settings, const QString& name, int fallback, bool* found = nullptr) {
  bool ok = false;
  const QVariant value = settings.value(name);
  const int number = value.isValid() ? value.toInt(&ok) : 0;
  if (found) *found = ok;
  return ok ? number : fallback;
}

bool BoolValue(const QSettings& settings, const QString& name) {
  return IntValue(settings, name, 0) != 0;
}

// 0x00BBGGRR, the stored colour layout.
int StoredColour(const QColor& c) {
  return c.red() | c.green() << 8 | c.blue() << 16;
}

QColor ColourOf(int stored) {
  return QColor(stored & 0xFF, (stored >> 8) & 0xFF, (stored >> 16) & 0xFF);
}

}  // namespace

void TMainForm::LoadSettings() {
  QSettings settings(QStringLiteral("Vorlund"), QStringLiteral("Pakscope"));
  recent_.clear();
  if (!settings.allKeys().isEmpty()) {
    bool found = false;
    const int state = IntValue(settings, QStringLiteral("Maximize"), 0, &found);
    if (found) {
      if (state == 2)
        setWindowState(Qt::WindowMaximized);
      else if (state == 1)
        setWindowState(Qt::WindowMinimized);
      else
        setWindowState(Qt::WindowNoState);
    }
    if (!isMaximized() && !(windowState() & Qt::WindowMaximized)) {
      move(IntValue(settings, QStringLiteral("Left"), 100),
           IntValue(settings, QStringLiteral("Top"), 100));
      resize(IntValue(settings, QStringLiteral("Width"), 600),
             IntValue(settings, QStringLiteral("Height"), 500));
    }
    QFont font(QStringLiteral("Nina"), 8);
    const QVariant name = settings.value(QStringLiteral("Font"));
    if (name.isValid() && !name.toString().isEmpty()) font.setFamily(name.toString());
    const int size = IntValue(settings, QStringLiteral("Font Size"), 8);
    if (size > 0 && size < 1000) font.setPointSize(size);
    fontColour_ = ColourOf(IntValue(settings, QStringLiteral("Font Color"), 0));
    if (BoolValue(settings, QStringLiteral("Font Style Bold"))) font.setBold(true);
    if (BoolValue(settings, QStringLiteral("Font Style Italic"))) font.setItalic(true);
    font_ = font;
    maximizeChildren_ = IntValue(settings, QStringLiteral("ChildWindowState"), 0) == 2;
    settings.beginGroup(QStringLiteral("History"));
    for (size_t k = 0; k < RecentFiles::kCapacity; ++k) {
      const QVariant entry = settings.value(QStringLiteral("File%1").arg(k));
      if (!entry.isValid()) break;
      recent_.append(entry.toString().toStdString());
    }
    settings.endGroup();
  }
  rebuildHistoryMenu();
  ApplyApplicationFont(font_);
}

void TMainForm::SaveSettings() {
  QSettings settings(QStringLiteral("Vorlund"), QStringLiteral("Pakscope"));
  // The frame's corner and the inner size: what move() and resize() take back.
  settings.setValue(QStringLiteral("Left"), pos().x());
  settings.setValue(QStringLiteral("Top"), pos().y());
  settings.setValue(QStringLiteral("Width"), width());
  settings.setValue(QStringLiteral("Height"), height());
  const int state = isMinimized() ? 1 : isMaximized() ? 2 : 0;
  settings.setValue(QStringLiteral("Maximize"), state);
  settings.setValue(QStringLiteral("Font"), font_.family());
  settings.setValue(QStringLiteral("Font Size"), font_.pointSize());
  settings.setValue(QStringLiteral("Font Color"), StoredColour(fontColour_));
  settings.setValue(QStringLiteral("Font Style Bold"), font_.bold() ? 1 : 0);
  settings.setValue(QStringLiteral("Font Style Italic"), font_.italic() ? 1 : 0);
  int childState = -1;
  const QVariant atClose = property("childStateAtClose");
  if (atClose.isValid()) {
    childState = atClose.toInt();
  } else if (TMDIChild* child = activeChild()) {
    const auto* frame = qobject_cast<QMdiSubWindow*>(child->parentWidget());
    if (frame) childState = frame->isMinimized() ? 1 : frame->isMaximized() ? 2 : 0;
  }
  if (childState >= 0) settings.setValue(QStringLiteral("ChildWindowState"), childState);
  settings.beginGroup(QStringLiteral("History"));
  const auto& entries = recent_.entries();
  for (size_t k = 0; k < entries.size(); ++k)
    settings.setValue(QStringLiteral("File%1").arg(k), QString::fromStdString(entries[k]));
  settings.endGroup();
  settings.sync();
}

}  // namespace pakscope
