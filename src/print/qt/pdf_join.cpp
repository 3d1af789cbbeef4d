#include "print/qt/pdf_join.h"

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <string>

namespace kelv::print {
namespace {

// qpdf's output, gathered into blocks of 1 MB (qpdf writes an object in
// many small pieces).
class SinkPipeline : public Pipeline {
 public:
  explicit SinkPipeline(const std::function<void(const char*, size_t)>& sink)
      : Pipeline("kelv pdf", nullptr), sink_(sink) {
    buffer_.reserve(kBlock);
  }
  void write(unsigned char const* data, size_t size) override {
    buffer_.append(reinterpret_cast<const char*>(data), size);
    if (buffer_.size() >= kBlock) flush();
  }
  void finish() override { flush(); }

 private:
  void flush() {
    if (buffer_.empty()) return;
    sink_(buffer_.data(), buffer_.size());
    buffer_.clear();
  }
  static constexpr size_t kBlock = size_t{1} << 20;
  const std::function<void(const char*, size_t)>& sink_;
  std::string buffer_;
};

}  // namespace

void join_pdfs(std::string_view first, std::string_view second,
               const std::function<void(const char*, size_t)>& sink) {
  QPDF a, b;
  a.setSuppressWarnings(true);
  b.setSuppressWarnings(true);
  a.processMemoryFile("1", first.data(), first.size());
  b.processMemoryFile("2", second.data(), second.size());
  QPDFPageDocumentHelper pages(a);
  for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(b).getAllPages())
    pages.addPage(page, false);
  SinkPipeline pipe(sink);
  QPDFWriter writer(a);
  writer.setOutputPipeline(&pipe);
  writer.setStreamDataMode(qpdf_s_preserve);
  writer.setDecodeLevel(qpdf_dl_none);
  writer.setCompressStreams(false);
  writer.setObjectStreamMode(qpdf_o_disable);
  writer.write();
}

}  // namespace kelv::print
