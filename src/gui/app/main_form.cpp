#include "gui/app/main_form.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/app/about_form.h"
#include "gui/app/help_window.h"
#include "gui/packets/save_dialog.h"
#include "gui/tools/analysis_tools.h"
#include "gui/view/draw_grid.h"
#include "gui/view/packet_window.h"
#include "hdlc/bit_transforms.h"
#include "hdlc/open_any_file.h"
#include "packets/byte_sink.h"
#include "packets/data_paths.h"
#include "packets/memory_budget.h"
#include "packets/packet_writer.h"
#include "packets/text_paste.h"
#include "protocols/protocol_loader.h"

namespace pakscope {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A file name as a menu item shows it: "&" would otherwise mark an access key.
QString MenuText(QString text) {
  return text.replace(u'&', QStringLiteral("&&"));
}

// Operation names of the out-of-memory message.
constexpr std::string_view kOpenOperation = "Открытие файла";
constexpr std::string_view kPacketizeOperation = "Открытие файла с пакетизацией";
constexpr std::string_view kPasteOperation = "Вставка из буфера обмена";
constexpr std::string_view kSaveAsOperation = "Сохранить как";

QMdiSubWindow* FrameOf(TMDIChild* child) {
  return child ? qobject_cast<QMdiSubWindow*>(child->parentWidget()) : nullptr;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent),
      dialogs_(std::make_unique<TFileDialogs>()),
      protocolFolders_(DefaultProtocolFolders()),
      manualFolder_(FindDataFolder(ProgramFolder(), "manual").value_or(std::filesystem::path())),
      font_(QStringLiteral("Nina"), 8) {
  setWindowTitle(QStringLiteral("Pakscope"));
  setObjectName(QStringLiteral("MainForm"));
  // F1 outside any packet or tool window; those name their own sections.
  setProperty(kHelpChapterProperty, QStringLiteral("01-getting-started.md#Главное окно"));
  mdi_ = new QMdiArea(this);
  mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdi_);
  qApp->installEventFilter(this);

  status_[0] = new QLabel(this);
  // 300 pixels at least; a longer result ("Обнаружено … вхождений (… пакетов)") widens it.
  status_[0]->setMinimumWidth(300);
  status_[1] = new QLabel(this);
  status_[1]->setMinimumWidth(50);
  statusBar()->addWidget(status_[0]);
  statusBar()->addWidget(status_[1]);

  buildMenus();
  buildToolBar();
  host_.attach(this, gauge_, action(QStringLiteral("CGauge1")), action(QStringLiteral("STOPBtn")),
               status_[0], status_[1]);
  host_.showProgress(false);
  // The tool windows exist once for the program, created in this order after
  // the main window; they keep their settings between uses.
  tools_ = std::make_unique<TAnalysisTools>(this, host_,
                                            [this]() -> TFileDialogs& { return *dialogs_; });
}

TMainForm::~TMainForm() {
  // The packet windows go with the widget tree after the members: none may
  // reach the tools meanwhile.
  for (TMDIChild* child : packetWindows()) child->setToolWindows(nullptr);
}

void TMainForm::setDialogs(std::unique_ptr<TFileDialogs> dialogs) {
  dialogs_ = std::move(dialogs);
}

QAction* TMainForm::makeAction(const QString& name, const QString& caption, const QString& tip,
                               const QString& longHint, const QKeySequence& key) {
  auto* a = new QAction(caption, this);
  a->setObjectName(name);
  if (!tip.isEmpty()) a->setToolTip(tip);
  if (!longHint.isEmpty()) a->setStatusTip(longHint);
  if (!key.isEmpty()) a->setShortcut(key);
  return a;
}

QAction* TMainForm::action(const QString& name) const {
  return findChild<QAction*>(name);
}

bool TMainForm::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QMainWindow::event(event);
}

void TMainForm::ShowHint(const QString& hint) {
  // The long part of a hint stands in panel 0 while the pointer rests on its
  // command; the text it covered (a load's result) comes back afterwards unless
  // something wrote the panel meanwhile.
  if (hint.isEmpty()) {
    if (hintShown_ && status_[0]->text() == shownHint_) status_[0]->setText(coveredText_);
    hintShown_ = false;
    return;
  }
  if (!hintShown_ || status_[0]->text() != shownHint_) coveredText_ = status_[0]->text();
  hintShown_ = true;
  shownHint_ = hint;
  status_[0]->setText(hint);
}

QString TMainForm::statusText(int panel) const {
  return panel == 0 || panel == 1 ? status_[panel]->text() : QString();
}

void TMainForm::buildMenus() {
  using K = QKeySequence;
  QStyle* s = style();
  QMenu* file = menuBar()->addMenu(QStringLiteral("&Файл"));
  file->setObjectName(QStringLiteral("FileMenu"));
  file->menuAction()->setStatusTip(QStringLiteral("Файловые операции"));
  QAction* a =
      makeAction("FileNew1", "&Создать", "Создать", "Создать новый файл", K(Qt::CTRL | Qt::Key_N));
  a->setIcon(s->standardIcon(QStyle::SP_FileIcon));
  connect(a, &QAction::triggered, this, &TMainForm::FileNew);
  file->addAction(a);
  a = makeAction("FileOpen1", "&Открыть", "Открыть", "Открыть файл", K(Qt::CTRL | Qt::Key_O));
  a->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
  connect(a, &QAction::triggered, this, &TMainForm::FileOpen);
  file->addAction(a);
  a = makeAction("FileOpenWithPacketize", "Открыть c пакетизацией", {}, {});
  connect(a, &QAction::triggered, this, &TMainForm::FileOpenWithPacketize);
  file->addAction(a);
  a = makeAction("FileSave1", "&Сохранить", "Сохранить", "Сохранить файл");
  a->setEnabled(false);  // saving goes through "Сохранить как"
  file->addAction(a);
  a = makeAction("FileSaveAs1", "Сохранить как", "Сохранить как", "Сохранить файл с другим именем",
                 K(Qt::CTRL | Qt::Key_S));
  a->setIcon(s->standardIcon(QStyle::SP_DialogSaveButton));
  connect(a, &QAction::triggered, this, &TMainForm::FileSaveAs);
  file->addAction(a);
  a = makeAction("FileClose1", "Закрыть", {}, {}, K(Qt::CTRL | Qt::Key_W));
  connect(a, &QAction::triggered, this, &TMainForm::FileClose);
  file->addAction(a);
  history_ = file->addMenu(QStringLiteral("Последние файлы"));
  history_->setObjectName(QStringLiteral("History"));
  file->addSeparator();
  a = makeAction("FileExit1", "Выход", "Exit", "Exit application");
  connect(a, &QAction::triggered, this, &QWidget::close);
  file->addAction(a);

  QMenu* view = menuBar()->addMenu(QStringLiteral("&Вид"));
  view->setObjectName(QStringLiteral("ViewMenu"));
  view->menuAction()->setStatusTip(QStringLiteral("Вид программы"));
  QMenu* controls = view->addMenu(QStringLiteral("Элементы управления"));
  auto check = [&](const char* name, const char* caption, K key = {}) {
    QAction* item = makeAction(name, caption, {}, {}, key);
    item->setCheckable(true);
    item->setChecked(true);
    controls->addAction(item);
    return item;
  };
  QAction* toolBarItem = check("ShowToolBarItem", "Показывать основную панель инструментов");
  QAction* allToolBars =
      check("ShowAllToolBarsItem", "Показывать все панели инструментов", K(Qt::CTRL | Qt::Key_T));
  QAction* statusItem = check("ShowStatusItem", "Показывать информационную панель");
  QAction* allStatus =
      check("ShowAllStatusItem", "Показывать все информационные панели", K(Qt::CTRL | Qt::Key_I));
  QAction* scrollBars = check("ShowScrollBarsItem", "Показывать полосы прокрутки");
  connect(toolBarItem, &QAction::toggled, this, [this](bool on) { toolBar_->setVisible(on); });
  connect(allToolBars, &QAction::toggled, this, [this, toolBarItem](bool on) {
    toolBar_->setVisible(on);
    toolBarItem->setChecked(on);
    for (TMDIChild* child : packetWindows()) {
      child->ShowToolBar(on);
      child->update();
    }
  });
  connect(statusItem, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
  connect(allStatus, &QAction::toggled, this, [this, statusItem](bool on) {
    statusBar()->setVisible(on);
    statusItem->setChecked(on);
    for (TMDIChild* child : packetWindows()) {
      child->ShowStatusBar(on);
      child->update();
    }
  });
  connect(scrollBars, &QAction::toggled, this, [this](bool on) {
    for (TMDIChild* child : packetWindows()) child->ShowScrollBars(on);
  });
  // The display modes: the packet window's own commands with these keys do the
  // work; the menu copies forward to the active window.
  const std::tuple<const char*, const char*, const char*> modes[] = {
      {"ViewDec", "Десятичный\tShift+F1", "Десятичное представление"},
      {"ViewHex", "Шестнадцатеричный\tShift+F2", "Шестнадцатеричное представление"},
      {"ViewBin", "Двоичный\tShift+F3", "Двоичное представление"},
      {"ViewTxt", "Текстовый\tShift+F4", "Символьное представление"},
      {"ViewBit", "Битовый\tShift+F5", "Битовое представление"}};
  const char* const labels[] = {"10", "16", "01", "Aa", "▮▯"};
  int index = 0;
  for (const auto& [name, caption, hint] : modes) {
    QAction* item = makeAction(QStringLiteral("Main") + Q(name), Q(caption), Q(hint), Q(hint));
    item->setIconText(Q(labels[index++]));
    const QString childAction = Q(name);
    connect(item, &QAction::triggered, this, [this, childAction] {
      if (TMDIChild* child = activeChild())
        if (QAction* target = child->action(childAction)) target->trigger();
    });
    view->addAction(item);
  }
  const std::tuple<const char*, const char*, K, const char*> edits[] = {
      {"EditCut1", "Cu&t", K(Qt::CTRL | Qt::Key_X), "cut"},
      {"EditCopy1", "&Copy", K(Qt::CTRL | Qt::Key_C), "copy"},
      {"EditPaste1", "&Paste", K(), "paste"}};
  for (const auto& [name, caption, key, slot] : edits) {
    QAction* item = makeAction(name, caption, {}, {}, key);
    const QByteArray method = slot;
    connect(item, &QAction::triggered, this, [this, method] { EditCommand(method); });
    view->addAction(item);
  }

  QMenu* settings = menuBar()->addMenu(QStringLiteral("Настройки"));
  a = makeAction("FontItem", "Шрифт", {}, {});
  connect(a, &QAction::triggered, this, &TMainForm::FontItem);
  settings->addAction(a);

  windows_ = menuBar()->addMenu(QStringLiteral("&Окна"));
  windows_->setObjectName(QStringLiteral("WindowMenu"));
  windows_->menuAction()->setStatusTip(QStringLiteral("Расположение окон"));
  connect(windows_, &QMenu::aboutToShow, this, &TMainForm::fillWindowMenu);
  a = makeAction("WindowCascade1", "&Каскад", {}, {});
  a->setIconText(QStringLiteral("▚"));
  connect(a, &QAction::triggered, mdi_, &QMdiArea::cascadeSubWindows);
  a = makeAction("WindowTileHorizontal1", "Горизонтально", {}, {});
  a->setIconText(QStringLiteral("☰"));
  connect(a, &QAction::triggered, this, [this] { tile(Qt::Horizontal); });
  a = makeAction("WindowTileVertical1", "Вертикально", {}, {});
  a->setIconText(QStringLiteral("▥"));
  connect(a, &QAction::triggered, this, [this] { tile(Qt::Vertical); });
  a = makeAction("WindowMinimizeAll1", "Свернуть все", {}, {});
  connect(a, &QAction::triggered, this, &TMainForm::WindowMinimizeAll);
  a = makeAction("WindowArrangeAll1", "Развернуть все", {}, {});
  connect(a, &QAction::triggered, this, &TMainForm::WindowArrangeAll);
  fillWindowMenu();

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Помощь"));
  a = makeAction("HELP", "Cправка", {}, {}, K(Qt::Key_F1));
  connect(a, &QAction::triggered, this, [this] { ShowHelp(); });
  help->addAction(a);
  a = makeAction("HelpAbout1", "О программе", {}, {});
  connect(a, &QAction::triggered, this, &TMainForm::HelpAbout);
  help->addAction(a);

  a = makeAction("CtrlVAction", "CtrlVAction", {}, {}, K(Qt::CTRL | Qt::SHIFT | Qt::Key_V));
  addAction(a);
  connect(a, &QAction::triggered, this, &TMainForm::CtrlVAction);
}

void TMainForm::EditCommand(const QByteArray& method) {
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr) return;
  // A packet grid copies its selected cells as text the paste reads back; it has
  // nothing to cut or paste.
  for (TMDIChild* child : packetWindows()) {
    if (child->grid() != focus && !child->grid()->isAncestorOf(focus)) continue;
    if (method == "copy") {
      const QString text = child->SelectedCellsText();
      if (!text.isEmpty()) QApplication::clipboard()->setText(text);
    }
    return;
  }
  // The standard clipboard commands of the focused text field, where it has them.
  if (focus->metaObject()->indexOfMethod(method + "()") >= 0)
    QMetaObject::invokeMethod(focus, method.constData());
}

void TMainForm::fillWindowMenu() {
  windows_->clear();
  for (const char* name : {"WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1",
                           "WindowMinimizeAll1", "WindowArrangeAll1"})
    windows_->addAction(action(Q(name)));
  const QList<QMdiSubWindow*> frames = mdi_->subWindowList();
  if (!frames.isEmpty()) windows_->addSeparator();
  int number = 1;
  for (QMdiSubWindow* frame : frames) {
    QAction* item =
        windows_->addAction(QString::number(number++) + u' ' + MenuText(frame->windowTitle()));
    item->setCheckable(true);
    item->setChecked(frame == mdi_->activeSubWindow());
    connect(item, &QAction::triggered, this, [this, frame] { mdi_->setActiveSubWindow(frame); });
  }
}

void TMainForm::buildToolBar() {
  toolBar_ = addToolBar(QStringLiteral("Main"));
  toolBar_->setObjectName(QStringLiteral("MainToolBar"));
  toolBar_->setIconSize(QSize(24, 24));
  toolBar_->setMovable(false);
  toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  for (const char* name : {"FileNew1", "FileOpen1", "FileSaveAs1"})
    toolBar_->addAction(action(Q(name)));
  toolBar_->addSeparator();
  for (const char* name : {"WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1"}) {
    QAction* a = action(Q(name));
    toolBar_->addAction(a);
    if (auto* button = toolBar_->widgetForAction(a))
      button->setProperty("toolButtonStyle", Qt::ToolButtonTextOnly);
  }
  toolBar_->addSeparator();
  for (const char* name :
       {"MainViewDec", "MainViewHex", "MainViewBin", "MainViewTxt", "MainViewBit"}) {
    QAction* a = action(Q(name));
    toolBar_->addAction(a);
    if (auto* button = toolBar_->widgetForAction(a))
      button->setProperty("toolButtonStyle", Qt::ToolButtonTextOnly);
  }
  toolBar_->addSeparator();
  QAction* stop = makeAction("STOPBtn", "STOP", {}, {});
  connect(stop, &QAction::triggered, this, [this] { host_.requestStop(); });
  toolBar_->addAction(stop);
  if (auto* button = toolBar_->widgetForAction(stop))
    button->setProperty("toolButtonStyle", Qt::ToolButtonTextOnly);
  gauge_ = new QProgressBar;
  gauge_->setObjectName(QStringLiteral("CGauge1"));
  gauge_->setRange(0, 100);
  gauge_->setFixedSize(152, 30);
  QAction* gaugeItem = toolBar_->addWidget(gauge_);
  gaugeItem->setObjectName(QStringLiteral("CGauge1"));
}

TMDIChild* TMainForm::activeChild() const {
  QMdiSubWindow* frame = mdi_->activeSubWindow();
  return frame ? qobject_cast<TMDIChild*>(frame->widget()) : nullptr;
}

QList<TMDIChild*> TMainForm::packetWindows() const {
  QList<TMDIChild*> list;
  for (QMdiSubWindow* frame : mdi_->subWindowList())
    if (auto* child = qobject_cast<TMDIChild*>(frame->widget())) list << child;
  return list;
}

Qt::WindowStates TMainForm::newChildState() const {
  const QList<QMdiSubWindow*> frames = mdi_->subWindowList(QMdiArea::StackingOrder);
  if (frames.isEmpty()) return maximizeChildren_ ? Qt::WindowMaximized : Qt::WindowNoState;
  QMdiSubWindow* front = mdi_->activeSubWindow() ? mdi_->activeSubWindow() : frames.back();
  return front->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized);
}

TMDIChild* TMainForm::createChild(const QString& caption) {
  const Qt::WindowStates state = newChildState();
  auto* child = new TMDIChild(host_, *dialogs_, font_, protocolFolders_);
  child->view().fontColour = fontColour_;
  child->setToolWindows(tools_.get());
  child->setWindowTitle(caption);
  QMdiSubWindow* frame = mdi_->addSubWindow(child);
  // The frame's own menu would claim Ctrl+W and others that the program's
  // commands use.
  if (QMenu* menu = frame->systemMenu())
    for (QAction* item : menu->actions()) item->setShortcut({});
  frame->setWindowTitle(caption);
  // Wide enough for every button of the packet window's tool bar, as far as
  // the window area allows.
  const int decoration = std::max(0, frame->sizeHint().width() - child->sizeHint().width());
  const int toolBarWidth = child->toolBar()->sizeHint().width() + decoration;
  int width = std::max(400, mdi_->width() * 3 / 4);
  if (toolBarWidth > width) width = std::max(width, std::min(toolBarWidth, mdi_->width()));
  frame->resize(width, std::max(300, mdi_->height() * 3 / 4));
  if (state & Qt::WindowMaximized)
    frame->showMaximized();
  else if (state & Qt::WindowMinimized)
    frame->showMinimized();
  else
    frame->show();
  mdi_->setActiveSubWindow(frame);
  child->grid()->setFocus();
  return child;
}

void TMainForm::discardChild(TMDIChild* child) {
  // Only called with no loader or command of the window on the stack.
  child->setLoaded(true);
  QMdiSubWindow* frame = FrameOf(child);
  mdi_->removeSubWindow(frame);
  delete frame;
}

bool TMainForm::OpenFile(const QString& fileName) {
  return OpenInNewWindow(fileName, false);
}

bool TMainForm::OpenWithPacketize(const QString& fileName) {
  const bool opened = OpenInNewWindow(fileName, true);
  host_.clearStop();
  return opened;
}

bool TMainForm::OpenInNewWindow(const QString& fileName, bool packetize) {
  host_.clearStop();
  const std::string_view operation = packetize ? kPacketizeOperation : kOpenOperation;
  const std::string name = fileName.toStdString();
  if (!CheckMemoryFor(host_, LoadNeed(name), operation)) return false;
  TMDIChild* child = createChild(fileName);
  QPointer<TMDIChild> guard(child);
  // An open started from the events of another load runs nested inside it.
  QPointer<TMDIChild> outer = host_.filledWindow();
  host_.setFilledWindow(child);
  uint32_t longest = 0;
  bool outOfMemory = false;
  try {
    longest = packetize ? OpenWithPacketization(name, child->packets(), host_)
                        : OpenAnyFile(name, child->packets(), host_);
  } catch (const std::bad_alloc&) {
    // What the loader built is freed on the way out; the window goes below
    // like the window of any failed load.
    outOfMemory = true;
  }
  host_.setFilledWindow(outer);
  if (!outer) host_.showProgress(false);
  if (guard) {
    child->setLoaded(true);
    if (outOfMemory || longest == 0) {
      discardChild(child);
      guard = nullptr;
    }
  }
  if (outOfMemory) ReportOutOfMemory(host_, operation);
  if (!guard) return false;
  if (!packetize) {
    child->RefreshGrid(longest);
    // Remembered with its full path: the menu may be used from another folder.
    AddRecentFile(QFileInfo(fileName).absoluteFilePath());
  } else {
    const uint32_t columns = static_cast<uint32_t>(child->grid()->layout().columnCount() - 1);
    child->RefreshGrid(std::max(longest, columns));
  }
  return true;
}

void TMainForm::PasteText(const QString& text) {
  // The text is copied twice on its way to the parser, which then holds its
  // bytes and packets.
  if (!CheckMemoryFor(host_, uint64_t(text.size()) * 4, kPasteOperation)) return;
  QPointer<TMDIChild> created;
  QPointer<TMDIChild> target;
  try {
    std::optional<PacketList> parsed = ParsePastedHex(text.toLower().toStdString());
    if (!parsed) {
      host_.messageBox(kPasteInvalidText, "Ошибка", MsgButtons::Ok, MsgIcon::Error);
      return;
    }
    target = activeChild();
    if (target && target->busyWithList()) return;  // a list being filled or analysed
    if (parsed->empty()) return;
    if (!target) target = created = createChild(QStringLiteral("Буфер обмена"));
    const uint32_t longest = MaxPacketLength(*parsed);
    const uint32_t columns = static_cast<uint32_t>(target->grid()->layout().columnCount() - 1);
    target->view().busy = true;
    AppendPackets(target->packets(), std::move(*parsed));
    target->view().busy = false;
    target->RefreshGrid(std::max(longest, columns));
    target->setLoaded(true);
  } catch (const std::bad_alloc&) {
    // The parsed packets are gone; a window opened for them goes too, and the
    // list of a window pasted into is as it was.
    if (created)
      discardChild(created);
    else if (target)
      target->view().busy = false;
    ReportOutOfMemory(host_, kPasteOperation);
  }
}

void TMainForm::CtrlVAction() {
  const QMimeData* data = QApplication::clipboard()->mimeData();
  if (data == nullptr || !data->hasText()) return;
  PasteText(data->text());
}

void TMainForm::FileNew() {
  // A template of the user's own in the working folder is opened; without one
  // an empty window waits for its first paste or appended file.
  const QString templateFile = QStringLiteral("qpk/1.qpk");
  if (QFileInfo(templateFile).isFile()) {
    OpenFile(templateFile);
    return;
  }
  TMDIChild* child = createChild(QStringLiteral("Новый"));
  child->RefreshGrid(0);
  child->setLoaded(true);
}

void TMainForm::FileOpen() {
  if (const auto file = dialogs_->askOpen(this, OpenFilters())) OpenFile(*file);
}

void TMainForm::FileOpenWithPacketize() {
  if (const auto file = dialogs_->askOpen(this, OpenFilters())) OpenWithPacketize(*file);
}

void TMainForm::FileSaveAs() {
  TMDIChild* child = activeChild();
  if (child == nullptr || !child->loaded()) return;
  // An empty file is one the program itself refuses to open.
  if (child->packets().empty()) {
    host_.messageBox(kNothingToSaveText, "Ошибка", MsgButtons::Ok, MsgIcon::Exclamation);
    return;
  }
  QPointer<TMDIChild> guard(child);
  const auto target = AskSaveTarget(*dialogs_, this, child->packets(), host_);
  if (!target || !guard) return;
  try {
    SaveWithMessages(child->packets(), target->fileName.toStdString(), target->writerFormat,
                     target->linkType, host_);
  } catch (const std::bad_alloc&) {
    ReportOutOfMemory(host_, kSaveAsOperation);
  }
}

void TMainForm::FileClose() {
  if (QMdiSubWindow* frame = mdi_->activeSubWindow()) frame->close();
}

void TMainForm::ApplyApplicationFont(const QFont& font) {
  ApplyApplicationFont(font, fontColour_);
}

void TMainForm::ApplyApplicationFont(const QFont& font, const QColor& colour) {
  font_ = font;
  fontColour_ = colour;
  QList<QPointer<TMDIChild>> windows;
  for (TMDIChild* child : packetWindows()) windows << child;
  for (const QPointer<TMDIChild>& child : windows) {
    if (!child) continue;
    child->view().fontColour = fontColour_;
    child->ApplyFont(font_);
    QCoreApplication::processEvents();
  }
}

void TMainForm::FontItem() {
  QFontDialog dialog(font_, this);
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  // The dialog offers no text colour of its own: a button beside OK picks it.
  QColor colour = fontColour_;
  if (auto* box = dialog.findChild<QDialogButtonBox*>()) {
    QPushButton* pick = box->addButton(QStringLiteral("Цвет…"), QDialogButtonBox::ActionRole);
    pick->setObjectName(QStringLiteral("FontColour"));
    connect(pick, &QPushButton::clicked, &dialog, [&dialog, &colour] {
      const QColor chosen = QColorDialog::getColor(colour, &dialog, QStringLiteral("Цвет"),
                                                   QColorDialog::DontUseNativeDialog);
      if (chosen.isValid()) colour = chosen;
    });
    QPushButton* apply = box->addButton(QDialogButtonBox::Apply);
    connect(apply, &QPushButton::clicked, this,
            [this, &dialog, &colour] { ApplyApplicationFont(dialog.currentFont(), colour); });
  }
  if (dialog.exec() == QDialog::Accepted) ApplyApplicationFont(dialog.selectedFont(), colour);
}

void TMainForm::HelpAbout() {
  TAboutForm about(this);
  about.exec();
}

QString TMainForm::HelpFile() {
  return QCoreApplication::applicationDirPath() + QStringLiteral("/Help/Pakscope.chm");
}

bool TMainForm::ShowHelp() {
  return ShowHelp(HelpChapterOf(QApplication::focusWidget()));
}

bool TMainForm::ShowHelp(const QString& chapter) {
  const QString file = HelpFile();
  if (QFile::exists(file)) return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
  if (!help_) help_ = std::make_unique<THelpForm>(QString::fromStdString(manualFolder_.string()));
  // Over a modal dialog an ordinary window could not be used until the dialog
  // closes, so the help window is modal itself until it is closed.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal != help_.get() && help_->windowModality() == Qt::NonModal) {
    help_->hide();
    help_->setWindowModality(Qt::ApplicationModal);
  }
  // Shown first: the place of a heading is known only at the window's width.
  help_->show();
  help_->ShowChapter(chapter);
  help_->raise();
  help_->activateWindow();
  return true;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  // F1 in a window of its own (tool window, dialog, the help window): the HELP
  // shortcut answers only inside the main window.
  if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier &&
        static_cast<QWidget*>(watched)->window() != this) {
      ShowHelp(HelpChapterOf(static_cast<QWidget*>(watched)));
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMainForm::WindowMinimizeAll() {
  for (QMdiSubWindow* frame : mdi_->subWindowList()) frame->showMinimized();
}

void TMainForm::WindowArrangeAll() {
  // Lines the minimised windows up along the bottom edge.
  int x = 0;
  for (QMdiSubWindow* frame : mdi_->subWindowList()) {
    if (!frame->isMinimized()) continue;
    const QSize size = frame->size();
    if (x + size.width() > mdi_->viewport()->width()) x = 0;
    frame->move(x, mdi_->viewport()->height() - size.height());
    x += size.width();
  }
}

void TMainForm::tile(Qt::Orientation orientation) {
  QList<QMdiSubWindow*> frames;
  for (QMdiSubWindow* frame : mdi_->subWindowList())
    if (!frame->isMinimized()) frames << frame;
  if (frames.isEmpty()) return;
  const QRect area = mdi_->viewport()->rect();
  const int n = static_cast<int>(frames.size());
  for (int i = 0; i < n; ++i) {
    QMdiSubWindow* frame = frames[i];
    if (frame->isMaximized()) frame->showNormal();
    if (orientation == Qt::Horizontal) {
      const int h = area.height() / n;
      frame->setGeometry(0, i * h, area.width(), h);
    } else {
      const int w = area.width() / n;
      frame->setGeometry(i * w, 0, w, area.height());
    }
  }
}

void TMainForm::AddRecentFile(const QString& path) {
  recent_.add(path.toStdString());
  rebuildHistoryMenu();
}

void TMainForm::rebuildHistoryMenu() {
  // Items are reused and never removed: the list only grows to its capacity.
  const auto& entries = recent_.entries();
  QList<QAction*> items = history_->actions();
  for (size_t k = 0; k < entries.size(); ++k) {
    QAction* item;
    if (static_cast<qsizetype>(k) < items.size()) {
      item = items[static_cast<qsizetype>(k)];
    } else {
      item = history_->addAction(QString());
      item->setObjectName(QStringLiteral("File%1").arg(k));
      const size_t index = k;
      connect(item, &QAction::triggered, this, [this, index] {
        if (index < recent_.entries().size()) OpenFile(Q(recent_.entries()[index]));
      });
      items << item;
    }
    item->setText(MenuText(Q(RecentFiles::Caption(entries[k]))));
  }
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  setAcceptDrops(true);
  LoadSettings();
  if (!startupFile_.isEmpty()) {
    const QString file = startupFile_;
    QTimer::singleShot(100, this, [this, file] { OpenFile(file); });
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // The active window's state is stored, so it is taken before the windows go.
  TMDIChild* active = activeChild();
  const QMdiSubWindow* activeFrame = FrameOf(active);
  const int childState = activeFrame == nullptr       ? -1
                         : activeFrame->isMinimized() ? 1
                         : activeFrame->isMaximized() ? 2
                                                      : 0;
  for (QMdiSubWindow* frame : mdi_->subWindowList()) {
    if (!frame->close()) {
      // A window still loading or analysing keeps the program open: its loop
      // is on the stack and must finish first.
      event->ignore();
      return;
    }
  }
  setProperty("childStateAtClose", childState);
  SaveSettings();
  event->accept();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  const QString file = urls.front().toLocalFile();
  // Opened after the drop returns, so the file manager is not kept waiting.
  QTimer::singleShot(0, this, [this, file] { OpenFile(file); });
}

}  // namespace pakscope
