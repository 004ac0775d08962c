#include "app/main_frame.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include "app/accelerators.h"
#include "app/auto_match_dialog.h"
#include "app/command_table.h"
#include "app/help_window.h"
#include "app/message_boxes.h"
#include "app/pane.h"
#include "app/progress_window.h"
#include "app/recent_files.h"
#include "app/set_images_dialog.h"
#include "app/tool_icons.h"
#include "views/wait_cursor.h"
#include "project/commands_auto_match.h"
#include "base/error_stack.h"
#include "app/view_context_menu.h"
#include "views/command_ids.h"
#include "views/view_factory.h"

namespace q3d {

namespace {
constexpr const char* kAppTitle = "Quorvan 3D";
constexpr int kIdleUpdateMs = 250;
// Rows of the tool bars and the menu bar left out of the panes' first ideal height.
constexpr int kBarsHeight = 54;
}  // namespace

CMainFrame::CMainFrame(CProjectDoc* doc, CommandTarget* app, RecentFileList* recent, QWidget* parent)
    : QMainWindow(parent), doc_(doc), app_(app), recent_(recent) {
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
  qApp->removeEventFilter(this);
  idleTimer_.stop();
  doc_->RemoveObserver(this);
  doc_->m_resetPanes = nullptr;
  if (recent_) recent_->onChanged = nullptr;
  graveyard_.clear();
  if (help_) delete help_;
}

// ---------------------------------------------------------------------------------------
// Building steps.

void CMainFrame::CreatePanes() {
  mainSplitter_ = new QSplitter(Qt::Horizontal, this);
  mainSplitter_->setObjectName(QStringLiteral("mainSplitter"));
  leftSplitter_ = new QSplitter(Qt::Vertical, mainSplitter_);
  leftSplitter_->setObjectName(QStringLiteral("leftSplitter"));
  panes_[kTopLeft] = new Pane(leftSplitter_);
  panes_[kBottomLeft] = new Pane(leftSplitter_);
  panes_[kRight] = new Pane(mainSplitter_);
  mainSplitter_->addWidget(leftSplitter_);
  mainSplitter_->addWidget(panes_[kRight]);
  leftSplitter_->addWidget(panes_[kTopLeft]);
  leftSplitter_->addWidget(panes_[kBottomLeft]);
  for (QSplitter* s : {mainSplitter_, leftSplitter_}) {
    s->setChildrenCollapsible(false);
    s->setSizes({1, 1});
  }
  setCentralWidget(mainSplitter_);

  InstallView(kTopLeft, CreateContentView(ViewKind::Image1, doc_, panes_[kTopLeft]));
  InstallView(kBottomLeft, CreateContentView(ViewKind::Image2, doc_, panes_[kBottomLeft]));
  InstallView(kRight, CreateContentView(ViewKind::Image1, doc_, panes_[kRight]));
  ActivatePane(kRight);
}

QAction* CMainFrame::MakeAction(int id) {
  const CommandText* text = FindCommandText(id);
  auto* action = new QAction(this);
  if (text) {
    action->setText(QString::fromUtf8(text->menuText));
    action->setStatusTip(QString::fromUtf8(text->prompt));
    action->setToolTip(QString::fromUtf8(text->toolTip));
  }
  action->setData(id);
  action->setIconVisibleInMenu(false);
  connect(action, &QAction::triggered, this, [this, id] { Dispatch(id); });
  actions_[id].append(action);
  return action;
}

void CMainFrame::CreateActions() {
  using namespace cmd;
  const int ids[] = {kNew, kOpen, kSave, kSaveAs, kExportModel, kExit, kUndo, kDelete, kSelectAll,
                     kInvertSelection, kViewToolbar, kViewStatusBar, kViewImage1, kViewImage2,
                     kViewTexture, kView3DModel, kViews, kSetImages, kAutomaticMatching,
                     kManualMatching, kRender, kRefineRender, kRemoveRenderData, kRoiFixedSize, kRoiWholeImage,
                     kFitToWindow, kZoomIn, kZoomOut, kFullColor, kGrayscale, kShowPoints,
                     kShowPointIds, kShowVectors, kToolArrow, kToolPan, kToolZoom, kToolRoi,
                     kThresholdMedian, kEraserTool, kBlur, kMedian, kSharpen, kSmoothOn,
                     kSubdivisions, kCubicInterpolation, kDenseMesh, kTextureOn, kBilinearFiltering,
                     kPointFiltering, kLightingOn, kFlatShading, kGouraudShading, kFillPoint,
                     kFillWireframe, kFillSolid, kHelpContents, kAbout, kNextPane, kPrevPane};
  for (int id : ids) {
    QAction* action = MakeAction(id);
    const QPixmap image = ToolBitmap(id);
    action->setIcon(QIcon(image));
  }
  for (int i = 0; i < RecentFileList::kSize; ++i) recentActions_[i] = MakeAction(kRecentFile1 + i);
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id) {
  QAction* action = Action(id);
  menu->addAction(action);
  return action;
}

void CMainFrame::AddRegionOfInterestMenu(QMenu* menu) {
  QMenu* roi = menu->addMenu(QStringLiteral("&Region Of Interest"));
  AddCommand(roi, cmd::kRoiFixedSize);
  AddCommand(roi, cmd::kRoiWholeImage);
}

void CMainFrame::CreateMenus() {
  using namespace cmd;
  QMenuBar* bar = menuBar();

  fileMenu_ = bar->addMenu(QStringLiteral("&File"));
  for (int id : {kNew, kOpen, kSave, kSaveAs}) AddCommand(fileMenu_, id);
  fileMenu_->addSeparator();
  AddCommand(fileMenu_, kExportModel);
  recentSeparator_ = fileMenu_->addSeparator();
  recentPlaceholder_ = fileMenu_->addAction(QStringLiteral("Recent File"));
  recentPlaceholder_->setEnabled(false);
  for (QAction* a : recentActions_) fileMenu_->addAction(a);
  fileMenu_->addSeparator();
  AddCommand(fileMenu_, kExit);

  QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
  AddCommand(edit, kUndo);
  edit->addSeparator();
  for (int id : {kDelete, kSelectAll, kInvertSelection}) AddCommand(edit, id);

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  AddCommand(view, kViewToolbar);
  AddCommand(view, kViewStatusBar);
  view->addSeparator();
  for (int id : {kViewImage1, kViewImage2, kViewTexture, kView3DModel}) AddCommand(view, id);

  QMenu* project = bar->addMenu(QStringLiteral("&Project"));
  AddCommand(project, kSetImages);
  project->addSeparator();
  AddCommand(project, kAutomaticMatching);
  AddCommand(project, kManualMatching);
  project->addSeparator();
  AddCommand(project, kRender);
  AddCommand(project, kRemoveRenderData);
  project->addSeparator();
  AddCommand(project, kRefineRender);

  QMenu* image = bar->addMenu(QStringLiteral("&Image"));
  AddRegionOfInterestMenu(image);
  image->addSeparator();
  for (int id : {kFitToWindow, kZoomIn, kZoomOut}) AddCommand(image, id);
  image->addSeparator();
  AddCommand(image, kFullColor);
  AddCommand(image, kGrayscale);
  image->addSeparator();
  for (int id : {kShowPoints, kShowPointIds, kShowVectors}) AddCommand(image, id);

  // The image panes' right-button menu: the pane views, then the Image menu.
  imageContextMenu_ = new QMenu(QStringLiteral("&Image"), this);
  QMenu* paneViews = imageContextMenu_->addMenu(QStringLiteral("&View"));
  for (int id : {kViewImage1, kViewImage2, kViewTexture, kView3DModel}) AddCommand(paneViews, id);
  imageContextMenu_->addSeparator();
  for (QAction* a : image->actions()) imageContextMenu_->addAction(a);

  QMenu* texture = bar->addMenu(QStringLiteral("&Texture"));
  textureMenu_ = texture;
  QMenu* cleaning = texture->addMenu(QStringLiteral("Marker &Cleaning"));
  AddCommand(cleaning, kThresholdMedian);
  AddCommand(cleaning, kEraserTool);
  for (int id : {kBlur, kMedian, kSharpen}) AddCommand(texture, id);
  texture->addSeparator();
  AddRegionOfInterestMenu(texture);
  texture->addSeparator();
  for (int id : {kFitToWindow, kZoomIn, kZoomOut}) AddCommand(texture, id);

  QMenu* model = bar->addMenu(QStringLiteral("&3D Model"));
  modelMenu_ = model;
  QMenu* mesh = model->addMenu(QStringLiteral("&Mesh"));
  AddCommand(mesh, kSmoothOn);
  mesh->addSeparator();
  AddCommand(mesh, kSubdivisions);
  AddCommand(mesh, kCubicInterpolation);
  mesh->addSeparator();
  AddCommand(mesh, kDenseMesh);
  QMenu* textureOptions = model->addMenu(QStringLiteral("&Texture"));
  AddCommand(textureOptions, kTextureOn);
  textureOptions->addSeparator();
  AddCommand(textureOptions, kBilinearFiltering);
  AddCommand(textureOptions, kPointFiltering);
  AddCommand(model, kLightingOn);
  QMenu* shading = model->addMenu(QStringLiteral("S&hading"));
  AddCommand(shading, kFlatShading);
  AddCommand(shading, kGouraudShading);
  QMenu* fill = model->addMenu(QStringLiteral("&Fill Mode"));
  for (int id : {kFillPoint, kFillWireframe, kFillSolid}) AddCommand(fill, id);

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  AddCommand(help, kHelpContents);
  help->addSeparator();
  AddCommand(help, kAbout);

  // The menus' states are brought up to date as each opens.
  for (QMenu* menu : findChildren<QMenu*>())
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
}

void CMainFrame::CreateToolBars() {
  using namespace cmd;
  const QSize imageSize(kToolImageWidth, kToolImageHeight);

  mainToolBar_ = addToolBar(QStringLiteral("Main"));
  mainToolBar_->setObjectName(QStringLiteral("mainToolBar"));
  mainToolBar_->setIconSize(imageSize);
  mainToolBar_->setMovable(false);
  for (int id : {kNew, kOpen, kSave, kExportModel}) mainToolBar_->addAction(Action(id));
  mainToolBar_->addSeparator();
  mainToolBar_->addAction(Action(kDelete));
  mainToolBar_->addSeparator();
  mainToolBar_->addAction(Action(kUndo));
  mainToolBar_->addSeparator();
  mainToolBar_->addAction(Action(kViews));
  mainToolBar_->addSeparator();
  mainToolBar_->addAction(Action(kSetImages));
  mainToolBar_->addSeparator();
  mainToolBar_->addAction(Action(kManualMatching));
  mainToolBar_->addAction(Action(kAutomaticMatching));
  mainToolBar_->addSeparator();
  mainToolBar_->addAction(Action(kRender));
  mainToolBar_->addAction(Action(kRemoveRenderData));

  // The Views button's arrow drops down the four pane views; the button does nothing.
  viewsMenu_ = new QMenu(QStringLiteral("Views"), this);
  const std::pair<int, const char*> views[] = {{kViewImage1, "&Image 1"},
                                               {kViewImage2, "I&mage 2"},
                                               {kViewTexture, "Textur&e"},
                                               {kView3DModel, "&3D Model"}};
  for (const auto& [id, text] : views) {
    QAction* a = MakeAction(id);
    a->setText(QString::fromUtf8(text));
    viewsMenu_->addAction(a);
  }
  connect(viewsMenu_, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
  if (auto* button = qobject_cast<QToolButton*>(mainToolBar_->widgetForAction(Action(kViews)))) {
    button->setMenu(viewsMenu_);
    button->setPopupMode(QToolButton::MenuButtonPopup);
  }

  addToolBarBreak();
  viewToolBar_ = addToolBar(QStringLiteral("View"));
  viewToolBar_->setObjectName(QStringLiteral("viewToolBar"));
  viewToolBar_->setIconSize(imageSize);
  viewToolBar_->setMovable(false);
  for (int id : {kToolArrow, kToolPan, kToolZoom, kToolRoi}) viewToolBar_->addAction(Action(id));
  viewToolBar_->addSeparator();
  for (int id : {kFitToWindow, kZoomIn, kZoomOut}) viewToolBar_->addAction(Action(id));
  viewToolBar_->addSeparator();
  viewToolBar_->addAction(Action(kFullColor));
  viewToolBar_->addAction(Action(kGrayscale));
  viewToolBar_->addSeparator();
  for (int id : {kShowPoints, kShowPointIds, kShowVectors}) viewToolBar_->addAction(Action(id));
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  readyLabel_ = new QLabel(QStringLiteral("Ready"), bar);
  bar->addWidget(readyLabel_, 1);
  // Lock-key indicators: the platform offers no portable way to read the lock states,
  // so the panes are shown dimmed.
  for (const char* text : {"CAP", "NUM", "SCRL"}) {
    auto* indicator = new QLabel(QString::fromLatin1(text), bar);
    indicator->setEnabled(false);
    indicator->setFrameShape(QFrame::Panel);
    indicator->setFrameShadow(QFrame::Sunken);
    bar->addPermanentWidget(indicator);
  }
}

// ---------------------------------------------------------------------------------------
// Panes.

ContentView* CMainFrame::ActiveView() const {
  if (infoBarActive_) return nullptr;
  return panes_[activePane_] ? panes_[activePane_]->View() : nullptr;
}

void CMainFrame::InstallView(int paneIndex, std::unique_ptr<ContentView> view) {
  Pane* pane = panes_[paneIndex];
  ContentView* raw = view.get();
  raw->onStateChanged = [this, pane] {
    pane->RefreshCaption();
    UpdateCommandStates();
  };
  GiveContextMenu(raw, ContextMenuFor(raw->Kind()));
  pane->SetView(std::move(view));
}

QMenu* CMainFrame::ContextMenuFor(ViewKind kind) const {
  switch (kind) {
    case ViewKind::Image1:
    case ViewKind::Image2: return imageContextMenu_;
    case ViewKind::Texture: return textureMenu_;
    case ViewKind::Model3D: return modelMenu_;
  }
  return nullptr;
}

void CMainFrame::Bury(std::unique_ptr<ContentView> view) {
  if (!view) return;
  // The old view may be the caller of the command that replaced it: it is deleted only
  // once control is back in the event loop.
  graveyard_.push_back(std::move(view));
  QTimer::singleShot(0, this, [this] { graveyard_.clear(); });
}

void CMainFrame::ActivatePane(int index, bool infoBar) {
  if (index < 0 || index >= kPaneCount) return;
  activePane_ = index;
  infoBarActive_ = infoBar;
  for (int i = 0; i < kPaneCount; ++i) panes_[i]->SetActive(i == index && !infoBar);
  QWidget* focus = infoBar ? static_cast<QWidget*>(panes_[index]->InfoBar())
                           : (panes_[index]->View() ? panes_[index]->View()->Widget() : nullptr);
  if (focus && !focus->hasFocus()) focus->setFocus(Qt::OtherFocusReason);
  UpdateCommandStates();
}

int CMainFrame::PaneOfWidget(const QWidget* w, bool* inInfoBar) const {
  for (; w; w = w->parentWidget()) {
    for (int i = 0; i < kPaneCount; ++i) {
      if (w == panes_[i]->InfoBar()) {
        *inInfoBar = true;
        return i;
      }
      if (panes_[i]->View() && w == panes_[i]->View()->Widget()) {
        *inInfoBar = false;
        return i;
      }
    }
  }
  return -1;
}

void CMainFrame::OnFocusChanged(QWidget* now) {
  bool infoBar = false;
  const int index = PaneOfWidget(now, &infoBar);
  if (index < 0 || (index == activePane_ && infoBar == infoBarActive_)) return;
  ActivatePane(index, infoBar);
}

void CMainFrame::SwitchPaneView(ViewKind kind) {
  if (infoBarActive_ || !panes_[activePane_]->View()) return;
  Pane* pane = panes_[activePane_];
  Bury(pane->TakeView());
  InstallView(activePane_, CreateContentView(kind, doc_, pane));
  ActivatePane(activePane_);
}

void CMainFrame::ResetPanes() {
  if (!laidOut_) return;
  const std::pair<int, ViewKind> initial[] = {
      {kTopLeft, ViewKind::Image1}, {kBottomLeft, ViewKind::Image2}, {kRight, ViewKind::Image1}};
  for (const auto& [index, kind] : initial) {
    ActivatePane(index);
    SwitchPaneView(kind);
  }
}

void CMainFrame::ActivateNeighbourPane(int step) {
  ActivatePane((activePane_ + step + kPaneCount) % kPaneCount);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  const QScreen* s = screen();
  if (laidOut_ || !isMaximized() || !s || width() != s->availableGeometry().width()) return;
  const int w = width();
  const int h = height();
  mainSplitter_->setSizes({w / 3, w - w / 3});
  const int top = (h - kBarsHeight) / 2;
  leftSplitter_->setSizes({top, std::max(1, leftSplitter_->height() - top)});
  laidOut_ = true;
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
  if (ContentView* view = ActiveView(); view && view->OnCommand(id)) {
  } else if (OnCommand(id)) {
  } else if (app_) {
    app_->OnCommand(id);
  }
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
}

bool CMainFrame::IsCameraViewInManualMatching(ContentView* view) {
  if (!view || (view->Kind() != ViewKind::Image1 && view->Kind() != ViewKind::Image2)) return false;
  CommandState matching;
  return view->OnUpdateCommand(cmd::kManualMatching, matching) && matching.checked;
}

bool CMainFrame::ViewSwitchAllowed() {
  return !infoBarActive_ && !IsCameraViewInManualMatching(ActiveView());
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
      bool infoBar = false;
      const int index = PaneOfWidget(widget, &infoBar);
      if (index >= 0 && (index != activePane_ || infoBar != infoBarActive_)) ActivatePane(index, infoBar);
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
// Frame commands.

void CMainFrame::OnSetImages() {
  SetImagesDialog dialog(this);
  if (dialog.exec() != QDialog::Accepted) return;
  if (doc_->HasAnyImage()) {
    const auto answer = QMessageBox::warning(this, QString::fromLatin1(kAppTitle),
                                             QStringLiteral("The project will be destroyed. Are you sure?"),
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes) return;
  }
  const int errorsBefore = ErrorCount();
  int result = 1;
  {
    WaitCursor wait;
    result = doc_->SetImages(dialog.FileName(0).toStdString(), dialog.FileName(1).toStdString());
  }
  // A file that cannot be loaded is reported rather than leaving an empty pane unexplained.
  if (result != 1) ShowFailure(errorsBefore);
}

void CMainFrame::OnAutomaticMatching() {
  AutoMatchDialog dialog(autoMatchParams_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  autoMatchParams_ = dialog.Params();
  if (AutoMatchingReplacesWork(*doc_)) {
    const auto answer = QMessageBox::warning(
        this, QString::fromLatin1(kAppTitle),
        QStringLiteral("The points and matches of the project will be replaced. Are you sure?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes) return;
  }
  const int errorsBefore = ErrorCount();
  int result = 0;
  {
    WaitCursor wait;
    result = RunAutomaticMatching(*doc_, autoMatchParams_);
  }
  if (result != 1) ShowFailure(errorsBefore);
}

bool CMainFrame::RefineRender() const {
  return QSettings().value(QString::fromLatin1(kRefineRenderKey), false).toBool();
}

void CMainFrame::SetRefineRender(bool refine) {
  QSettings().setValue(QString::fromLatin1(kRefineRenderKey), refine);
}

void CMainFrame::OnRender() {
  const int errorsBefore = ErrorCount();
  RenderOptions options;
  options.refine = RefineRender();
  int result = 0;
  {
    WaitCursor wait;  // the refinement runs after the progress window has closed
    result = doc_->Render(options);
  }
  if (result == 1) {
    ActivatePane(kRight);
    SwitchPaneView(ViewKind::Model3D);
    return;
  }
  ShowFailure(errorsBefore);
}

void CMainFrame::ShowHelpContents() {
  if (!help_) help_ = new HelpWindow(nullptr);
  help_->ShowContents();
  help_->show();
  help_->raise();
  help_->activateWindow();
}

// ---------------------------------------------------------------------------------------
// Document files.

QString CMainFrame::DocumentTitle() const {
  const QString path = QString::fromStdString(doc_->PathName());
  return path.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(path).fileName();
}

void CMainFrame::UpdateTitle() {
  setWindowTitle(QStringLiteral("%1 - %2").arg(DocumentTitle(), QString::fromLatin1(kAppTitle)));
}

bool CMainFrame::SaveModified() {
  if (!doc_->IsModified()) return true;
  const auto answer = QMessageBox::warning(this, QString::fromLatin1(kAppTitle),
                                           QStringLiteral("Save changes to %1?").arg(DocumentTitle()),
                                           QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                           QMessageBox::Yes);
  if (answer == QMessageBox::Cancel) return false;
  if (answer == QMessageBox::No) return true;
  return SaveDocument();
}

bool CMainFrame::SaveDocument() {
  if (doc_->PathName().empty()) return SaveDocumentAs();
  return SaveDocumentTo(QString::fromStdString(doc_->PathName()));
}

bool CMainFrame::SaveDocumentAs() {
  QString suggested = QString::fromStdString(doc_->PathName());
  if (suggested.isEmpty()) suggested = QStringLiteral("Untitled.qvp");
  QFileDialog dialog(this, QStringLiteral("Save As"), suggested,
                     QStringLiteral("Quorvan 3D Projects (*.qvp)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("qvp"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  return SaveDocumentTo(dialog.selectedFiles().first());
}

bool CMainFrame::SaveDocumentTo(const QString& path) {
  const int errorsBefore = ErrorCount();
  bool saved = false;
  {
    WaitCursor wait;
    saved = doc_->SaveProject(path.toStdString());
  }
  if (!saved) {
    ShowFailure(errorsBefore);
    return false;
  }
  if (recent_) recent_->Add(path);
  UpdateTitle();
  return true;
}

void CMainFrame::RebuildRecentFileMenu() {
  const QStringList entries = recent_ ? recent_->Entries() : QStringList{};
  for (int i = 0; i < RecentFileList::kSize; ++i) {
    QAction* a = recentActions_[i];
    const bool used = i < entries.size();
    a->setVisible(used);
    if (used) {
      QString shown = entries[i];
      shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
      a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
    }
  }
  recentPlaceholder_->setVisible(entries.isEmpty());
}

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
    if (openFile) openFile(path);
  });
}

}  // namespace q3d
