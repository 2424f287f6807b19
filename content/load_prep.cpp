// A refused picture explained in words.
#include "content/load_prep.h"

#include "download/kinds/image_kind.h"
#include "prep/bmp_explain.h"
#include "prep/texts.h"

namespace qvx::content {
std::string RefusalDetail(const LoadStep& step, const BmpHeader& header, uint64_t file_size) {
  const ImageKind& kind = *ImageKindOf(step.kind());
  const auto reasons = prep::BmpRefusalReasons(header, file_size, kind.shape);
  return ": " + prep::JoinReasons(reasons) + "; " + prep::text::PrepHint(kind.prep_word);
}

}  // namespace qvx::content
