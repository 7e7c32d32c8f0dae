#include "config/Cipher.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>

namespace {

struct ContextDeleter
{
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, ContextDeleter>;

const EVP_CIPHER* aesCbc(int keySize)
{
    switch (keySize) {
    case 16:
        return EVP_aes_128_cbc();
    case 24:
        return EVP_aes_192_cbc();
    case 32:
        return EVP_aes_256_cbc();
    default:
        return nullptr;
    }
}

const unsigned char* bytes(const QByteArray& data)
{
    return reinterpret_cast<const unsigned char*>(data.constData());
}

std::function<QByteArray(int)>& randomSource()
{
    static std::function<QByteArray(int)> source;
    return source;
}

} // namespace

Cipher::Cipher(const QByteArray& key, Padding padding)
    : m_key(key)
    , m_padding(padding)
{
}

std::optional<QByteArray> Cipher::encrypt(const QByteArray& iv, const QByteArray& plain) const
{
    return run(true, iv, plain);
}

std::optional<QByteArray> Cipher::decrypt(const QByteArray& iv, const QByteArray& ciphertext) const
{
    return run(false, iv, ciphertext);
}

std::optional<QByteArray> Cipher::run(bool encrypting, const QByteArray& iv, const QByteArray& input) const
{
    const EVP_CIPHER* cipher = aesCbc(m_key.size());
    const CipherContext context(EVP_CIPHER_CTX_new());
    if (!cipher || iv.size() != BlockSize || !context ||
        EVP_CipherInit_ex(context.get(), cipher, nullptr, bytes(m_key), bytes(iv), encrypting ? 1 : 0) != 1)
        return std::nullopt;
    EVP_CIPHER_CTX_set_padding(context.get(), m_padding == Padding::Pkcs7 ? 1 : 0);

    QByteArray output(input.size() + BlockSize, '\0');
    auto* out = reinterpret_cast<unsigned char*>(output.data());
    int written = 0;
    int finalWritten = 0;
    if (EVP_CipherUpdate(context.get(), out, &written, bytes(input), input.size()) != 1 ||
        EVP_CipherFinal_ex(context.get(), out + written, &finalWritten) != 1)
        return std::nullopt;
    output.truncate(written + finalWritten);
    return output;
}

QByteArray Cipher::randomBytes(int count)
{
    if (randomSource())
        return randomSource()(count);
    QByteArray random(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(random.data()), count) != 1)
        return {};
    return random;
}

void Cipher::setRandomSource(std::function<QByteArray(int)> source)
{
    randomSource() = std::move(source);
}

bool Cipher::equalSecrets(const QByteArray& a, const QByteArray& b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.constData(), b.constData(), static_cast<size_t>(a.size())) == 0;
}
