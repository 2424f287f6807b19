// Our texts, UTF-8 in std::string, as Qt's.
#pragma once

#include <QString>
#include <string_view>

namespace qvx {

inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace qvx
