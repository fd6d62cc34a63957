// The lab key: 32 random bytes that vekd and its clients share. A client
// proves it holds the key with a MAC (HMAC-SHA-512-256, libsodium's
// crypto_auth) over a fresh nonce of the server and its own greeting, so a
// proof is good for one connection and one greeting only. Layout and
// threat model: docs/protocol.md, docs/security.md.
//
// Key bytes live in guarded memory (sodium_malloc: locked, left out of core
// dumps, wiped when freed) and read-only once loaded; they are never
// printed. Key files hold 64 hex digits and a newline, mode 0600.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vekwire {

constexpr size_t kKeyBytes = 32;
constexpr size_t kNonceBytes = 32;
constexpr size_t kProofBytes = 32;

class LabKey {
public:
    LabKey() = default;  // no key
    ~LabKey();
    LabKey(LabKey&& other) noexcept;
    LabKey& operator=(LabKey&& other) noexcept;
    LabKey(const LabKey&) = delete;
    LabKey& operator=(const LabKey&) = delete;

    bool empty() const { return bytes_ == nullptr; }

    // A fresh random key; empty when libsodium cannot start.
    static LabKey generate();
    // Reads a key file; false with why (the path and what is wrong with it:
    // unreadable, readable or writable by group or others, not a key).
    static bool read(const std::string& path, LabKey& out, std::string& why);
    // Writes this key to a new file of mode 0600 (missing parent folders
    // are made, mode 0700). An existing file is never overwritten. False
    // with why.
    bool write(const std::string& path, std::string& why) const;

    // The proof for `nonce` and the greeting `hello` (the Hello payload
    // exactly as sent), and its check in constant time.
    void prove(const uint8_t* nonce, const uint8_t* hello, size_t helloSize, uint8_t* proof) const;
    bool verify(const uint8_t* nonce, const uint8_t* hello, size_t helloSize, const uint8_t* proof) const;

private:
    static LabKey allocate();

    unsigned char* bytes_ = nullptr;  // sodium_malloc'ed, kKeyBytes
};

// Fills `nonce` with kNonceBytes from the system's random source; false
// when libsodium cannot start.
bool randomNonce(uint8_t* nonce);

}  // namespace vekwire
