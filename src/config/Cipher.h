#pragma once

#include <QByteArray>

#include <functional>
#include <optional>

// AES in CBC mode through OpenSSL's EVP interface, for the secrets the program and the
// monitoring service keep in files and registry values. The key's length picks the
// variant: 16 bytes AES-128, 24 bytes AES-192, 32 bytes AES-256. The IV is one block.
class Cipher final
{
public:
    enum class Padding
    {
        None, // the caller hands whole blocks and strips its own padding
        Pkcs7
    };

    static constexpr int BlockSize = 16;

    Cipher(const QByteArray& key, Padding padding);

    // Nothing on any failure: a key or IV of the wrong size, unpadded input that is not
    // whole blocks, or padding that does not check out on decrypting (a wrong key, mostly).
    std::optional<QByteArray> encrypt(const QByteArray& iv, const QByteArray& plain) const;
    std::optional<QByteArray> decrypt(const QByteArray& iv, const QByteArray& ciphertext) const;

    // count bytes from OpenSSL's generator; empty when it fails.
    static QByteArray randomBytes(int count);
    // While set, randomBytes answers source(count) instead: tests fix the bytes a value is
    // encrypted with to check its exact text. Null, the default, is OpenSSL's generator.
    static void setRandomSource(std::function<QByteArray(int)> source);
    // Compares in time independent of the contents, for digests and other secrets.
    static bool equalSecrets(const QByteArray& a, const QByteArray& b);

private:
    std::optional<QByteArray> run(bool encrypting, const QByteArray& iv, const QByteArray& input) const;

    QByteArray m_key;
    Padding m_padding;
};
