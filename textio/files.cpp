// File names resolved without regard to letter case, so that "tELMA.in" finds
// the TELMA.IN that the user wrote; output files put in place when complete.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cctype>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "textio/textio.hpp"

namespace textio {

namespace fs = std::filesystem;

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The first entry (in name order) of the file's directory whose name matches
// its last component without regard to case; empty when there is none.
std::string caseMatch(const std::string& name) {
    const fs::path p(name);
    const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    const std::string base = p.filename().string();
    std::error_code ec;
    std::vector<std::string> found;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string n = it->path().filename().string();
        if (sameIgnoringCase(n, base) && !it->is_directory(ec)) found.push_back(n);
    }
    if (found.empty()) return {};
    std::sort(found.begin(), found.end());
    return p.has_parent_path() ? (p.parent_path() / found.front()).string() : found.front();
}

}  // namespace

std::string resolveExisting(const std::string& name) {
    std::error_code ec;
    if (fs::is_regular_file(name, ec)) return name;
    const std::string m = caseMatch(name);
    return m.empty() ? name : m;
}

std::ifstream openOld(const std::string& name) {
    const std::string path = resolveExisting(name);
    // A folder opens as a stream that ends at once: say what it is instead.
    std::error_code ec;
    if (fs::is_directory(path, ec)) throw IoError(name + ": is a folder, not a file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw IoError(name + ": cannot open the file for reading (it must exist)");
    return in;
}

// ---------------------------------------------------------------- OutFile

namespace {

// A stream buffer over a file descriptor that keeps the errno of the write
// that failed, so that a message can say why (a full disk, a size limit).
class FdBuf : public std::streambuf {
public:
    explicit FdBuf(int fd) : fd_(fd), buf_(1 << 16) { setp(buf_.data(), buf_.data() + buf_.size()); }
    int fd() const { return fd_; }
    int err() const { return err_; }

protected:
    int_type overflow(int_type c) override {
        if (!drain()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return drain() ? 0 : -1; }

private:
    bool drain() {
        if (err_ != 0) return false;
        const char* p = pbase();
        std::size_t n = static_cast<std::size_t>(pptr() - pbase());
        while (n > 0) {
            const ssize_t w = ::write(fd_, p, n);
            if (w < 0) {
                if (errno == EINTR) continue;
                err_ = errno;
                return false;
            }
            p += w;
            n -= static_cast<std::size_t>(w);
        }
        setp(buf_.data(), buf_.data() + buf_.size());
        return true;
    }

    int fd_;
    std::vector<char> buf_;
    int err_ = 0;
};

}  // namespace

struct OutFile::Impl {
    FdBuf buf;
    std::string name, dest, temp;  // temp empty: written directly
    bool done = false;
    explicit Impl(int fd) : buf(fd) {}
};

OutFile::OutFile() : std::ostream(nullptr) {}

OutFile::OutFile(const std::string& name) : std::ostream(nullptr) {
    const std::string path = resolveExisting(name);
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);  // through links
    if (fs::is_directory(st)) throw IoError(name + ": is a folder, not a file");
    const bool exists = fs::exists(st);
    std::string dest = path, temp;
    int fd = -1;
    if (!exists || fs::is_regular_file(st)) {
        // A link keeps pointing where it did: its target is replaced.
        if (exists && fs::is_symlink(fs::symlink_status(path, ec))) {
            const fs::path target = fs::canonical(path, ec);
            if (!ec) dest = target.string();
        }
        const fs::path d(dest);
        const std::string stem = (d.has_parent_path() ? d.parent_path() / "." : fs::path(".")).string() + "/." +
                                 d.filename().string() + "." + std::to_string(::getpid()) + "-";
        for (int n = 0; fd < 0; ++n) {
            temp = stem + std::to_string(n) + ".tmp";
            fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST) break;
        }
        if (fd >= 0 && exists) ::fchmod(fd, static_cast<mode_t>(st.permissions()) & 07777);
        // A file that may be written in a folder that may not: written in place.
        if (fd < 0 && exists && (errno == EACCES || errno == EROFS || errno == EPERM)) temp.clear();
    }
    if (fd < 0 && temp.empty()) fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) throw IoError(name + ": cannot create the file for writing (" + reason() + ")");
    p_ = std::make_unique<Impl>(fd);
    p_->name = name;
    p_->dest = dest;
    p_->temp = temp;
    set_rdbuf(&p_->buf);
    clear();
}

OutFile::OutFile(OutFile&& o) noexcept : std::ostream(std::move(o)), p_(std::move(o.p_)) {
    set_rdbuf(p_ ? &p_->buf : nullptr);
    o.set_rdbuf(nullptr);
}

OutFile& OutFile::operator=(OutFile&& o) noexcept {
    if (this != &o) {
        discard();
        std::ostream::operator=(std::move(o));
        p_ = std::move(o.p_);
        set_rdbuf(p_ ? &p_->buf : nullptr);
        o.set_rdbuf(nullptr);
    }
    return *this;
}

OutFile::~OutFile() { discard(); }

bool OutFile::isOpen() const { return p_ && !p_->done; }

void OutFile::discard() {
    if (!isOpen()) return;
    p_->done = true;
    ::close(p_->buf.fd());
    if (!p_->temp.empty()) ::unlink(p_->temp.c_str());
}

void OutFile::commit(std::string_view what) {
    if (!isOpen()) return;
    p_->done = true;
    flush();
    int err = good() ? 0 : (p_->buf.err() != 0 ? p_->buf.err() : EIO);
    if (::close(p_->buf.fd()) != 0 && err == 0) err = errno;
    if (err == 0 && !p_->temp.empty() && ::rename(p_->temp.c_str(), p_->dest.c_str()) != 0) err = errno;
    if (err != 0) {
        if (!p_->temp.empty()) ::unlink(p_->temp.c_str());
        setstate(std::ios::badbit);
        throw IoError(p_->name + ": " + std::string(what) + " (" + std::strerror(err) + ")");
    }
}

OutFile openUnknown(const std::string& name) { return OutFile(name); }

std::string reason() { return std::strerror(errno); }

bool sameFile(const std::string& a, const std::string& b) {
    const std::string ra = resolveExisting(a), rb = resolveExisting(b);
    std::error_code ec;
    if (fs::equivalent(ra, rb, ec)) return true;
    const fs::path pa = fs::weakly_canonical(fs::absolute(ra, ec), ec), pb = fs::weakly_canonical(fs::absolute(rb, ec), ec);
    return pa.parent_path() == pb.parent_path() && sameIgnoringCase(pa.filename().string(), pb.filename().string());
}

void refuseInput(const std::string& out, const std::string& in) {
    if (sameFile(out, in)) throw IoError(out + ": is the input file " + in + "; writing it would destroy the input");
}

void refuseOutput(const std::string& out, const std::string& other) {
    if (sameFile(out, other))
        throw IoError(out + ": is also the output " + other + "; one of the two would be lost");
}

}  // namespace textio
