#include "IconLookup.h"

#include "CATGetEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QStringList>

namespace elmgui {

namespace {

QStringList IconDirectories() {
  QStringList dirs;
  const char* path = CATGetEnv("ELMHOST_CATALOG_PATH");
  if (path && *path) {
    for (const QString& dir : QString::fromLocal8Bit(path).split(':', Qt::SkipEmptyParts)) {
      dirs << dir << QDir(dir).filePath("icons") << QDir(dir).filePath("../icons");
    }
  }
  dirs << QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromUtf8(ELM_GUI_BIN_TO_ICONS))
       << QString::fromUtf8(ELM_GUI_INSTALLED_ICONS) << QString::fromUtf8(ELM_GUI_SOURCE_ICONS);
  return dirs;
}

QPixmap Placeholder() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setPen(QColor(150, 150, 150));
  painter.drawRect(0, 0, 31, 31);
  return pixmap;
}

}  // namespace

QPixmap IconPixmap(const std::string& name) {
  const QString file = QString::fromStdString(name) + ".png";
  for (const QString& dir : IconDirectories()) {
    QFileInfo info(QDir(dir).filePath(file));
    if (!info.isFile()) continue;
    QPixmap pixmap(info.filePath());
    if (!pixmap.isNull()) return pixmap;
  }
  return Placeholder();
}

}  // namespace elmgui
