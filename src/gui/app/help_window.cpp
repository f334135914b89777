#include "gui/app/help_window.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

namespace pakscope {

namespace {

constexpr char kIndexFile[] = "index.md";

// Manual files are read whole; anything larger is not one of ours.
constexpr qint64 kLargestChapter = 16 * 1024 * 1024;

QString ReadText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestChapter) return {};
  return QString::fromUtf8(file.readAll());
}

}  // namespace

QString HelpChapterOf(const QWidget* widget) {
  for (; widget; widget = widget->parentWidget()) {
    const QVariant chapter = widget->property(kHelpChapterProperty);
    if (chapter.isValid() && !chapter.toString().isEmpty()) return chapter.toString();
  }
  return {};
}

QList<THelpChapter> ReadHelpContents(const QString& manualFolder) {
  const QString index = QDir(manualFolder).filePath(QString::fromLatin1(kIndexFile));
  if (!QFileInfo(index).isFile()) return {};
  QList<THelpChapter> chapters{{QStringLiteral("Содержание"), QString::fromLatin1(kIndexFile)}};
  static const QRegularExpression entry(
      QStringLiteral(R"(^(\d+)\.\s+\[([^\]]+)\]\(([^)/\\]+\.md)\))"));
  for (const QString& line : ReadText(index).split(u'\n')) {
    const QRegularExpressionMatch m = entry.match(line);
    if (m.hasMatch())
      chapters.append({m.captured(1) + QStringLiteral(". ") + m.captured(2), m.captured(3)});
  }
  return chapters;
}

THelpForm::THelpForm(const QString& manualFolder, QWidget* parent)
    : QWidget(parent, Qt::Window),
      folder_(manualFolder),
      chapters_(ReadHelpContents(manualFolder)) {
  setWindowTitle(QStringLiteral("Справка"));
  setObjectName(QStringLiteral("HelpForm"));
  // F1 inside the manual goes to its contents.
  setProperty(kHelpChapterProperty, QString::fromLatin1(kIndexFile));

  back_ = new QPushButton(QStringLiteral("Назад"), this);
  back_->setObjectName(QStringLiteral("HelpBack"));
  back_->setEnabled(false);
  forward_ = new QPushButton(QStringLiteral("Вперёд"), this);
  forward_->setObjectName(QStringLiteral("HelpForward"));
  forward_->setEnabled(false);
  find_ = new QLineEdit(this);
  find_->setObjectName(QStringLiteral("HelpFind"));
  find_->setPlaceholderText(QStringLiteral("Найти в тексте"));
  find_->setClearButtonEnabled(true);
  auto* findButton = new QPushButton(QStringLiteral("Найти далее"), this);
  findButton->setToolTip(QStringLiteral("Найти далее (Enter, F3)"));
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("HelpStatus"));

  auto* bar = new QHBoxLayout;
  bar->addWidget(back_);
  bar->addWidget(forward_);
  bar->addSpacing(12);
  bar->addWidget(find_, 1);
  bar->addWidget(findButton);
  bar->addWidget(status_, 1);

  contents_ = new QListWidget(this);
  contents_->setObjectName(QStringLiteral("HelpContents"));
  for (const THelpChapter& chapter : chapters_) contents_->addItem(chapter.title);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("HelpText"));
  browser_->setOpenExternalLinks(true);
  browser_->setSearchPaths({folder_});
  auto* split = new QSplitter(this);
  split->addWidget(contents_);
  split->addWidget(browser_);
  split->setStretchFactor(1, 1);
  split->setSizes({220, 680});

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(split, 1);
  resize(900, 650);

  connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QPushButton::setEnabled);
  // Emitted before source() reads the new page.
  connect(browser_, &QTextBrowser::sourceChanged, this,
          [this](const QUrl& url) { syncContents(QFileInfo(url.toLocalFile()).fileName()); });
  connect(contents_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0 && row < chapters_.size()) open(chapters_[row].file);
  });
  connect(find_, &QLineEdit::returnPressed, this, &THelpForm::FindNext);
  connect(find_, &QLineEdit::textChanged, status_, &QLabel::clear);
  connect(findButton, &QPushButton::clicked, this, &THelpForm::FindNext);
  auto* f3 = new QShortcut(QKeySequence(Qt::Key_F3), this);
  connect(f3, &QShortcut::activated, this, &THelpForm::FindNext);

  if (chapters_.isEmpty())
    browser_->setPlainText(
        QStringLiteral("Руководство пользователя не найдено. Программа ищет его в каталоге "
                       "manual рядом с собой, уровнем выше и в ../share/pakscope/manual."));
}

void THelpForm::ShowChapter(const QString& chapter) {
  if (chapters_.isEmpty()) return;
  const qsizetype hash = chapter.indexOf(u'#');
  QString file = hash < 0 ? chapter : chapter.left(hash);
  const QString heading = hash < 0 ? QString() : chapter.mid(hash + 1);
  // Only a plain file name of the manual folder: the property never leads elsewhere.
  if (file.isEmpty() || QFileInfo(file).fileName() != file || file.startsWith(u'.') ||
      !QFileInfo(QDir(folder_).filePath(file)).isFile())
    file = QString::fromLatin1(kIndexFile);
  open(file);

  // The page's top unless a heading is asked for; a search starts from there.
  browser_->moveCursor(QTextCursor::Start);
  int top = 0;
  if (!heading.isEmpty() && file != QString::fromLatin1(kIndexFile)) {
    QTextDocument* doc = browser_->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
      if (block.blockFormat().headingLevel() > 0 && block.text().startsWith(heading)) {
        QTextCursor cursor(block);
        browser_->setTextCursor(cursor);
        top = static_cast<int>(doc->documentLayout()->blockBoundingRect(block).top());
        break;
      }
    }
  }
  browser_->verticalScrollBar()->setValue(top);
}

void THelpForm::open(const QString& file) {
  const QUrl url = QUrl::fromLocalFile(QDir(folder_).filePath(file));
  if (browser_->source() != url) browser_->setSource(url, QTextDocument::MarkdownResource);
}

QString THelpForm::currentChapter() const {
  return browser_->source().isLocalFile() ? QFileInfo(browser_->source().toLocalFile()).fileName()
                                          : QString();
}

QString THelpForm::statusText() const {
  return status_->text();
}

void THelpForm::syncContents(const QString& shown) {
  int row = -1;
  for (int i = 0; i < chapters_.size(); ++i)
    if (chapters_[i].file == shown) row = i;
  const QSignalBlocker quiet(contents_);
  contents_->setCurrentRow(row);
}

bool THelpForm::chapterContains(int index, const QString& text) const {
  QTextDocument doc;
  doc.setMarkdown(ReadText(QDir(folder_).filePath(chapters_[index].file)));
  return !doc.find(text).isNull();
}

bool THelpForm::FindNext() {
  const QString text = find_->text();
  status_->clear();
  if (text.isEmpty()) return false;
  if (browser_->find(text)) return true;
  const int count = static_cast<int>(chapters_.size());
  int here = 0;
  for (int i = 0; i < count; ++i)
    if (chapters_[i].file == currentChapter()) here = i;
  // Step count comes back to this chapter, searched from its top.
  for (int step = 1; step <= count; ++step) {
    const int i = (here + step) % count;
    if (step < count && !chapterContains(i, text)) continue;
    open(chapters_[i].file);
    browser_->moveCursor(QTextCursor::Start);
    if (browser_->find(text)) {
      if (step == count) status_->setText(QStringLiteral("Поиск продолжен с начала"));
      return true;
    }
  }
  status_->setText(QStringLiteral("Не найдено: «%1»").arg(text));
  return false;
}

void THelpForm::hideEvent(QHideEvent* event) {
  // Opened over a modal dialog the window was modal itself; it goes back to
  // being an ordinary window once closed.
  if (!event->spontaneous() && windowModality() != Qt::NonModal) setWindowModality(Qt::NonModal);
  QWidget::hideEvent(event);
}

}  // namespace pakscope
