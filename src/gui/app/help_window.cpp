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
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

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

// Room kept beside a figure scaled to the page: the document's margins.
constexpr int kFigureMargin = 24;

}  // namespace

QString LinkChapterReferences(const QString& markdown, const QHash<QString, QString>& files) {
  // "глава 8", "в главе 3", "главы 9": any case of the word, followed by the
  // number of a chapter the contents list. Code blocks and link texts stay.
  static const QRegularExpression reference(
      QStringLiteral(R"((?<![\[\p{L}])([Гг]лав(?:а|ы|е|у|ой))\s+(\d+)(?![\d\]]))"));
  QStringList lines = markdown.split(u'\n');
  bool code = false;
  for (QString& line : lines) {
    if (line.trimmed().startsWith(QStringLiteral("```"))) code = !code;
    if (code || line.startsWith(QStringLiteral("    ")) || line.startsWith(u'#')) continue;
    QString out;
    qsizetype done = 0;
    for (auto it = reference.globalMatch(line); it.hasNext();) {
      const QRegularExpressionMatch m = it.next();
      const QString file = files.value(m.captured(2));
      // Inside `code` an odd number of backticks precedes the match.
      if (file.isEmpty() || line.left(m.capturedStart()).count(u'`') % 2 != 0) continue;
      out += line.mid(done, m.capturedStart() - done);
      out += u'[' + m.captured(0) + QStringLiteral("](") + file + u')';
      done = m.capturedEnd();
    }
    if (done > 0) line = out + line.mid(done);
  }
  return lines.join(u'\n');
}

// The text browser of the help window: chapter references become links,
// figures are no wider than the page, and a click on one shows it full size.
class THelpBrowser : public QTextBrowser {
 public:
  THelpBrowser(const QList<THelpChapter>& chapters, QWidget* parent) : QTextBrowser(parent) {
    static const QRegularExpression number(QStringLiteral(R"(^(\d+)\. )"));
    for (const THelpChapter& chapter : chapters) {
      const QRegularExpressionMatch m = number.match(chapter.title);
      if (m.hasMatch()) files_.insert(m.captured(1), chapter.file);
    }
    viewport()->installEventFilter(this);
  }

  QVariant loadResource(int type, const QUrl& name) override {
    if (type != QTextDocument::MarkdownResource || !name.isLocalFile())
      return QTextBrowser::loadResource(type, name);
    return LinkChapterReferences(ReadText(name.toLocalFile()), files_);
  }

  // Every figure at its own width or the page's, whichever is smaller.
  void fitFigures() {
    // Scaling is no edit a user could undo; kept off the undo stack, resizes cost no memory.
    document()->setUndoRedoEnabled(false);
    const int room = std::max(64, viewport()->width() - kFigureMargin);
    QTextDocument* doc = document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.charFormat().isImageFormat()) continue;
        QTextImageFormat image = fragment.charFormat().toImageFormat();
        const QSize natural = naturalSize(image.name());
        if (natural.isEmpty()) continue;
        const int width = std::min(natural.width(), room);
        if (qRound(image.width()) == width) continue;
        image.setWidth(width);
        image.setHeight(static_cast<double>(natural.height()) * width / natural.width());
        QTextCursor cursor(doc);
        cursor.setPosition(fragment.position());
        cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
        cursor.setCharFormat(image);
      }
    }
  }

  // The figure under `pos` in the viewport, shown full size in a window of its own.
  bool showFigureAt(QPoint pos) {
    const QString name = document()->documentLayout()->imageAt(
        QPointF(pos) + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value()));
    if (name.isEmpty()) return false;
    const QImage image = figure(name);
    if (image.isNull()) return false;
    auto* label = new QLabel;
    label->setPixmap(QPixmap::fromImage(image));
    auto* view = new QScrollArea(this);
    view->setWindowFlags(Qt::Window);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setObjectName(QStringLiteral("HelpFigure"));
    view->setWindowTitle(QFileInfo(name).fileName());
    view->setWidget(label);
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), view);
    connect(esc, &QShortcut::activated, view, &QWidget::close);
    view->resize(image.size().boundedTo(QSize(1600, 1200)) + QSize(4, 4));
    view->show();
    return true;
  }

 protected:
  void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override {
    QTextBrowser::doSetSource(name, type);
    fitFigures();
  }
  void resizeEvent(QResizeEvent* event) override {
    QTextBrowser::resizeEvent(event);
    fitFigures();
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        showFigureAt(static_cast<QMouseEvent*>(event)->position().toPoint()))
      return true;
    return QTextBrowser::eventFilter(watched, event);
  }

 private:
  QImage figure(const QString& name) const {
    const QVariant resource = document()->resource(QTextDocument::ImageResource, QUrl(name));
    if (resource.canConvert<QImage>()) return resource.value<QImage>();
    return QImage(QDir(searchPaths().value(0)).filePath(name));
  }
  QSize naturalSize(const QString& name) {
    if (!sizes_.contains(name)) sizes_.insert(name, figure(name).size());
    return sizes_.value(name);
  }

  QHash<QString, QString> files_;  // chapter number -> file
  QHash<QString, QSize> sizes_;
};

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
  browser_ = new THelpBrowser(chapters_, this);
  browser_->setObjectName(QStringLiteral("HelpText"));
  browser_->setOpenExternalLinks(true);
  browser_->setSearchPaths({folder_});
  auto* split = new QSplitter(this);
  split->addWidget(contents_);
  split->addWidget(browser_);
  split->setStretchFactor(1, 1);
  // The contents list is as wide as its longest title: none is cut.
  const int listWidth = contents_->sizeHintForColumn(0) + 2 * contents_->frameWidth() +
                        contents_->verticalScrollBar()->sizeHint().width() + 8;
  contents_->setMinimumWidth(listWidth);
  split->setSizes({listWidth, 680});
  split->setCollapsible(0, false);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(split, 1);
  resize(listWidth + 700, 650);

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
  auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(esc, &QShortcut::activated, this, &QWidget::close);

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

bool THelpForm::ShowFigureAt(QPoint pos) {
  return static_cast<THelpBrowser*>(browser_)->showFigureAt(pos);
}

QString THelpForm::currentChapter() const {
  return browser_->source().isLocalFile() ? QFileInfo(browser_->source().toLocalFile()).fileName()
                                          : QString();
}

QString THelpForm::statusText() const {
  return status_->text();
}

void THelpForm::syncContents(const QString& shown) {
  // "Не найдено" spoke of the chapter left behind.
  status_->clear();
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
