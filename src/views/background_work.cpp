#include "views/background_work.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QMetaObject>
#include <exception>
#include <thread>

#include "base/progress.h"

namespace q3d {
namespace {

// The worker's progress: positions and steps are handed to the shown reporter on the GUI
// thread; the shown reporter's cancel request is the worker's.
class RelayedProgress : public Progress {
 public:
  RelayedProgress(QObject* guiContext, Progress& shown) : context_(guiContext), shown_(shown) {}
  bool CancelRequested() const override { return shown_.CancelRequested(); }

 protected:
  void OnStepChanged() override {
    Post([&shown = shown_, text = StepText()] { shown.SetStep(text); });
  }
  void OnPosChanged(bool labelChanged) override {
    if (labelChanged) Post([&shown = shown_, pos = Pos()] { shown.SetPos(pos); });
  }

 private:
  // Queued to the context, which the GUI thread deletes before the shown reporter goes,
  // dropping whatever is still queued.
  template <class F>
  void Post(F call) {
    QMetaObject::invokeMethod(context_, std::move(call), Qt::QueuedConnection);
  }
  QObject* context_;
  Progress& shown_;
};

}  // namespace

Status RunInBackground(const std::string& step, const std::function<Status(Progress&)>& work) {
  // The work's window takes clicks meanwhile: no wait cursor over its Cancel.
  QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
  ScopedProgress shown;
  shown->AllowCancel(true);
  shown->SetStep(step);
  Status result = Status::Ok();
  std::exception_ptr thrown;
  {
    QObject context;
    RelayedProgress relay(&context, *shown);
    QEventLoop loop;
    std::thread worker([&] {
      try {
        result = work(relay);
      } catch (...) {
        thrown = std::current_exception();
      }
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
  }
  QApplication::restoreOverrideCursor();
  if (thrown) std::rethrow_exception(thrown);
  if (shown->CancelRequested()) return Cancelled();
  return result;
}

}  // namespace q3d
