#include "certificate.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSysInfo>
#include <memory>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace {

template <auto Free> struct Freer
{
    template <typename T> void operator()(T *p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY_free>>;
using Cert = std::unique_ptr<X509, Freer<X509_free>>;
using Bio = std::unique_ptr<BIO, Freer<BIO_free>>;

QByteArray bioBytes(BIO *bio)
{
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QByteArray(data, int(size));
}

bool addExtension(X509 *cert, int nid, const char *value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION *ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext)
        return false;
    const bool added = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return added;
}

// A P-256 key and a certificate for it, signed by itself, valid for ten years, naming this
// PC and the loopback addresses.
Result<std::pair<QByteArray, QByteArray>> makePair()
{
    const Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    const Cert cert(X509_new());
    if (!key || !cert)
        return failure(QStringLiteral("无法生成密钥"));
    unsigned char serial[16];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7f; // a positive serial number
    BIGNUM *bn = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
    BN_free(bn);
    X509_set_version(cert.get(), 2);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME *name = X509_get_subject_name(cert.get());
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("Corvana"),
                               -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char *>(host.constData()), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    const QByteArray san = "DNS:localhost,IP:127.0.0.1,IP:::1" +
                           (host.isEmpty() || host.contains(',') ? QByteArray() : ",DNS:" + host);
    if (!addExtension(cert.get(), NID_subject_alt_name, san.constData()) ||
        !addExtension(cert.get(), NID_basic_constraints, "critical,CA:FALSE") ||
        !addExtension(cert.get(), NID_ext_key_usage, "serverAuth") ||
        X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
        return failure(QStringLiteral("无法生成证书"));
    const Bio certPem(BIO_new(BIO_s_mem()));
    const Bio keyPem(BIO_new(BIO_s_mem()));
    if (!PEM_write_bio_X509(certPem.get(), cert.get()) ||
        !PEM_write_bio_PrivateKey(keyPem.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr))
        return failure(QStringLiteral("无法生成证书"));
    return std::pair{bioBytes(certPem.get()), bioBytes(keyPem.get())};
}

Result<> writeFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions)
{
    QSaveFile file(path);
    // The key is only ever readable by the program's user, from the first byte on.
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(permissions) ||
        file.write(bytes) != bytes.size() || !file.commit())
        return failure(QStringLiteral("无法写入“%1”").arg(QDir::toNativeSeparators(path)));
    return {};
}

} // namespace

namespace webcert {

QString certificateFileName()
{
    return QStringLiteral("web.crt");
}

QString keyFileName()
{
    return QStringLiteral("web.key");
}

Result<QSslConfiguration> serverConfiguration(const QString &folder)
{
    const QDir dir(folder);
    const QString certPath = dir.filePath(certificateFileName());
    const QString keyPath = dir.filePath(keyFileName());
    if (!QFile::exists(certPath) && !QFile::exists(keyPath)) {
        const auto pair = makePair();
        if (!pair)
            return failure(pair.error());
        const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        if (auto k = writeFile(keyPath, pair->second, owner); !k)
            return failure(k.error());
        if (auto c =
                writeFile(certPath, pair->first, owner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
            !c)
            return failure(c.error());
    }
    QFile certFile(certPath);
    QFile keyFile(keyPath);
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("找不到证书“%1”或密钥“%2”")
                           .arg(QDir::toNativeSeparators(certPath), QDir::toNativeSeparators(keyPath)));
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certFile.readAll(), QSsl::Pem);
    const QByteArray keyBytes = keyFile.readAll();
    QSslKey key(keyBytes, QSsl::Ec, QSsl::Pem);
    if (key.isNull())
        key = QSslKey(keyBytes, QSsl::Rsa, QSsl::Pem);
    if (chain.isEmpty() || key.isNull())
        return failure(QStringLiteral("证书“%1”或密钥“%2”无法读取")
                           .arg(QDir::toNativeSeparators(certPath), QDir::toNativeSeparators(keyPath)));
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificateChain(chain);
    config.setPrivateKey(key);
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    config.setProtocol(QSsl::TlsV1_2OrLater);
    return config;
}

} // namespace webcert
