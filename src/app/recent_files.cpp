#include "app/recent_files.h"

#include <QDir>
#include <QFileInfo>

namespace q3d {

namespace {
const QString kGroup = QStringLiteral("Recent File List");
QString Key(int i) { return QStringLiteral("File%1").arg(i + 1); }

QString Normalised(const QString& path) {
  const QFileInfo info(path);
  return QDir::cleanPath(info.absoluteFilePath());
}
}  // namespace

RecentFileList::RecentFileList(QSettings* settings) : settings_(settings) {
  settings_->beginGroup(kGroup);
  for (int i = 0; i < kSize; ++i) {
    const QString path = settings_->value(Key(i)).toString();
    if (!path.isEmpty() && !entries_.contains(path)) entries_.append(path);
  }
  settings_->endGroup();
}

void RecentFileList::Add(const QString& path) {
  const QString entry = Normalised(path);
  entries_.removeAll(entry);
  entries_.prepend(entry);
  while (entries_.size() > kSize) entries_.removeLast();
  Write();
}

void RecentFileList::Remove(int index) {
  if (index < 0 || index >= entries_.size()) return;
  entries_.removeAt(index);
  Write();
}

void RecentFileList::Write() {
  settings_->beginGroup(kGroup);
  for (int i = 0; i < kSize; ++i) {
    if (i < entries_.size())
      settings_->setValue(Key(i), entries_[i]);
    else
      settings_->remove(Key(i));
  }
  settings_->endGroup();
  settings_->sync();
  if (onChanged) onChanged();
}

}  // namespace q3d
