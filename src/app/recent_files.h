#pragma once
// The most-recently-used project list, kept in the application's settings.
#include <QSettings>
#include <QStringList>
#include <functional>

namespace q3d {

class RecentFileList {
 public:
  static constexpr int kSize = 4;

  // Reads the list from the "Recent File List" group of the settings.
  explicit RecentFileList(QSettings* settings);

  const QStringList& Entries() const { return entries_; }
  // Puts the path first (moving it up when already listed) and drops the oldest beyond
  // four entries; the list is written back at once.
  void Add(const QString& path);
  void Remove(int index);

  std::function<void()> onChanged;

 private:
  void Write();

  QSettings* settings_;
  QStringList entries_;
};

}  // namespace q3d
