#pragma once
// Manual matching mode of one document. The mode belongs to the document's camera views
// together: switching it in one view switches it in all (hints 6 and 7 make the others
// change their cursor), and a camera view created while the mode is on (a pane switched
// back to an image) starts in the mode too. Kept on the views' side because only the
// camera views use it; it lives while at least one camera view of the document holds it.
#include <memory>

namespace q3d {

class CProjectDoc;

class ManualMatchingState {
 public:
  // The document's state, created (mode off) when no camera view holds it.
  static std::shared_ptr<ManualMatchingState> For(const CProjectDoc* doc);

  bool IsOn() const { return m_on; }
  void SetOn(bool on) { m_on = on; }

 private:
  bool m_on = false;
};

}  // namespace q3d
