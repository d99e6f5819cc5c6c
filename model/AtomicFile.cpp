#include "model/AtomicFile.h"

#include "fileio/AtomicFileWriter.h"

namespace tesser::model {

AtomicWriteResult WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                      unsigned newFileMode) {
    try {
        fileio::WriteFileAtomically(path.string(), bytes, newFileMode);
        return {};
    } catch (const fileio::FileError& e) {
        return {e.stage() == fileio::FileError::Stage::Opening ? AtomicWriteStatus::CannotOpen
                                                               : AtomicWriteStatus::CannotWrite,
                e.what()};
    }
}

} // namespace tesser::model
