#include "app/main_frame.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>
#include <QWindow>

#include "app/accelerators.h"
#include "app/command_table.h"
#include "app/help_window.h"
#include "app/progress_window.h"
#include "app/recent_files.h"
#include "project/render_summary.h"
#include "views/command_ids.h"
#include "views/status_message.h"

namespace q3d {

namespace {
constexpr int kIdleUpdateMs = 250;
}  // namespace

CMainFrame::CMainFrame(CProjectDoc* doc, CommandTarget* app, RecentFileList* recent, QWidget* parent)
    : QMainWindow(parent), doc_(doc), app_(app), recent_(recent), guard_(doc, [this] { FitPanesToDocument(); }) {
  setObjectName(QStringLiteral("mainFrame"));
  CreateActions();
  CreateMenus();
  CreateToolBars();
  CreateStatusBar();
  CreatePanes();
  setAcceptDrops(true);

  doc_->AddObserver(this);
  doc_->m_resetPanes = [this] { ResetPanes(); };
  if (recent_) recent_->onChanged = [this] { RebuildRecentFileMenu(); };
  RebuildRecentFileMenu();
  ProgressWindow::SetOwner(this);

  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { OnFocusChanged(now); });
  qApp->installEventFilter(this);
  connect(&idleTimer_, &QTimer::timeout, this, &CMainFrame::UpdateCommandStates);
  idleTimer_.start(kIdleUpdateMs);

  UpdateTitle();
  UpdateCommandStates();
}

CMainFrame::~CMainFrame() {
  // The widgets still change the focus while QWidget's destructor runs, after this one.
  disconnect(qApp, &QApplication::focusChanged, this, nullptr);
  qApp->removeEventFilter(this);
  idleTimer_.stop();
  doc_->RemoveObserver(this);
  doc_->m_resetPanes = nullptr;
  if (recent_) recent_->onChanged = nullptr;
  graveyard_.clear();
  if (help_) delete help_;
}

// ---------------------------------------------------------------------------------------
// Command routing.

QAction* CMainFrame::Action(int id) const {
  const auto it = actions_.find(id);
  return it == actions_.end() || it->second.isEmpty() ? nullptr : it->second.first();
}

QList<QAction*> CMainFrame::Actions(int id) const {
  const auto it = actions_.find(id);
  return it == actions_.end() ? QList<QAction*>{} : it->second;
}

CommandState CMainFrame::QueryCommand(int id) {
  CommandState state;
  if (ContentView* view = ActiveView(); view && view->OnUpdateCommand(id, state)) return state;
  state = CommandState{};
  if (OnUpdateCommand(id, state)) return state;
  state = CommandState{};
  if (app_ && app_->OnUpdateCommand(id, state)) return state;
  return CommandState{false, false, false};
}

void CMainFrame::Dispatch(int id) {
  if (!QueryCommand(id).enabled) return;
  // Every command of the menus, tool bars and keys passes here, and so through the guard.
  guard_.Run([this, id] {
    if (ContentView* view = ActiveView(); view && view->OnCommand(id)) return;
    if (OnCommand(id)) return;
    if (app_) app_->OnCommand(id);
  });
  UpdateCommandStates();
}

void CMainFrame::UpdateCommandStates() {
  for (auto& [id, list] : actions_) {
    if (id == cmd::kViews) {
      for (QAction* a : list) a->setEnabled(true);
      continue;
    }
    const CommandState state = QueryCommand(id);
    for (QAction* action : list) {
      action->setEnabled(state.enabled);
      action->setCheckable(state.checked || state.radio);
      action->setChecked(state.checked);
      // A radio entry shows a dot rather than a tick.
      if (state.radio && !action->actionGroup()) {
        auto* group = new QActionGroup(action);
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        group->addAction(action);
      } else if (!state.radio && action->actionGroup()) {
        action->actionGroup()->removeAction(action);
      }
    }
  }
  setWindowModified(doc_->IsModified());
  ExplainRender();
  NameHistorySteps();
}

void CMainFrame::NameHistorySteps() {
  const std::pair<int, std::string> steps[] = {{cmd::kUndo, doc_->m_history.UndoName()},
                                               {cmd::kRedo, doc_->m_history.RedoName()}};
  for (const auto& [id, step] : steps) {
    const CommandText* text = FindCommandText(id);
    QString name = QString::fromStdString(step);
    const QString tip = name.isEmpty()
                            ? QString::fromUtf8(text->toolTip)
                            : QStringLiteral("%1 %2").arg(QString::fromUtf8(text->toolTip), name);
    // The menu shows the step between the command and its keys: "&Undo Delete 12 Points\tCtrl+Z".
    QString menu = QString::fromUtf8(text->menuText);
    if (!name.isEmpty()) {
      const qsizetype tab = menu.indexOf(QLatin1Char('\t'));
      menu.insert(tab < 0 ? menu.size() : tab,
                  QLatin1Char(' ') + name.replace(QLatin1Char('&'), QStringLiteral("&&")));
    }
    for (QAction* action : Actions(id)) {
      if (action->text() != menu) action->setText(menu);
      if (action->toolTip() != tip) action->setToolTip(tip);
    }
  }
}

void CMainFrame::OnUndoRedo(bool redo) {
  EditHistory& history = doc_->m_history;
  const QString name = QString::fromStdString(redo ? history.RedoName() : history.UndoName());
  if (redo)
    history.Redo();
  else
    history.Undo();
  ShowStatusMessage(this, QStringLiteral("%1: %2.").arg(
                              redo ? QStringLiteral("Redone") : QStringLiteral("Undone"), name));
}

void CMainFrame::ExplainRender() {
  // A greyed Render says in its tip and prompt what it waits for.
  const QString why = QString::fromStdString(WhyRenderUnavailable(*doc_));
  for (QAction* action : Actions(cmd::kRender)) {
    if (!action->property("readyTips").isValid())
      action->setProperty("readyTips", QStringList{action->statusTip(), action->toolTip()});
    const QStringList ready = action->property("readyTips").toStringList();
    action->setStatusTip(why.isEmpty() ? ready[0] : why);
    action->setToolTip(why.isEmpty() ? ready[1] : QStringLiteral("Render: ") + why);
  }
}

bool CMainFrame::IsCameraViewInManualMatching(ContentView* view) {
  if (!view || (view->Kind() != ViewKind::Image1 && view->Kind() != ViewKind::Image2)) return false;
  CommandState matching;
  return view->OnUpdateCommand(cmd::kManualMatching, matching) && matching.checked;
}

bool CMainFrame::ViewSwitchAllowed() {
  return !IsCameraViewInManualMatching(ActiveView());
}

bool CMainFrame::OnUpdateCommand(int id, CommandState& state) {
  using namespace cmd;
  const ContentView* view = ActiveView();
  const auto activeKindIs = [view](ViewKind kind) { return view && view->Kind() == kind; };
  switch (id) {
    case kSetImages:
    case kViews:
    case kHelpContents:
    case kNextPane:
    case kPrevPane:
    case kSave:
    case kSaveAs:
      state.enabled = true;
      return true;
    case kUndo:
      state.enabled = doc_->m_history.CanUndo();
      return true;
    case kRedo:
      state.enabled = doc_->m_history.CanRedo();
      return true;
    case kAutomaticMatching: state.enabled = doc_->ImagesLoaded(); return true;
    case kRender: state.enabled = doc_->ReadyToRender(); return true;
    case kRemoveRenderData: state.enabled = doc_->IsRendered(); return true;
    case kRefineRender:
      state.enabled = true;
      state.checked = RefineRender();
      return true;
    case kViewImage1:
    case kViewImage2:
      state.enabled = ViewSwitchAllowed();
      state.checked = activeKindIs(id == kViewImage1 ? ViewKind::Image1 : ViewKind::Image2);
      return true;
    case kViewTexture:
    case kView3DModel: {
      const bool allowed = ViewSwitchAllowed();
      state.enabled = allowed && doc_->IsRendered();
      state.checked = allowed && activeKindIs(id == kViewTexture ? ViewKind::Texture : ViewKind::Model3D);
      return true;
    }
    case kViewToolbar:
      state.checked = mainToolBar_ && mainToolBar_->isVisibleTo(this);
      return true;
    case kViewStatusBar:
      state.checked = statusBar()->isVisibleTo(this);
      return true;
    default: return false;
  }
}

bool CMainFrame::OnCommand(int id) {
  using namespace cmd;
  switch (id) {
    case kUndo:
    case kRedo:
      OnUndoRedo(id == kRedo);
      return true;
    case kSetImages: OnSetImages(); return true;
    case kAutomaticMatching: OnAutomaticMatching(); return true;
    case kRender: OnRender(); return true;
    case kRefineRender: SetRefineRender(!RefineRender()); return true;
    case kRemoveRenderData: doc_->RemoveRenderData(); return true;
    case kViewImage1: SwitchPaneView(ViewKind::Image1); return true;
    case kViewImage2: SwitchPaneView(ViewKind::Image2); return true;
    case kViewTexture: SwitchPaneView(ViewKind::Texture); return true;
    case kView3DModel: SwitchPaneView(ViewKind::Model3D); return true;
    case kViews: return true;
    case kNextPane: ActivateNeighbourPane(1); return true;
    case kPrevPane: ActivateNeighbourPane(-1); return true;
    case kViewToolbar: {
      const bool show = !mainToolBar_->isVisibleTo(this);
      mainToolBar_->setVisible(show);
      viewToolBar_->setVisible(show);
      return true;
    }
    case kViewStatusBar: statusBar()->setVisible(!statusBar()->isVisibleTo(this)); return true;
    case kHelpContents: ShowHelpContents(); return true;
    case kSave: SaveDocument(); return true;
    case kSaveAs: SaveDocumentAs(); return true;
    default: return false;
  }
}

void CMainFrame::OnDocumentUpdate(DocumentObserver*, int) { UpdateCommandStates(); }

// The accelerator table comes before menu mnemonics and shortcuts, as long as the main
// window is the active window and no menu or modal window is open.
bool CMainFrame::HandleAccelerator(QEvent* event) {
  if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) return false;
  if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return false;
  if (QApplication::activeWindow() && QApplication::activeWindow() != this) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  const int id = CommandForKey(key->key(), key->modifiers());
  if (id == 0) return false;
  if (event->type() == QEvent::ShortcutOverride) {
    event->accept();
    return true;
  }
  Dispatch(id);
  return true;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    // Views that take no focus still become active when clicked.
    if (auto* widget = qobject_cast<QWidget*>(watched)) {
      // A click on a pane's caption activates the pane's view, as a click on the view does.
      const int index = PaneOfWidget(widget);
      if (index >= 0 && index != activePane_) ActivatePane(index);
    }
    return false;
  }
  if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->window() == this)
    return HandleAccelerator(event);
  if (auto* window = qobject_cast<QWindow*>(watched); window && window == windowHandle())
    return HandleAccelerator(event);
  return false;
}

// ---------------------------------------------------------------------------------------
// Window events.

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (!SaveModified()) {
    event->ignore();
    return;
  }
  if (help_) help_->close();
  event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && event->mimeData()->urls().first().isLocalFile())
    event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  activateWindow();
  const QString path = urls.first().toLocalFile();
  // Opened once the drop has finished, so that the questions and the progress window are
  // not shown inside the drag-and-drop loop.
  QTimer::singleShot(0, this, [this, path] {
    if (openFile) guard_.Run([this, &path] { openFile(path); });
  });
}


}  // namespace q3d
