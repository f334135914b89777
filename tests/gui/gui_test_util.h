#pragma once

#include <QApplication>
#include <QImage>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gui/app/main_form.h"
#include "gui/packets/save_dialog.h"
#include "packets/packet.h"

namespace pakscope::test {

// File and link-type dialogs answered from queues; an empty queue cancels.
class ScriptedDialogs : public TFileDialogs {
 public:
  std::deque<std::pair<QString, int>> saves;  // file name, type entry 1..6
  std::deque<QString> opens;
  std::deque<std::optional<int>> linkTypes;      // chooser positions
  std::vector<std::optional<uint16_t>> presets;  // what the chooser opened on
  std::deque<QString> textFiles;
  int saveAsked = 0, openAsked = 0, linkTypeAsked = 0, textFileAsked = 0;
  QString textFileFolder;  // where the last text-file dialog started

  std::optional<std::pair<QString, int>> askSave(QWidget*) override;
  std::optional<QString> askOpen(QWidget*, const std::vector<FileFilter>&) override;
  std::optional<uint32_t> askLinkType(QWidget*, std::optional<uint16_t> preset) override;
  std::optional<QString> askTextFile(QWidget*, bool, const std::vector<FileFilter>&,
                                     const QString&) override;
};

// Runs `answer` on the modal window of type T as soon as it is up.
template <typename T>
void WhenOpen(std::function<void(T*)> answer) {
  QTimer::singleShot(0, [answer] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget()))
      answer(dialog);
    else
      WhenOpen<T>(answer);  // not up yet: look again on the next turn of the event loop
  });
}

inline QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// A main window with scripted dialogs and host, 1000 × 700, not yet shown;
// `dialogs` points at its dialogs. No protocol descriptions unless a folder is given.
std::unique_ptr<TMainForm> MakeScriptedForm(ScriptedDialogs*& dialogs,
                                            const char* protocolFolder = "/nonexistent");

// Packets from lists of byte values.
PacketList Packets(std::initializer_list<std::vector<uint8_t>> packets);

// How many pixels of `image` inside `rect` have exactly this colour.
int CountColour(const QImage& image, const QRect& rect, QColor colour);
// How many pixels inside `rect` are dark (text).
int CountDark(const QImage& image, const QRect& rect);
// Width of the box around the dark pixels inside `rect` (0 when none).
int DarkWidth(const QImage& image, const QRect& rect);

}  // namespace pakscope::test
