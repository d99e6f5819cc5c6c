// The bytes a renderer is handed to show a document as it is in memory.
#include "host/DocumentSaver.h"
#include "host/HostState.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDFWriter.hh>

#include <stdexcept>

namespace tesser::host {

bool Host::HasSignedSignatures(HDoc doc) const {
    auto* d = reinterpret_cast<Document*>(doc);
    if (d == nullptr || !state_->documents.Contains(d)) {
        return false;
    }
    try {
        return host::HasSignedSignatures(d->pdf());
    } catch (const std::exception&) {
        return false;
    }
}

std::string Host::DisplayBytes(HDoc doc, const std::function<void(int)>& progress) const {
    auto* d = reinterpret_cast<Document*>(doc);
    if (d == nullptr || !state_->documents.Contains(d)) {
        throw std::invalid_argument("DisplayBytes: not an open document");
    }
    // Written the quick way: no object streams to build, stream data copied as it is, no
    // encryption (the renderer must not need the passwords).
    QPDFWriter writer(d->pdf());
    writer.setOutputMemory();
    writer.setPreserveEncryption(false);
    writer.setCompressStreams(false);
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setObjectStreamMode(qpdf_o_disable);
    writer.setSuppressOriginalObjectIDs(true);
    if (progress) {
        writer.registerProgressReporter(
            std::make_shared<QPDFWriter::FunctionProgressReporter>(progress));
    }
    writer.write();
    std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

} // namespace tesser::host
