// QPDF input over an open file descriptor, read with pread in cached blocks.
//
// QPDF's own FileInputSource seeks its FILE for nearly every token, which makes the repair of
// some damaged files take minutes; this source answers seeks from its cache. It does not own
// the descriptor, which must stay open while the source is used.
#pragma once

#include <qpdf/InputSource.hh>

#include <string>
#include <vector>

namespace tesser::host {

class FileInput : public InputSource {
public:
    FileInput(std::string name, int fd);

    qpdf_offset_t findAndSkipNextEOL() override;
    std::string const& getName() const override { return name_; }
    qpdf_offset_t tell() override { return pos_; }
    void seek(qpdf_offset_t offset, int whence) override;
    void rewind() override { pos_ = 0; }
    size_t read(char* buffer, size_t length) override;
    void unreadCh(char ch) override;

private:
    bool Load(qpdf_offset_t offset);

    static constexpr size_t kBlock = 1 << 16;
    std::string name_;
    int fd_;
    qpdf_offset_t pos_ = 0;
    qpdf_offset_t blockStart_ = -1;
    std::vector<char> block_;
};

} // namespace tesser::host
