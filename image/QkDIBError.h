#pragma once
// Exceptions of the image library. The EQkDIB family is what callers catch by
// kind; the others stand in for the class library's own exceptions that the
// image code raises (resources, memory, streams, graphics, assertions).
#include <stdexcept>
#include <string>

namespace qv {

#define QV_DECLARE_EXCEPTION(Name, Base)                       \
  class Name : public Base {                                   \
   public:                                                     \
    explicit Name(const std::string& message) : Base(message) {} \
  }

// Base of everything the image library raises.
QV_DECLARE_EXCEPTION(EQkException, std::runtime_error);

QV_DECLARE_EXCEPTION(EQkDIBError, EQkException);
QV_DECLARE_EXCEPTION(EQkDIBInvalidDIB, EQkDIBError);
QV_DECLARE_EXCEPTION(EQkDIBInvalidDIBFile, EQkDIBError);
QV_DECLARE_EXCEPTION(EQkDIBInvalidDIBPara, EQkDIBError);
QV_DECLARE_EXCEPTION(EQkDIBBadDIBType, EQkDIBError);
QV_DECLARE_EXCEPTION(EQkDIBInvalidPalette, EQkDIBError);
QV_DECLARE_EXCEPTION(EQkDIBCompressionFailed, EQkDIBError);
QV_DECLARE_EXCEPTION(EQkDIBCanvasFailed, EQkDIBError);

// Class-library exceptions raised by the image code.
QV_DECLARE_EXCEPTION(EOutOfResources, EQkException);
QV_DECLARE_EXCEPTION(EOutOfMemory, EQkException);
QV_DECLARE_EXCEPTION(EInvalidGraphic, EQkException);
QV_DECLARE_EXCEPTION(EReadError, EQkException);
QV_DECLARE_EXCEPTION(EWriteError, EQkException);
QV_DECLARE_EXCEPTION(EFOpenError, EQkException);
QV_DECLARE_EXCEPTION(EFCreateError, EQkException);
QV_DECLARE_EXCEPTION(EJPEG, EQkException);
// An internal consistency check failed; never an EQkDIBError.
QV_DECLARE_EXCEPTION(EAssertionFailed, EQkException);

#undef QV_DECLARE_EXCEPTION

}  // namespace qv
