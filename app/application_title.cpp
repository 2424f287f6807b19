#include "app/application_title.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace qvx {

QString TitleFromPath(const QString& executable_path) {
  return QFileInfo(executable_path).completeBaseName();
}

QString ApplicationTitle() {
  return TitleFromPath(QCoreApplication::applicationFilePath());
}

}  // namespace qvx
