#pragma once
// The main window: three panes (each an info bar over a content view) in a splitter
// tree, the menus, tool bars, accelerators and status bar, and the commands of the
// frame. Commands go to the active view first, then the frame, then the application.
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/command_guard.h"
#include "app/command_target.h"
#include "app/help_window.h"
#include "matching/auto_match_params.h"
#include "project/project_doc.h"
#include "views/content_view.h"

class QLabel;
class QMenu;
class QSplitter;
class QToolBar;

namespace q3d {

class Pane;
class RecentFileList;

class CMainFrame : public QMainWindow, public CommandTarget, public DocumentObserver {
 public:
  static constexpr const char* kAppTitle = "Quorvan 3D";
  enum PaneIndex { kTopLeft = 0, kBottomLeft = 1, kRight = 2, kPaneCount = 3 };

  // app receives the commands neither the view nor the frame handles (may be null);
  // recent is the list shown in the File menu (may be null).
  CMainFrame(CProjectDoc* doc, CommandTarget* app, RecentFileList* recent, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Panes and the active view.
  Pane* PaneAt(int index) const { return panes_[index]; }
  int ActivePaneIndex() const { return activePane_; }
  // The content view of the active pane.
  ContentView* ActiveView() const;
  void ActivatePane(int index);
  void SwitchPaneView(ViewKind kind);
  void ResetPanes();
  // Set once the frame has been laid out at full screen width; panes reset only then.
  bool IsLaidOut() const { return laidOut_; }
  QSplitter* MainSplitter() const { return mainSplitter_; }
  QSplitter* LeftSplitter() const { return leftSplitter_; }

  // Commands.
  CommandState QueryCommand(int id);
  void Dispatch(int id);
  void UpdateCommandStates();
  // The action of the main menu (or of the tool bar for tool-bar-only commands).
  QAction* Action(int id) const;
  QList<QAction*> Actions(int id) const;
  QToolBar* MainToolBar() const { return mainToolBar_; }
  QToolBar* ViewToolBar() const { return viewToolBar_; }
  QMenu* ViewsMenu() const { return viewsMenu_; }
  // The right-button menu a view of this kind gets.
  QMenu* ContextMenuFor(ViewKind kind) const;
  QLabel* ReadyLabel() const { return readyLabel_; }

  // Document file handling shared with the application's New and Open.
  // Asks whether to save a modified project; false when the user cancels.
  bool SaveModified();
  bool SaveDocument();
  bool SaveDocumentAs();
  bool SaveDocumentTo(const QString& path);
  void UpdateTitle();
  QString DocumentTitle() const;
  void RebuildRecentFileMenu();

  // Opens a file dropped on the window; set by the application.
  std::function<bool(const QString&)> openFile;

  const AutoMatchParams& LastAutoMatchParams() const { return autoMatchParams_; }

  // Whether Render refines the focal lengths and the pose after the search: a setting,
  // off until the user turns it on.
  static constexpr const char* kRefineRenderKey = "Settings/RefineRender";
  bool RefineRender() const;
  void SetRefineRender(bool refine);
  HelpWindow* Help() const { return help_; }

  // CommandTarget: the frame's own commands.
  bool OnCommand(int id) override;
  bool OnUpdateCommand(int id, CommandState& state) override;
  // DocumentObserver: any change may change the command states.
  void OnDocumentUpdate(DocumentObserver* sender, int hint) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The tip and status prompt of Render name what it waits for while it is greyed.
  void ExplainRender();
  // Undo and Redo name the step they would take, in the menu and the tip.
  void NameHistorySteps();
  void OnUndoRedo(bool redo);
  // Building steps.
  void CreatePanes();
  void CreateActions();
  void CreateMenus();
  void CreateToolBars();
  void CreateStatusBar();

  QAction* MakeAction(int id);
  QAction* AddCommand(QMenu* menu, int id);
  void AddRegionOfInterestMenu(QMenu* menu);
  // A new view for the pane, wired to the frame.
  std::unique_ptr<ContentView> MakeView(int paneIndex, ViewKind kind);
  // Replaces the view of the given pane whatever the focus does meanwhile.
  void ShowViewIn(int paneIndex, ViewKind kind);
  void EndManualMatching();
  // After the document was put back by the command guard.
  void FitPanesToDocument();
  void Bury(std::unique_ptr<ContentView> view);
  void OnFocusChanged(QWidget* now);
  int PaneOfWidget(const QWidget* w) const;
  bool IsCameraViewInManualMatching(ContentView* view);
  bool ViewSwitchAllowed();
  bool HandleAccelerator(QEvent* event);

  // Frame commands.
  void OnSetImages();
  void OnAutomaticMatching();
  void OnRender();
  // The newest record of a failed render, with advice and a button to its help page.
  void ShowRenderFailure(int errorsBefore);
  void ShowHelpContents();
  void ActivateNeighbourPane(int step);

  CProjectDoc* doc_;
  CommandTarget* app_;
  RecentFileList* recent_;
  QSplitter* mainSplitter_ = nullptr;
  QSplitter* leftSplitter_ = nullptr;
  Pane* panes_[kPaneCount] = {};
  int activePane_ = kRight;
  bool laidOut_ = false;
  bool switchingView_ = false;

  std::map<int, QList<QAction*>> actions_;
  QMenu* fileMenu_ = nullptr;
  QAction* recentSeparator_ = nullptr;
  QAction* recentPlaceholder_ = nullptr;
  QAction* recentActions_[4] = {};
  QMenu* viewsMenu_ = nullptr;
  // Right-button menus of the views: image panes, texture panes, 3D panes.
  QMenu* imageContextMenu_ = nullptr;
  QMenu* textureMenu_ = nullptr;
  QMenu* modelMenu_ = nullptr;
  QToolBar* mainToolBar_ = nullptr;
  QToolBar* viewToolBar_ = nullptr;
  QLabel* readyLabel_ = nullptr;

  std::vector<std::unique_ptr<ContentView>> graveyard_;
  QTimer idleTimer_;
  QPointer<HelpWindow> help_;
  AutoMatchParams autoMatchParams_;
  CommandGuard guard_;
};

}  // namespace q3d
