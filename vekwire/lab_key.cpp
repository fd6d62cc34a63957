#include "lab_key.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "regular_file.h"

namespace vekwire {

static_assert(kKeyBytes == crypto_auth_KEYBYTES && kProofBytes == crypto_auth_BYTES);

namespace {

// Sets a proof apart from every other use of the key.
constexpr char kDomain[] = "vek lab key 1";
constexpr size_t kHexDigits = 2 * kKeyBytes;
constexpr size_t kMaxFileBytes = 256;  // a key file with more is no key file

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

// What the MAC covers: the domain, the nonce and the greeting.
std::string authenticated(const uint8_t* nonce, const uint8_t* hello, size_t helloSize) {
    std::string m(kDomain, sizeof kDomain - 1);
    m.append(reinterpret_cast<const char*>(nonce), kNonceBytes);
    m.append(reinterpret_cast<const char*>(hello), helloSize);
    return m;
}

bool isBlank(char c) { return c == '\n' || c == '\r' || c == ' ' || c == '\t'; }

// Makes the missing folders above `path`, mode 0700.
bool makeParents(const std::string& path, std::string& why) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            why = folder + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

LabKey::~LabKey() {
    if (bytes_) sodium_free(bytes_);
}

LabKey::LabKey(LabKey&& other) noexcept : bytes_(std::exchange(other.bytes_, nullptr)) {}

LabKey& LabKey::operator=(LabKey&& other) noexcept {
    if (this != &other) {
        if (bytes_) sodium_free(bytes_);
        bytes_ = std::exchange(other.bytes_, nullptr);
    }
    return *this;
}

LabKey LabKey::allocate() {
    LabKey k;
    if (sodiumReady()) k.bytes_ = static_cast<unsigned char*>(sodium_malloc(kKeyBytes));
    return k;
}

LabKey LabKey::generate() {
    LabKey k = allocate();
    if (k.empty()) return k;
    randombytes_buf(k.bytes_, kKeyBytes);
    sodium_mprotect_readonly(k.bytes_);
    return k;
}

bool LabKey::read(const std::string& path, LabKey& out, std::string& why) {
    UniqueFd fd = openRegularFile(path, why);
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
        why = path + ": " + (why.empty() ? std::strerror(errno) : why);
        return false;
    }
    if (st.st_mode & (S_IRWXG | S_IRWXO)) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        why = path + ": permissions " + mode +
              " are too open: a lab key must not be readable or writable by group or others (chmod 600 it)";
        return false;
    }
    char text[kMaxFileBytes + 1];
    size_t n = 0;
    for (ssize_t r; n < sizeof text && (r = ::read(fd.get(), text + n, sizeof text - n)) != 0;) {
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            why = path + ": " + std::strerror(errno);
            return false;
        }
        n += static_cast<size_t>(r);
    }
    size_t digits = n;
    while (digits > 0 && isBlank(text[digits - 1])) --digits;
    LabKey k = allocate();
    size_t decoded = 0;
    const bool ok = !k.empty() && n <= kMaxFileBytes && digits == kHexDigits &&
                    sodium_hex2bin(k.bytes_, kKeyBytes, text, digits, nullptr, &decoded, nullptr) == 0 &&
                    decoded == kKeyBytes;
    sodium_memzero(text, sizeof text);
    if (!ok) {
        why = path + (k.empty() ? ": the cryptographic library cannot start"
                                : ": not a lab key (64 hex digits and a newline; vekd --make-key makes one)");
        return false;
    }
    sodium_mprotect_readonly(k.bytes_);
    out = std::move(k);
    return true;
}

bool LabKey::write(const std::string& path, std::string& why) const {
    if (empty() || path.empty()) {
        why = "no key to write";
        return false;
    }
    if (!makeParents(path, why)) return false;
    std::string temp = path + ".new-XXXXXX";
    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));  // mode 0600
    if (!fd.valid()) {
        why = path + ": " + std::strerror(errno);
        return false;
    }
    char text[kHexDigits + 2];
    sodium_bin2hex(text, kHexDigits + 1, bytes_, kKeyBytes);
    text[kHexDigits] = '\n';
    const bool written =
        ::fchmod(fd.get(), 0600) == 0 && writeAll(fd.get(), text, kHexDigits + 1) && ::fsync(fd.get()) == 0;
    sodium_memzero(text, sizeof text);
    // link() puts the whole file in place and, unlike rename(), never
    // replaces one that is there.
    const bool linked = written && ::link(temp.c_str(), path.c_str()) == 0;
    const int err = errno;
    ::unlink(temp.c_str());
    if (!linked) {
        why = path + ": " +
              (written && err == EEXIST
                   ? std::string("exists; a lab key is never overwritten (remove it first)")
                   : std::string(std::strerror(err)));
        return false;
    }
    return true;
}

void LabKey::prove(const uint8_t* nonce, const uint8_t* hello, size_t helloSize, uint8_t* proof) const {
    if (empty()) {
        std::memset(proof, 0, kProofBytes);
        return;
    }
    const std::string m = authenticated(nonce, hello, helloSize);
    crypto_auth(proof, reinterpret_cast<const unsigned char*>(m.data()), m.size(), bytes_);
}

bool LabKey::verify(const uint8_t* nonce, const uint8_t* hello, size_t helloSize,
                    const uint8_t* proof) const {
    if (empty()) return false;
    const std::string m = authenticated(nonce, hello, helloSize);
    return crypto_auth_verify(proof, reinterpret_cast<const unsigned char*>(m.data()), m.size(), bytes_) == 0;
}

bool randomNonce(uint8_t* nonce) {
    if (!sodiumReady()) return false;
    randombytes_buf(nonce, kNonceBytes);
    return true;
}

}  // namespace vekwire
