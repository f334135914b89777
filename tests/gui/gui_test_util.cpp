#include "gui_test_util.h"

#include <QColor>
#include <algorithm>

#include "packets/link_types.h"

namespace pakscope::test {

std::unique_ptr<TMainForm> MakeScriptedForm(ScriptedDialogs*& dialogs, const char* protocolFolder) {
  auto form = std::make_unique<TMainForm>();
  auto owned = std::make_unique<ScriptedDialogs>();
  dialogs = owned.get();
  form->setDialogs(std::move(owned));
  form->setProtocolFolder(protocolFolder);
  form->host().scripted = true;
  form->resize(1000, 700);
  return form;
}

std::optional<std::pair<QString, int>> ScriptedDialogs::askSave(QWidget*) {
  ++saveAsked;
  if (saves.empty()) return std::nullopt;
  auto answer = saves.front();
  saves.pop_front();
  return answer;
}

std::optional<QString> ScriptedDialogs::askOpen(QWidget*, const std::vector<FileFilter>&) {
  ++openAsked;
  if (opens.empty()) return std::nullopt;
  QString answer = opens.front();
  opens.pop_front();
  return answer;
}

std::optional<uint32_t> ScriptedDialogs::askLinkType(QWidget*, std::optional<uint16_t> preset) {
  ++linkTypeAsked;
  presets.push_back(preset);
  if (linkTypes.empty()) return std::nullopt;
  auto answer = linkTypes.front();
  linkTypes.pop_front();
  if (!answer) return std::nullopt;
  return LinkTypeNumber(*answer);
}

std::optional<QString> ScriptedDialogs::askTextFile(QWidget*, bool, const std::vector<FileFilter>&,
                                                    const QString& folder) {
  ++textFileAsked;
  textFileFolder = folder;
  if (textFiles.empty()) return std::nullopt;
  QString answer = textFiles.front();
  textFiles.pop_front();
  return answer;
}

PacketList Packets(std::initializer_list<std::vector<uint8_t>> packets) {
  PacketList list;
  for (const auto& bytes : packets) list.emplace_back(std::span<const uint8_t>(bytes));
  return list;
}

int CountColour(const QImage& image, const QRect& rect, QColor colour) {
  int count = 0;
  const QRect r = rect & image.rect();
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (image.pixelColor(x, y).rgb() == colour.rgb()) ++count;
  return count;
}

static bool Dark(QColor c) {
  return c.red() + c.green() + c.blue() < 200;
}

int CountDark(const QImage& image, const QRect& rect) {
  int count = 0;
  const QRect r = rect & image.rect();
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (Dark(image.pixelColor(x, y))) ++count;
  return count;
}

int DarkWidth(const QImage& image, const QRect& rect) {
  int left = INT32_MAX, right = -1;
  const QRect r = rect & image.rect();
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (Dark(image.pixelColor(x, y))) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
  return right < 0 ? 0 : right - left + 1;
}

}  // namespace pakscope::test
