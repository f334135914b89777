#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <string_view>

class QButtonGroup;
class QHBoxLayout;

namespace pakscope {

class TMDIChild;

inline QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// What every tool window shares: F1 opens its own section of the analysis
// tools chapter, the heading that begins with `section`.
void MarkAsAnalysisTool(QWidget* window, const char* section);

// Lets pending events run during a long run, at most every few milliseconds:
// often enough for gauges and repaints, seldom enough to cost the run nothing.
// The first call always lets them run.
class TEventPump {
 public:
  void operator()();
  // Whether the next call would let events run.
  bool due() const;

 private:
  QElapsedTimer since_;
};

// Binds a tool window to the packet window it works on. The tool keeps no
// hold on it: when that window closes, `bound` is emptied and `changed` runs,
// so the tool disables its run buttons until a packet window binds it again.
void BindPacketWindow(QObject* tool, QPointer<TMDIChild>& bound, TMDIChild& window,
                      const std::function<void()>& changed);

// Places a tool window over a packet window: centred across it, its top at the
// main window's client-area top + the packet window's height − its own height;
// moved off any other tool window that is open there.
void PlaceOverPacketWindow(QWidget* tool, const TMDIChild& window);

// The ten colour buttons of the processing pages, one always down; red at first.
class TColourButtons : public QWidget {
  Q_OBJECT

 public:
  explicit TColourButtons(QWidget* parent = nullptr);
  int colour() const;
  void setColour(int index);

 private:
  QButtonGroup* group_;
};

}  // namespace pakscope
