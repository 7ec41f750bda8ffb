// The stored mail form as the viewer reads it: header lines, a plain or
// decorated body, multipart parts with Base64 data and the picture part's
// header lines, attachments whose pictures are tried by the image library.
#include "FuzzSupport.h"
#include "core/data/MailAttachments.h"
#include "core/data/MailForm.h"
#include "core/data/StoredMail.h"
#include "core/data/TextFunctions.h"
#include "image/QkDIB.h"

#include <sstream>

namespace {

class Pictures final : public qv::AttachmentPictures {
 public:
  bool PictureSize(std::string_view bytes, int& width, int& height) const override {
    try {
      qv::TQkDIB dib;
      std::istringstream in{std::string(bytes)};
      dib.LoadFromStream(in);
      width = dib.GetWidth();
      height = dib.GetHeight();
      return true;
    } catch (const std::exception&) {
      return false;
    }
  }
  void UserCharacters(std::string_view, std::string_view) override {}
};

// The writer puts a slide of one pane as a plain pane.
qv::TDXPictureInfo AsWritten(qv::TDXPictureInfo info) {
  for (qv::TDXPane& pane : info.Panes)
    if (pane.Kind == qv::kPaneSlide && pane.SlideCount == 1) pane.Kind = qv::kPanePlain;
  return info;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  qv::StoredMailFields fields;
  qv::AttachmentList list;
  Pictures pictures;
  qv::ParseStoredMail(text, fields, list, pictures);
  for (const qv::MailAttachment& item : list.Items()) {
    const std::string safe = qv::SafeFileName(item.name);
    QV_FUZZ_CHECK(!safe.empty() && safe != "." && safe != "..");
    QV_FUZZ_CHECK(safe.find('/') == std::string::npos);
    qv::ParseDXHeaders(96, 43, item.headers);
    qv::ParseDXHeaders(qv::kDiv6Width, qv::kDiv6Height, item.headers);
  }
  // The picture lines and Base64 alone, as the compose window writes them back.
  const qv::TDXPictureInfo info = qv::ParseDXHeaders(qv::kDiv6Width, qv::kDiv6Height, text);
  const std::string lines = qv::BuildDXHeaders(info);
  QV_FUZZ_ROUND_TRIP(qv::ParseDXHeaders(qv::kDiv6Width, qv::kDiv6Height, lines) == AsWritten(info) || !info.HasPageLayout);
  std::string bytes;
  if (qv::Base64Decode(text, bytes)) {
    std::string back;
    QV_FUZZ_CHECK(qv::Base64Decode(qv::Base64Encode(bytes), back) && back == bytes);
  }
  return 0;
}
