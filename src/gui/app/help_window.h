#pragma once

#include <QHash>
#include <QList>
#include <QPoint>
#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTextBrowser;

namespace pakscope {

// The manual chapter of a window. A window (tool window, dialog, panel) names
// its chapter in this dynamic property; F1 reads it from the focused widget
// upwards through its parents:
//
//   window->setProperty(kHelpChapterProperty, "06-analysis-tools.md#Статистика");
//
// The value is a file of the manual folder, optionally followed by "#" and the
// beginning of a heading inside it. Without the property anywhere up the chain
// F1 shows the contents.
inline constexpr char kHelpChapterProperty[] = "helpChapter";

// The chapter named by `widget` or its nearest parent; empty when none names one.
QString HelpChapterOf(const QWidget* widget);

// `markdown` with every "глава N" (any case of the word) made a link to the
// chapter file numbered N in `files`; code is left alone.
QString LinkChapterReferences(const QString& markdown, const QHash<QString, QString>& files);

struct THelpChapter {
  QString title;  // as the contents list shows it
  QString file;   // file name inside the manual folder
};

// The contents page (index.md) followed by the chapters it lists as numbered
// links ("1. [Title](file.md)"), in its order. Empty when there is no index.
QList<THelpChapter> ReadHelpContents(const QString& manualFolder);

// The help window: the Markdown manual rendered by the text browser, with a
// contents list, back and forward, and a find field (Enter or F3: next).
class THelpForm : public QWidget {
  Q_OBJECT

 public:
  explicit THelpForm(const QString& manualFolder, QWidget* parent = nullptr);

  // Shows a chapter ("file.md" or "file.md#Heading"); the contents page when
  // `chapter` is empty or names no file of the manual.
  void ShowChapter(const QString& chapter);
  // Finds the next occurrence of the find field's text, going on through the
  // following chapters and round to the top of this one; false when nowhere.
  bool FindNext();

  // File name of the chapter shown; empty when there is none.
  QString currentChapter() const;
  QString statusText() const;
  QTextBrowser* browser() const noexcept { return browser_; }
  // Shows the figure at `pos` of the text's viewport full size; false when none is there.
  bool ShowFigureAt(QPoint pos);
  QListWidget* contents() const noexcept { return contents_; }
  QLineEdit* findField() const noexcept { return find_; }

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  void open(const QString& file);
  bool chapterContains(int index, const QString& text) const;
  void syncContents(const QString& shown);

  QString folder_;
  QList<THelpChapter> chapters_;
  QTextBrowser* browser_ = nullptr;
  QListWidget* contents_ = nullptr;
  QLineEdit* find_ = nullptr;
  QPushButton* back_ = nullptr;
  QPushButton* forward_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace pakscope
