#include "model/result.hpp"

#include "model/text.hpp"

namespace aph {

std::string formatField(TextFormat format, double value) {
  switch (format) {
    case TextFormat::Fixed4:
      return formatFixed4(value);
    case TextFormat::Fixed3:
      return formatFixed3(value);
    case TextFormat::Plain:
      return formatPlain(value);
    case TextFormat::PlainSingle:
      // The value is a single-precision number widened on its way here: narrowing is exact.
      return formatPlainSingle(static_cast<float>(value));
    case TextFormat::None:
      break;
  }
  return formatPlain(value);
}

}  // namespace aph
