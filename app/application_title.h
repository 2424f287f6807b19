// The application's title: the executable's file name without its extension. Every message box
// without a caption of its own carries it.
#pragma once

#include <QString>

namespace qvx {

QString TitleFromPath(const QString& executable_path);
// The title of the running executable.
QString ApplicationTitle();

}  // namespace qvx
