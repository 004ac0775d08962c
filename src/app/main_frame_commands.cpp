// The frame's own commands: Set Images, Automatic Matching, Render, Help and the document
// files.
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>

#include "app/auto_match_dialog.h"
#include "app/focal_length_dialog.h"
#include "app/main_frame.h"
#include "app/message_boxes.h"
#include "app/recent_files.h"
#include "app/set_images_dialog.h"
#include "base/error_stack.h"
#include "project/commands_auto_match.h"
#include "project/render_summary.h"
#include "views/dot_centring_setting.h"
#include "views/status_message.h"
#include "views/wait_cursor.h"

namespace q3d {

void CMainFrame::OnSetImages() {
  SetImagesDialog dialog(this);
  if (dialog.exec() != QDialog::Accepted) return;
  if (doc_->HasAnyImage()) {
    const auto answer = QMessageBox::warning(this, QString::fromLatin1(kAppTitle),
                                             QStringLiteral("The project will be destroyed. Are you sure?"),
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
  }
  const int errorsBefore = ErrorCount();
  int result = 1;
  {
    WaitCursor wait;
    result =
        doc_->SetImages(dialog.FileName(0).toStdString(), dialog.FileName(1).toStdString()) ? 1 : 0;
  }
  // A file that cannot be loaded is reported rather than leaving an empty pane unexplained.
  if (result != 1) {
    ShowFailure(errorsBefore);
    return;
  }
  // A focal length the photographs' metadata gives but no lens could have is named.
  QStringList notes;
  for (const CCamera* camera : {&doc_->m_camera1, &doc_->m_camera2})
    for (const std::string& note : camera->m_focal.exif_notes)
      notes << QString::fromStdString(note);
  if (!notes.isEmpty()) ShowStatusMessage(this, notes.join(QLatin1Char(' ')));
}

void CMainFrame::OnAutomaticMatching() {
  AutoMatchDialog dialog(autoMatchParams_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  autoMatchParams_ = dialog.Params();
  autoMatchParams_.dotCentring = DotCentringSetting();
  if (AutoMatchingReplacesWork(*doc_)) {
    const auto answer = QMessageBox::warning(
        this, QString::fromLatin1(kAppTitle),
        QStringLiteral("The points and matches of the project will be replaced. Are you sure?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
  }
  const int errorsBefore = ErrorCount();
  int result = 0;
  {
    WaitCursor wait;
    result = RunAutomaticMatching(*doc_, autoMatchParams_) ? 1 : 0;
  }
  if (result != 1) {
    ShowFailure(errorsBefore);
    return;
  }
  const int matches = doc_->m_stereoPair.m_matches.Count();
  ShowStatusMessage(
      this, matches == 1 ? QStringLiteral("Automatic matching found 1 match.")
                         : QStringLiteral("Automatic matching found %1 matches.").arg(matches));
}

bool CMainFrame::RefineRender() const {
  return QSettings().value(QString::fromLatin1(kRefineRenderKey), true).toBool();
}

void CMainFrame::SetRefineRender(bool refine) {
  QSettings().setValue(QString::fromLatin1(kRefineRenderKey), refine);
}

void CMainFrame::OnRender() {
  // The render, with the focal lengths entered and the renders made again after it, is
  // one step of the history.
  EditScope edit(*doc_, "Render");
  const auto renderOnce = [this] {
    const int errorsBefore = ErrorCount();
    RenderOptions options;
    options.refine = RefineRender();
    int result = 0;
    {
      WaitCursor wait;  // the refinement runs after the progress window has closed
      result = doc_->Render(options) ? 1 : 0;
    }
    if (result != 1) {
      ShowRenderFailure(errorsBefore);
      return false;
    }
    ActivatePane(kRight);
    SwitchPaneView(ViewKind::Model3D);
    return true;
  };
  if (!renderOnce()) return;
  // A focal length the matches cannot tell was assumed: the user may know the real one.
  while (OfferFocalLengthsAfterAssumedRender(this, *doc_)) {
    doc_->RemoveRenderData();
    if (!renderOnce()) return;
  }
  ShowStatusMessage(this, QString::fromStdString(RenderSummary(*doc_)));
}

void CMainFrame::ShowRenderFailure(int errorsBefore) {
  if (ErrorCount() == errorsBefore || ErrorCount() == 0) return;
  const ErrorRecord record = PopError(true);
  while (ErrorCount() > errorsBefore) PopError(true);
  // The reason, then what the user can do about it, with the page that explains it.
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kAppTitle),
                  QString::fromUtf8(record.Message().c_str()) +
                      QStringLiteral("\n\nCheck that there are enough matches, spread over the whole face, "
                                     "or take the photographs from other positions. Help explains what "
                                     "makes a render fail."),
                  QMessageBox::Ok, this);
  QPushButton* help = box.addButton(QStringLiteral("&Help"), QMessageBox::HelpRole);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
  if (box.clickedButton() == help) {
    ShowHelpContents();
    help_->ShowPage(QStringLiteral("render.html"));
  }
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
  // [*] is where the title shows that the project has unsaved changes.
  setWindowTitle(QStringLiteral("%1[*] - %2").arg(DocumentTitle(), QString::fromLatin1(kAppTitle)));
  setWindowModified(doc_->IsModified());
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
    saved = doc_->SaveProject(path.toStdString()).ok();
  }
  if (!saved) {
    ShowFailure(errorsBefore);
    return false;
  }
  if (recent_) recent_->Add(path);
  UpdateTitle();
  ShowStatusMessage(this, QStringLiteral("Saved %1.").arg(QFileInfo(path).fileName()));
  return true;
}

}  // namespace q3d
