#pragma once
// Limits a text field to a number of CP932 bytes, as the system counts text.
#include <QValidator>

#include "core/ui/QtText.h"

namespace qv {

class TByteLengthValidator : public QValidator {
 public:
  TByteLengthValidator(int bytes, QObject* parent) : QValidator(parent), bytes_(bytes) {}
  State validate(QString& input, int&) const override {
    return FromQString(input).size() <= size_t(bytes_) ? Acceptable : Invalid;
  }

 private:
  int bytes_;
};

}  // namespace qv
