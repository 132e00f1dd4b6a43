#include "VTlsContext.h"

#include "DiagLog.h"
#include "VPairKeys.h"

#include <cerrno>
#include <cstdint>
#include <string>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

namespace {

int socketOf(BIO *bio)
{
    return int(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
}

int bioWrite(BIO *bio, const char *data, int length)
{
    BIO_clear_retry_flags(bio);
    for (;;) {
        const ssize_t n = ::send(socketOf(bio), data, size_t(length), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        return int(n);
    }
}

int bioRead(BIO *bio, char *data, int length)
{
    BIO_clear_retry_flags(bio);
    for (;;) {
        const ssize_t n = ::recv(socketOf(bio), data, size_t(length), 0);
        if (n < 0 && errno == EINTR)
            continue;
        return int(n);
    }
}

long bioControl(BIO *, int command, long, void *)
{
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int bioCreate(BIO *bio)
{
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD *socketMethod()
{
    static BIO_METHOD *const method = [] {
        BIO_METHOD *m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "vdevice socket");
        if (m && (!BIO_meth_set_write(m, bioWrite) || !BIO_meth_set_read(m, bioRead)
                  || !BIO_meth_set_ctrl(m, bioControl) || !BIO_meth_set_create(m, bioCreate))) {
            BIO_meth_free(m);
            m = nullptr;
        }
        return m;
    }();
    return method;
}

std::string openSslError()
{
    const unsigned long code = ERR_get_error();
    char text[256] = "no OpenSSL error";
    if (code)
        ERR_error_string_n(code, text, sizeof text);
    return text;
}

int acceptAnyCertificate(int, X509_STORE_CTX *)
{
    return 1;
}

} // namespace

VTlsContext::~VTlsContext()
{
    SSL_CTX_free(m_context);
}

bool VTlsContext::init(const VPairKeys &keys, QString *error)
{
    SSL_CTX_free(m_context);
    m_context = SSL_CTX_new(TLS_server_method());
    BIO *certBio = BIO_new_mem_buf(keys.deviceCertificate.constData(), int(keys.deviceCertificate.size()));
    BIO *keyBio = BIO_new_mem_buf(keys.deviceKey.constData(), int(keys.deviceKey.size()));
    X509 *cert = certBio ? PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr) : nullptr;
    EVP_PKEY *key = keyBio ? PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr) : nullptr;
    bool ok = m_context && cert && key && SSL_CTX_use_certificate(m_context, cert) == 1
        && SSL_CTX_use_PrivateKey(m_context, key) == 1 && SSL_CTX_check_private_key(m_context) == 1;
    X509_free(cert);
    EVP_PKEY_free(key);
    BIO_free(certBio);
    BIO_free(keyBio);
    if (ok) {
        SSL_CTX_set_security_level(m_context, 0);
        ok = SSL_CTX_set_min_proto_version(m_context, TLS1_VERSION) == 1
            && SSL_CTX_set_num_tickets(m_context, 0) == 1 && socketMethod();
        SSL_CTX_set_options(m_context, SSL_OP_NO_TICKET);
        SSL_CTX_set_verify(m_context, SSL_VERIFY_PEER, acceptAnyCertificate);
    }
    if (!ok) {
        *error = QStringLiteral("cannot set up TLS: %1").arg(QString::fromStdString(openSslError()));
        DIAG_LOG(error->toUtf8().constData());
        SSL_CTX_free(m_context);
        m_context = nullptr;
    }
    return ok;
}

ssl_st *VTlsContext::accept(int fd) const
{
    if (!m_context) {
        DIAG_LOG("TLS requested without a TLS context");
        return nullptr;
    }
    SSL *ssl = SSL_new(m_context);
    BIO *bio = ssl ? BIO_new(socketMethod()) : nullptr;
    if (!bio) {
        DIAG_LOG("cannot create a TLS session");
        SSL_free(ssl);
        return nullptr;
    }
    BIO_set_data(bio, reinterpret_cast<void *>(intptr_t(fd)));
    SSL_set_bio(ssl, bio, bio);
    ERR_clear_error();
    if (SSL_accept(ssl) != 1) {
        DIAG_LOG(("TLS handshake failed: " + openSslError()).c_str());
        SSL_free(ssl);
        return nullptr;
    }
    return ssl;
}
