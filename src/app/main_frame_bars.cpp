// Building the frame's actions, menus, tool bars and status bar.
#include <QActionGroup>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "app/command_table.h"
#include "app/dot_centring_menu.h"
#include "app/focal_length_dialog.h"
#include "app/main_frame.h"
#include "app/model_scale_menu.h"
#include "app/recent_files.h"
#include "app/tool_icons.h"
#include "views/command_ids.h"

namespace q3d {

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
  const int ids[] = {kNew,
                     kOpen,
                     kSave,
                     kSaveAs,
                     kExportModel,
                     kExit,
                     kUndo,
                     kRedo,
                     kDelete,
                     kSelectAll,
                     kInvertSelection,
                     kViewToolbar,
                     kViewStatusBar,
                     kViewImage1,
                     kViewImage2,
                     kViewTexture,
                     kView3DModel,
                     kViews,
                     kSetImages,
                     kAutomaticMatching,
                     kManualMatching,
                     kRender,
                     kRefineRender,
                     kRemoveRenderData,
                     kRoiFixedSize,
                     kRoiWholeImage,
                     kFitToWindow,
                     kZoomIn,
                     kZoomOut,
                     kFullColor,
                     kGrayscale,
                     kShowPoints,
                     kShowPointIds,
                     kShowVectors,
                     kToolArrow,
                     kToolPan,
                     kToolZoom,
                     kToolRoi,
                     kThresholdMedian,
                     kEraserTool,
                     kBlur,
                     kMedian,
                     kSharpen,
                     kSmoothOn,
                     kSubdivisions,
                     kCubicInterpolation,
                     kDenseMesh,
                     kTextureOn,
                     kBilinearFiltering,
                     kPointFiltering,
                     kLightingOn,
                     kFlatShading,
                     kGouraudShading,
                     kFillPoint,
                     kFillWireframe,
                     kFillSolid,
                     kResetView,
                     kHelpContents,
                     kAbout,
                     kNextPane,
                     kPrevPane};
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
  AddCommand(edit, kRedo);
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
  AddFocalLengthEntry(project, doc_, [this] {
    guard_.Run([this] {
      EditScope edit(*doc_, "Render");
      doc_->RemoveRenderData();
      OnRender();
    });
    UpdateCommandStates();
  });
  AddDotCentringEntries(project, doc_, statusBar());
  project->addSeparator();
  AddRealDistanceEntry(project, doc_, this);

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
  AddCommand(mesh, kDenseMesh);
  AddDenseMarginEntry(mesh, doc_, this);
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
  model->addSeparator();
  AddCommand(model, kResetView);

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
  mainToolBar_->addAction(Action(kRedo));
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

QMenu* CMainFrame::ContextMenuFor(ViewKind kind) const {
  switch (kind) {
    case ViewKind::Image1:
    case ViewKind::Image2: return imageContextMenu_;
    case ViewKind::Texture: return textureMenu_;
    case ViewKind::Model3D: return modelMenu_;
  }
  return nullptr;
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

}  // namespace q3d
