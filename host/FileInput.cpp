#include "host/FileInput.h"

#include <qpdf/QPDFSystemError.hh>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tesser::host {

FileInput::FileInput(std::string name, int fd) : name_(std::move(name)), fd_(fd) {
    block_.reserve(kBlock);
}

bool FileInput::Load(qpdf_offset_t offset) {
    qpdf_offset_t start = offset - offset % static_cast<qpdf_offset_t>(kBlock);
    if (start == blockStart_) {
        return offset - start < static_cast<qpdf_offset_t>(block_.size());
    }
    block_.resize(kBlock);
    size_t got = 0;
    while (got < kBlock) {
        ssize_t n = ::pread(fd_, block_.data() + got, kBlock - got,
                            static_cast<off_t>(start + static_cast<qpdf_offset_t>(got)));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            blockStart_ = -1;
            block_.clear();
            throw QPDFSystemError(name_ + ": read", errno);
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    block_.resize(got);
    blockStart_ = start;
    return offset - start < static_cast<qpdf_offset_t>(got);
}

size_t FileInput::read(char* buffer, size_t length) {
    last_offset = pos_;
    size_t done = 0;
    while (done < length) {
        if (!Load(pos_)) {
            break;
        }
        size_t at = static_cast<size_t>(pos_ - blockStart_);
        size_t n = std::min(length - done, block_.size() - at);
        std::memcpy(buffer + done, block_.data() + at, n);
        done += n;
        pos_ += static_cast<qpdf_offset_t>(n);
    }
    return done;
}

void FileInput::seek(qpdf_offset_t offset, int whence) {
    qpdf_offset_t base = 0;
    if (whence == SEEK_CUR) {
        base = pos_;
    } else if (whence == SEEK_END) {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            throw QPDFSystemError(name_ + ": seek", errno);
        }
        base = st.st_size;
    }
    qpdf_offset_t target = base + offset;
    if (target < 0) {
        throw QPDFSystemError(name_ + ": seek", EINVAL);
    }
    pos_ = target;
}

void FileInput::unreadCh(char) {
    if (pos_ > 0) {
        --pos_;
    }
}

// The same contract as QPDF's FileInputSource: answers the offset of the next end of line and
// leaves the position after the run of CR and LF that ends it. Scans the cached block in place:
// QPDF calls this for every line of a cross-reference table.
qpdf_offset_t FileInput::findAndSkipNextEOL() {
    for (;;) {
        if (!Load(pos_)) {
            last_offset = pos_;
            return pos_;
        }
        const char* begin = block_.data() + (pos_ - blockStart_);
        const char* end = block_.data() + block_.size();
        const char* eol = std::find_if(begin, end, [](char c) { return c == '\r' || c == '\n'; });
        pos_ += eol - begin;
        if (eol == end) {
            continue;
        }
        qpdf_offset_t result = pos_;
        ++pos_;
        while (Load(pos_)) {
            char ch = block_[static_cast<size_t>(pos_ - blockStart_)];
            if (ch != '\r' && ch != '\n') {
                break;
            }
            ++pos_;
        }
        last_offset = pos_;
        return result;
    }
}

} // namespace tesser::host
