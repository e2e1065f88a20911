// A network share to test against: a read-only FUSE view of a local folder that waits a
// chosen time on every operation, holds reads to a chosen rate, gives entry types in its
// listings (as NFS and SMB do), and stops answering while a control file exists.
//
// Usage: slowshare SOURCE MOUNTPOINT [--delay-ms N] [--rate BYTES_PER_SECOND]
//                  [--stall-file PATH] [--ignore-interrupts] [FUSE options...]
// It runs in the foreground, many requests at a time, until unmounted (fusermount3 -u).

#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Options {
    std::string source;
    std::chrono::microseconds delay{0};
    double rate = 0; // bytes a second; 0: unbounded
    std::string stallFile;
    bool ignoreInterrupts = false;
};
Options opt;

std::string real(const char* path) {
    return opt.source + path;
}

// Every operation: first held while the share "does not answer", then its latency. A
// request whose caller was killed meanwhile ends, as NFS and SMB let it (false), unless
// the share ignores interrupts, as some FUSE shares do.
bool answerLikeAShare() {
    if (!opt.stallFile.empty()) {
        struct stat st {};
        while (::stat(opt.stallFile.c_str(), &st) == 0) {
            if (!opt.ignoreInterrupts && fuse_interrupted()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    if (opt.delay.count() > 0) std::this_thread::sleep_for(opt.delay);
    return true;
}

void* share_init(fuse_conn_info*, fuse_config* cfg) {
    // Attributes and names kept by the kernel for a second, as NFS and SMB clients do.
    cfg->entry_timeout = 1.0;
    cfg->attr_timeout = 1.0;
    cfg->negative_timeout = 1.0;
    cfg->use_ino = 1;
    return nullptr;
}

int share_getattr(const char* path, struct stat* st, fuse_file_info*) {
    if (!answerLikeAShare()) return -EINTR;
    return ::lstat(real(path).c_str(), st) == 0 ? 0 : -errno;
}

int share_readlink(const char* path, char* buf, size_t size) {
    if (!answerLikeAShare()) return -EINTR;
    const ssize_t n = ::readlink(real(path).c_str(), buf, size - 1);
    if (n < 0) return -errno;
    buf[n] = 0;
    return 0;
}

int share_opendir(const char* path, fuse_file_info* fi) {
    if (!answerLikeAShare()) return -EINTR;
    DIR* d = ::opendir(real(path).c_str());
    if (!d) return -errno;
    fi->fh = reinterpret_cast<uint64_t>(d);
    return 0;
}

int share_readdir(const char*, void* buf, fuse_fill_dir_t fill, off_t, fuse_file_info* fi,
                  fuse_readdir_flags) {
    if (!answerLikeAShare()) return -EINTR;
    DIR* d = reinterpret_cast<DIR*>(fi->fh);
    ::rewinddir(d);
    while (const dirent* e = ::readdir(d)) {
        struct stat st {};
        st.st_ino = e->d_ino;
        st.st_mode = DTTOIF(e->d_type); // the entry's type, in the listing itself
        if (fill(buf, e->d_name, &st, 0, fuse_fill_dir_flags(0))) break;
    }
    return 0;
}

int share_releasedir(const char*, fuse_file_info* fi) {
    ::closedir(reinterpret_cast<DIR*>(fi->fh));
    return 0;
}

int share_open(const char* path, fuse_file_info* fi) {
    if (!answerLikeAShare()) return -EINTR;
    if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
    const int fd = ::open(real(path).c_str(), O_RDONLY);
    if (fd < 0) return -errno;
    fi->fh = uint64_t(fd);
    return 0;
}

int share_read(const char*, char* buf, size_t size, off_t offset, fuse_file_info* fi) {
    if (!answerLikeAShare()) return -EINTR;
    const ssize_t n = ::pread(int(fi->fh), buf, size, offset);
    if (n < 0) return -errno;
    if (opt.rate > 0)
        std::this_thread::sleep_for(std::chrono::duration<double>(double(n) / opt.rate));
    return int(n);
}

int share_release(const char*, fuse_file_info* fi) {
    ::close(int(fi->fh));
    return 0;
}

int share_access(const char* path, int mask) {
    if (!answerLikeAShare()) return -EINTR;
    if (mask & W_OK) return -EROFS;
    return ::access(real(path).c_str(), mask) == 0 ? 0 : -errno;
}

int share_statfs(const char* path, struct statvfs* st) {
    if (!answerLikeAShare()) return -EINTR;
    return ::statvfs(real(path).c_str(), st) == 0 ? 0 : -errno;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s SOURCE MOUNTPOINT [--delay-ms N] [--rate B/s] "
                     "[--stall-file PATH] [FUSE options]\n",
                     argv[0]);
        return 2;
    }
    char resolved[PATH_MAX];
    if (!::realpath(argv[1], resolved)) {
        std::perror(argv[1]);
        return 2;
    }
    opt.source = resolved;
    std::vector<char*> fuseArgs{argv[0], argv[2], const_cast<char*>("-f"), const_cast<char*>("-o"),
                                const_cast<char*>("ro,default_permissions,fsname=slowshare")};
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--delay-ms" && i + 1 < argc) {
            opt.delay = std::chrono::microseconds(long(std::atof(argv[++i]) * 1000));
        } else if (a == "--rate" && i + 1 < argc) {
            opt.rate = std::atof(argv[++i]);
        } else if (a == "--stall-file" && i + 1 < argc) {
            opt.stallFile = argv[++i];
        } else if (a == "--ignore-interrupts") {
            opt.ignoreInterrupts = true;
        } else {
            fuseArgs.push_back(argv[i]);
        }
    }
    fuse_operations ops{};
    ops.init = share_init;
    ops.getattr = share_getattr;
    ops.readlink = share_readlink;
    ops.opendir = share_opendir;
    ops.readdir = share_readdir;
    ops.releasedir = share_releasedir;
    ops.open = share_open;
    ops.read = share_read;
    ops.release = share_release;
    ops.access = share_access;
    ops.statfs = share_statfs;
    return fuse_main(int(fuseArgs.size()), fuseArgs.data(), &ops, nullptr);
}
