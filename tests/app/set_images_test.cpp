#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "app/set_images_dialog.h"
#include "gui_helpers.h"
#include "support/status_assertions.h"
#include "views/command_ids.h"

namespace q3d::test {
namespace {

class SetImagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = StartApp();
    ASSERT_NE(app_, nullptr);
    frame_ = app_->Frame();
    doc_ = &app_->Document();
    first_ = WriteBitmap(dir_, "first.bmp", 200, 150);
    second_ = WriteBitmap(dir_, "second.bmp", 180, 140);
    third_ = WriteBitmap(dir_, "third.bmp", 120, 100);
  }
  void TearDown() override { doc_->SetModifiedFlag(false); }

  // A handler filling the dialog with the two names (empty = left empty) and pressing OK.
  ModalAnswers::Answer FillAndAccept(const QString& one, const QString& two) {
    return {QStringLiteral("Set Images dialog"), [one, two](QWidget* w) {
              auto* dialog = dynamic_cast<SetImagesDialog*>(w);
              if (!dialog) return false;
              if (!one.isEmpty()) {
                EXPECT_TRUE(dialog->ChooseFile(0, one));
              }
              if (!two.isEmpty()) {
                EXPECT_TRUE(dialog->ChooseFile(1, two));
              }
              dialog->accept();
              return true;
            }};
  }
  void RunSetImages(ModalAnswers& answers) {
    frame_->Dispatch(cmd::kSetImages);
    EXPECT_TRUE(answers.AllAnswered());
  }

  QTemporaryDir dir_;
  std::unique_ptr<QuorvanApp> app_;
  CMainFrame* frame_ = nullptr;
  CProjectDoc* doc_ = nullptr;
  QString first_, second_, third_;
};

TEST_F(SetImagesTest, AnEmptyProjectLoadsWithoutAsking) {
  ModalAnswers answers;
  answers.Then(FillAndAccept(first_, second_));
  RunSetImages(answers);
  EXPECT_TRUE(answers.messages.isEmpty());
  ASSERT_TRUE(doc_->ImagesLoaded());
  EXPECT_EQ(doc_->m_camera1.Width(), 200);
  EXPECT_EQ(doc_->m_camera2.Height(), 140);
  EXPECT_EQ(doc_->m_camera1.m_roi.width, 200);
  EXPECT_TRUE(doc_->m_camera1.m_gray.HasData());
  EXPECT_TRUE(doc_->IsModified());
  EXPECT_TRUE(frame_->QueryCommand(cmd::kAutomaticMatching).enabled);
}

TEST_F(SetImagesTest, ReplacingImagesAsksAndNoKeepsTheProject) {
  ASSERT_TRUE(test::Succeeded(doc_->SetImages(first_.toStdString(), second_.toStdString())));
  AddMatches(*doc_, 3);
  ModalAnswers answers;
  answers.Then(FillAndAccept(third_, third_));
  answers.Then(answers.Press(QMessageBox::No));
  RunSetImages(answers);
  EXPECT_EQ(answers.messages, QStringList({"The project will be destroyed. Are you sure?"}));
  EXPECT_EQ(doc_->m_camera1.Width(), 200);
  EXPECT_EQ(doc_->m_stereoPair.m_matches.Count(), 3);
}

TEST_F(SetImagesTest, ReplacingImagesWithYesEmptiesTheProjectFirst) {
  ASSERT_TRUE(test::Succeeded(doc_->SetImages(first_.toStdString(), second_.toStdString())));
  AddMatches(*doc_, 3);
  ModalAnswers answers;
  answers.Then(FillAndAccept(third_, QString()));
  answers.Then(answers.Press(QMessageBox::Yes));
  RunSetImages(answers);
  EXPECT_EQ(doc_->m_camera1.Width(), 120);
  EXPECT_FALSE(doc_->m_camera2.HasImage());
  EXPECT_EQ(doc_->m_stereoPair.m_matches.Count(), 0);
}

TEST_F(SetImagesTest, TwoEmptyNamesEmptyTheProjectAfterConfirmation) {
  ASSERT_TRUE(test::Succeeded(doc_->SetImages(first_.toStdString(), second_.toStdString())));
  ModalAnswers answers;
  answers.Then(FillAndAccept(QString(), QString()));
  answers.Then(answers.Press(QMessageBox::Yes));
  RunSetImages(answers);
  EXPECT_TRUE(doc_->HasNoImages());
}

TEST_F(SetImagesTest, CancelChangesNothing) {
  ASSERT_TRUE(test::Succeeded(doc_->SetImages(first_.toStdString(), second_.toStdString())));
  ModalAnswers answers;
  answers.Then<SetImagesDialog>([](SetImagesDialog* dialog) {
    dialog->reject();
    return true;
  });
  RunSetImages(answers);
  EXPECT_EQ(doc_->m_camera1.Width(), 200);
}

TEST_F(SetImagesTest, TheDialogTakesEveryPhotographFormatWithItsProportionsAndNamesARefusal) {
  SetImagesDialog dialog(frame_);
  EXPECT_TRUE(dialog.NameEdit(0)->text().isEmpty());
  EXPECT_TRUE(dialog.NameEdit(0)->isReadOnly());
  EXPECT_EQ(dialog.NameEdit(1)->maxLength(), 255);
  ASSERT_TRUE(dialog.ChooseFile(0, first_));
  EXPECT_EQ(dialog.NameEdit(0)->text(), first_);
  EXPECT_EQ(dialog.Preview(0)->pixmap().size(), QSize(176, 132)) << "200 x 150 kept at 4:3";

  // A portrait PNG and a JPEG, as phones write them.
  QImage portrait(120, 240, QImage::Format_RGB888);
  portrait.fill(QColor(200, 160, 140));
  const QString png = dir_.filePath("portrait.png"), jpeg = dir_.filePath("portrait.jpg");
  ASSERT_TRUE(portrait.save(png) && portrait.save(jpeg));
  ASSERT_TRUE(dialog.ChooseFile(1, png));
  EXPECT_EQ(dialog.Preview(1)->pixmap().size(), QSize(71, 142));
  ASSERT_TRUE(dialog.ChooseFile(1, jpeg));
  EXPECT_EQ(dialog.FileName(1), jpeg);

  const QString eightBit = WriteBitmap(dir_, "palette.bmp", 64, 64, true);
  ModalAnswers answers;
  answers.Then(answers.Press(QMessageBox::Ok));
  EXPECT_FALSE(dialog.ChooseFile(0, eightBit));
  EXPECT_EQ(answers.messages,
            QStringList({"Pixel depth must be greater than 8 bpp. Please, try other file."}));
  EXPECT_EQ(dialog.FileName(0), first_) << "the previous choice stays";
  EXPECT_EQ(dialog.NameEdit(0)->text(), first_);

  // A truncated bitmap is refused, naming the file and the damage, not previewed.
  QFile whole(second_);
  ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
  const QString truncated = dir_.filePath("truncated.bmp");
  QFile cut(truncated);
  ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
  cut.write(whole.read(whole.size() / 2));
  cut.close();
  answers.Then(answers.Press(QMessageBox::Ok));
  EXPECT_FALSE(dialog.ChooseFile(1, truncated));
  ASSERT_EQ(answers.messages.size(), 2);
  EXPECT_TRUE(answers.messages[1].contains(QStringLiteral("truncated.bmp")) &&
              answers.messages[1].contains(QStringLiteral("damaged")))
      << answers.messages[1].toStdString();
  EXPECT_EQ(dialog.FileName(1), jpeg);

  answers.Then(answers.Press(QMessageBox::Ok));
  EXPECT_FALSE(dialog.ChooseFile(1, dir_.filePath("missing.bmp")));
  EXPECT_TRUE(answers.AllAnswered());
}

// A photograph that goes bad between the choice and OK leaves the project as it was.
TEST_F(SetImagesTest, BothPhotographsAreSetOrNeither) {
  ASSERT_TRUE(test::Succeeded(doc_->SetImages(first_.toStdString(), second_.toStdString())));
  AddMatches(*doc_, 3);
  ModalAnswers answers;
  answers.Then({QStringLiteral("Set Images dialog"), [&](QWidget* w) {
                  auto* dialog = dynamic_cast<SetImagesDialog*>(w);
                  if (!dialog) return false;
                  const QString going = WriteBitmap(dir_, "going.bmp", 90, 60);
                  EXPECT_TRUE(dialog->ChooseFile(0, third_));
                  EXPECT_TRUE(dialog->ChooseFile(1, going));
                  QFile::remove(going);
                  dialog->accept();
                  return true;
                }});
  answers.Then(answers.Press(QMessageBox::Yes));  // the project will be destroyed
  answers.Then(answers.Press(QMessageBox::Ok));   // going.bmp cannot be opened
  RunSetImages(answers);
  ASSERT_EQ(answers.messages.size(), 2);
  EXPECT_TRUE(answers.messages[1].contains(QStringLiteral("going.bmp")));
  EXPECT_EQ(doc_->m_camera1.Width(), 200) << "image 1 was not replaced alone";
  EXPECT_EQ(doc_->m_camera2.Width(), 180);
  EXPECT_EQ(doc_->m_stereoPair.m_matches.Count(), 3);
}

}  // namespace
}  // namespace q3d::test
