#include "VPairKeys.h"

#include "DiagLog.h"
#include "VAppPlist.h"

#include <QFile>
#include <QUuid>

#include <memory>
#include <mutex>

#include <openssl/encoder.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace {

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using CertPtr = std::unique_ptr<X509, decltype(&X509_free)>;
using BioPtr = std::unique_ptr<BIO, decltype(&BIO_free)>;

constexpr long kValidSeconds = 20L * 365 * 24 * 3600;

QByteArray bioBytes(BIO *bio)
{
    char *data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return length > 0 && data ? QByteArray(data, int(length)) : QByteArray();
}

BioPtr memoryBio()
{
    return BioPtr(BIO_new(BIO_s_mem()), BIO_free);
}

bool addExtension(X509 *cert, X509V3_CTX *context, int nid, const char *value)
{
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, context, nid, value);
    const bool added = extension && X509_add_ext(cert, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

// A certificate for key signed by issuerKey; issuer null makes a self-signed CA.
CertPtr makeCertificate(EVP_PKEY *key, const char *commonName, long serial, X509 *issuer, EVP_PKEY *issuerKey)
{
    CertPtr cert(X509_new(), X509_free);
    if (!cert)
        return cert;
    X509 *c = cert.get();
    X509_NAME *name = X509_get_subject_name(c);
    const bool ca = issuer == nullptr;
    bool ok = X509_set_version(c, 2) == 1 && ASN1_INTEGER_set(X509_get_serialNumber(c), serial) == 1
        && X509_gmtime_adj(X509_getm_notBefore(c), 0) && X509_gmtime_adj(X509_getm_notAfter(c), kValidSeconds)
        && X509_set_pubkey(c, key) == 1
        && X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                      reinterpret_cast<const unsigned char *>(commonName), -1, -1, 0) == 1
        && X509_set_issuer_name(c, ca ? name : X509_get_subject_name(issuer)) == 1;
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, ca ? c : issuer, c, nullptr, nullptr, 0);
    ok = ok && addExtension(c, &context, NID_basic_constraints, ca ? "critical,CA:TRUE" : "critical,CA:FALSE")
        && addExtension(c, &context, NID_key_usage,
                        ca ? "critical,keyCertSign,cRLSign" : "critical,digitalSignature,keyEncipherment")
        && addExtension(c, &context, NID_subject_key_identifier, "hash")
        && X509_sign(c, issuerKey, EVP_sha256()) > 0;
    if (!ok)
        cert.reset();
    return cert;
}

QByteArray certificatePem(X509 *cert)
{
    BioPtr bio = memoryBio();
    return bio && cert && PEM_write_bio_X509(bio.get(), cert) == 1 ? bioBytes(bio.get()) : QByteArray();
}

// PKCS#1 "RSA PRIVATE KEY", which libimobiledevice reads with PEM_read_bio_RSAPrivateKey.
QByteArray privateKeyPem(EVP_PKEY *key)
{
    BioPtr bio = memoryBio();
    return bio && PEM_write_bio_PrivateKey_traditional(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1
        ? bioBytes(bio.get()) : QByteArray();
}

// PKCS#1 "RSA PUBLIC KEY", which libimobiledevice reads with PEM_read_bio_RSAPublicKey.
QByteArray publicKeyPem(EVP_PKEY *key)
{
    BioPtr bio = memoryBio();
    OSSL_ENCODER_CTX *encoder = OSSL_ENCODER_CTX_new_for_pkey(key, EVP_PKEY_PUBLIC_KEY, "PEM", "type-specific", nullptr);
    const bool ok = bio && encoder && OSSL_ENCODER_to_bio(encoder, bio.get()) == 1;
    OSSL_ENCODER_CTX_free(encoder);
    return ok ? bioBytes(bio.get()) : QByteArray();
}

bool generate(VPairKeys *keys)
{
    KeyPtr root(EVP_RSA_gen(2048), EVP_PKEY_free);
    KeyPtr host(EVP_RSA_gen(2048), EVP_PKEY_free);
    KeyPtr device(EVP_RSA_gen(2048), EVP_PKEY_free);
    if (!root || !host || !device)
        return false;
    const CertPtr rootCert = makeCertificate(root.get(), "AppShuttle virtual root", 1, nullptr, root.get());
    if (!rootCert)
        return false;
    const CertPtr hostCert = makeCertificate(host.get(), "AppShuttle virtual host", 2, rootCert.get(), root.get());
    const CertPtr deviceCert = makeCertificate(device.get(), "AppShuttle virtual device", 3, rootCert.get(), root.get());
    keys->rootKey = privateKeyPem(root.get());
    keys->rootCertificate = certificatePem(rootCert.get());
    keys->hostKey = privateKeyPem(host.get());
    keys->hostCertificate = certificatePem(hostCert.get());
    keys->deviceKey = privateKeyPem(device.get());
    keys->deviceCertificate = certificatePem(deviceCert.get());
    keys->devicePublicKey = publicKeyPem(device.get());
    return !keys->rootKey.isEmpty() && !keys->rootCertificate.isEmpty() && !keys->hostKey.isEmpty()
        && !keys->hostCertificate.isEmpty() && !keys->deviceKey.isEmpty()
        && !keys->deviceCertificate.isEmpty() && !keys->devicePublicKey.isEmpty();
}

std::string newUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

// The keys this process generated first; HostID and BUID are left empty.
bool processKeys(VPairKeys *keys)
{
    static std::mutex mutex;
    static VPairKeys memo;
    static bool generated = false;
    std::lock_guard<std::mutex> lock(mutex);
    if (!generated) {
        if (!generate(&memo))
            return false;
        generated = true;
    }
    *keys = memo;
    return true;
}

// What the host keeps of a pairing, apart from EscrowBag and WiFiMACAddress.
void setHostKeys(plist_t dict, const VPairKeys &keys)
{
    VAppPlist::setData(dict, "DeviceCertificate", keys.deviceCertificate);
    VAppPlist::setData(dict, "HostCertificate", keys.hostCertificate);
    VAppPlist::setString(dict, "HostID", QString::fromStdString(keys.hostId));
    VAppPlist::setData(dict, "RootCertificate", keys.rootCertificate);
    VAppPlist::setString(dict, "SystemBUID", QString::fromStdString(keys.buid));
    VAppPlist::setData(dict, "HostPrivateKey", keys.hostKey);
    VAppPlist::setData(dict, "RootPrivateKey", keys.rootKey);
}

} // namespace

bool VPairKeys::valid() const
{
    return !rootKey.isEmpty() && !rootCertificate.isEmpty() && !hostKey.isEmpty() && !hostCertificate.isEmpty()
        && !deviceKey.isEmpty() && !deviceCertificate.isEmpty() && !devicePublicKey.isEmpty() && !hostId.empty()
        && !buid.empty();
}

bool VPairKeys::loadOrCreate(const QString &stateDir, VPairKeys *keys, QString *error)
{
    const QString path = stateDir + QStringLiteral("/identity.plist");
    if (QFile::exists(path)) {
        const PlistPtr dict = VAppPlist::readFile(path, 256 * 1024);
        VPairKeys read;
        if (dict && plist_get_node_type(dict.get()) == PLIST_DICT) {
            read.rootKey = VAppPlist::data(dict.get(), "RootPrivateKey");
            read.rootCertificate = VAppPlist::data(dict.get(), "RootCertificate");
            read.hostKey = VAppPlist::data(dict.get(), "HostPrivateKey");
            read.hostCertificate = VAppPlist::data(dict.get(), "HostCertificate");
            read.deviceKey = VAppPlist::data(dict.get(), "DevicePrivateKey");
            read.deviceCertificate = VAppPlist::data(dict.get(), "DeviceCertificate");
            read.devicePublicKey = VAppPlist::data(dict.get(), "DevicePublicKey");
            read.hostId = VAppPlist::string(dict.get(), "HostID").toStdString();
            read.buid = VAppPlist::string(dict.get(), "SystemBUID").toStdString();
        }
        if (read.valid()) {
            *keys = read;
            return true;
        }
        DIAG_LOG("identity.plist of the state folder is unreadable: new keys");
    }
    VPairKeys made;
    if (!processKeys(&made)) {
        *error = QStringLiteral("cannot generate the pairing keys");
        DIAG_LOG("cannot generate the pairing keys");
        return false;
    }
    made.hostId = newUuid();
    made.buid = newUuid();
    PlistPtr dict = makePlistPtr(plist_new_dict());
    setHostKeys(dict.get(), made);
    VAppPlist::setData(dict.get(), "DevicePrivateKey", made.deviceKey);
    VAppPlist::setData(dict.get(), "DevicePublicKey", made.devicePublicKey);
    if (!VAppPlist::writeFile(path, dict.get())) {
        *error = QStringLiteral("cannot write %1").arg(path);
        DIAG_LOG("cannot write identity.plist");
        return false;
    }
    *keys = made;
    return true;
}

QByteArray VPairKeys::hostPairRecord(const QByteArray &escrowBag, const std::string &wifiAddress) const
{
    PlistPtr dict = makePlistPtr(plist_new_dict());
    setHostKeys(dict.get(), *this);
    VAppPlist::setData(dict.get(), "EscrowBag", escrowBag);
    VAppPlist::setString(dict.get(), "WiFiMACAddress", QString::fromStdString(wifiAddress));
    return VAppPlist::toXml(dict.get());
}
