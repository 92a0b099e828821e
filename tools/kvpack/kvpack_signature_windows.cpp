// The PKCS#7 half of signature checking on Windows, with the system's own cryptography.
// CryptMsgControl checks the signer's signature over its signed attributes; that their message
// digest is the content's is compared here. Measured under Wine 8: its CryptMsgControl does not
// make that comparison, and its WinVerifyTrust approves a file whose signed content was
// replaced, and a self-signed signer no store trusts; so neither is relied on for it.
#include "kvpack_signature.h"

#include "kvpack_os.h"
#include "kvpack_sha256.h"

#include <windows.h>

#include <wincrypt.h>

#include <cstdio>
#include <cstring>

namespace fs = std::filesystem;

namespace {

const char spc_indirect_data[] = "1.3.6.1.4.1.311.2.1.4";
const char nested_signature[] = "1.3.6.1.4.1.311.2.4.1";
const char pem_begin[] = "-----BEGIN CERTIFICATE-----";
const char pem_end[] = "-----END CERTIFICATE-----";
const DWORD encoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
enum : size_t { NAME_CAPACITY = 1024, SHA256_SIZE = 32 };
enum : unsigned { DER_OCTET_STRING = 0x04 };

// Parameter type (of the first signer where it has one) into out. 1 when read.
int message_param(HCRYPTMSG msg, DWORD type, std::vector<unsigned char> *out) {
    DWORD size = 0;
    if (!CryptMsgGetParam(msg, type, 0, nullptr, &size)) return 0;
    out->resize(size);
    if (!CryptMsgGetParam(msg, type, 0, out->data(), &size)) return 0;
    out->resize(size);
    return 1;
}

// The attribute of attributes named oid, or null.
const CRYPT_ATTRIBUTE *find_attribute(const CRYPT_ATTRIBUTES &attributes, const char *oid) {
    for (DWORD i = 0; i < attributes.cAttr; i++)
        if (!strcmp(attributes.rgAttr[i].pszObjId, oid)) return &attributes.rgAttr[i];
    return nullptr;
}

std::string name_text(CERT_NAME_BLOB *name) {
    char text[NAME_CAPACITY];
    return CertNameToStrA(X509_ASN_ENCODING, name, CERT_X500_NAME_STR, text, sizeof text) > 1 ? text
                                                                                              : "";
}

// The serial number, stored least significant byte first, as upper-case hex without leading
// zero bytes.
std::string serial_text(const CRYPT_INTEGER_BLOB &serial) {
    std::string text;
    DWORD i = serial.cbData;
    while (i > 1 && serial.pbData[i - 1] == 0) i--;
    for (; i > 0; i--) {
        char digits[3];
        snprintf(digits, sizeof digits, "%02X", serial.pbData[i - 1]);
        text += digits;
    }
    return text;
}

// The certificates of file (PEM blocks, or one DER certificate) into store. 1 when it held
// at least one.
int load_certificates(const fs::path &file, HCERTSTORE store) {
    FILE *f = kvp_open(file, "rb");
    if (!f) return 0;
    std::string text;
    char portion[1 << 14];
    size_t got;
    while ((got = fread(portion, 1, sizeof portion, f)) > 0) text.append(portion, got);
    fclose(f);
    int added = 0;
    for (size_t at = text.find(pem_begin); at != std::string::npos; at = text.find(pem_begin, at)) {
        const size_t end = text.find(pem_end, at);
        if (end == std::string::npos) break;
        const size_t block = end + sizeof pem_end - 1 - at;
        DWORD size = 0;
        std::vector<BYTE> der;
        if (CryptStringToBinaryA(text.data() + at, (DWORD)block, CRYPT_STRING_BASE64HEADER, nullptr,
                                 &size, nullptr, nullptr)) {
            der.resize(size);
            if (CryptStringToBinaryA(text.data() + at, (DWORD)block, CRYPT_STRING_BASE64HEADER,
                                     der.data(), &size, nullptr, nullptr) &&
                CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size,
                                                 CERT_STORE_ADD_ALWAYS, nullptr))
                added++;
        }
        at = end;
    }
    if (!added && !text.empty() &&
        CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, (const BYTE *)text.data(),
                                         (DWORD)text.size(), CERT_STORE_ADD_ALWAYS, nullptr))
        added++;
    return added > 0;
}

// The signer's chain, for code signing, built with the message's certificates and those of
// ca_file: it must end in a certificate of ca_file, with no fault but that no system store
// trusts its root. 1 when it holds; 0 or -1 with why set.
int check_chain(PCCERT_CONTEXT signer, HCERTSTORE message_store, const fs::path &ca_file,
                std::string *why) {
    HCERTSTORE trusted = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    HCERTSTORE all = CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    int result = -1;
    static char code_signing[] = szOID_PKIX_KP_CODE_SIGNING;
    LPSTR usages[] = {code_signing};
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    if (!trusted || !all || !load_certificates(ca_file, trusted)) {
        *why = "the trust store " + kvp_path_display(ca_file) + " cannot be read";
    } else if (!CertAddStoreToCollection(all, trusted, 0, 0) ||
               !CertAddStoreToCollection(all, message_store, 0, 0) ||
               !CertGetCertificateChain(nullptr, signer, nullptr, all, &para, 0, nullptr, &chain) ||
               chain->cChain < 1 || chain->rgpChain[0]->cElement < 1) {
        *why = "the signer's chain cannot be built";
    } else {
        const CERT_SIMPLE_CHAIN *simple = chain->rgpChain[0];
        PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
        PCCERT_CONTEXT in_store =
            CertFindCertificateInStore(trusted, encoding, 0, CERT_FIND_EXISTING, root, nullptr);
        const DWORD faults =
            chain->TrustStatus.dwErrorStatus &
            ~(DWORD)(CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                     CERT_TRUST_IS_OFFLINE_REVOCATION);
        result = in_store && faults == 0;
        if (!result) {
            char status[48];
            snprintf(status, sizeof status, " (chain status 0x%08lX)",
                     (unsigned long)chain->TrustStatus.dwErrorStatus);
            *why = std::string("the signer's certificate ") +
                   (in_store ? "chains with faults to " : "does not chain to ") +
                   kvp_path_display(ca_file) + status;
        }
        if (in_store) CertFreeCertificateContext(in_store);
    }
    if (chain) CertFreeCertificateChain(chain);
    if (all) CertCloseStore(all, 0);
    if (trusted) CertCloseStore(trusted, 0);
    return result;
}

// The first signer's message digest attribute against the SHA-256 of content's value bytes.
// 1 when equal; 0 or -1 with why set.
int check_message_digest(const CMSG_SIGNER_INFO &signer, const kvp_der &content, std::string *why) {
    if (strcmp(signer.HashAlgorithm.pszObjId, szOID_NIST_sha256))
        return *why = std::string("its signer's digest ") + signer.HashAlgorithm.pszObjId +
                      " cannot be checked here (SHA-256 only)",
               -1;
    const CRYPT_ATTRIBUTE *attribute =
        find_attribute(signer.AuthAttrs, szOID_PKCS_9_MESSAGE_DIGEST);
    kvp_der digest;
    if (!attribute || attribute->cValue != 1 ||
        !kvp_der_read(attribute->rgValue[0].pbData, attribute->rgValue[0].cbData, &digest) ||
        digest.tag != DER_OCTET_STRING || digest.value_size != SHA256_SIZE)
        return *why = "its signer signs no message digest", 0;
    unsigned char actual[SHA256_SIZE];
    kvp_sha256(content.value, content.value_size, actual);
    if (memcmp(actual, digest.value, SHA256_SIZE))
        return *why = "PKCS#7 verification failed: the signed message digest is not the "
                      "content's",
               0;
    return 1;
}

// Checks the decoded message as kvp_pkcs7_verify does.
int verify_message(HCRYPTMSG msg, HCERTSTORE store, const fs::path *ca_file, kvp_signed_data *out) {
    std::vector<unsigned char> type, signer_bytes, certificate_info;
    if (!message_param(msg, CMSG_INNER_CONTENT_TYPE_PARAM, &type) ||
        std::string((const char *)type.data(), strnlen((const char *)type.data(), type.size())) !=
            spc_indirect_data)
        return out->why = "its content is no Authenticode SpcIndirectDataContent", 0;
    kvp_der content;
    if (!message_param(msg, CMSG_CONTENT_PARAM, &out->content) ||
        !kvp_der_read(out->content.data(), out->content.size(), &content))
        return out->why = "its content cannot be read", 0;
    DWORD signers = 0, size = sizeof signers;
    if (!CryptMsgGetParam(msg, CMSG_SIGNER_COUNT_PARAM, 0, &signers, &size) || signers < 1 ||
        !message_param(msg, CMSG_SIGNER_INFO_PARAM, &signer_bytes))
        return out->why = "it names no signer", 0;
    const CMSG_SIGNER_INFO &signer = *(const CMSG_SIGNER_INFO *)signer_bytes.data();
    const int digest_checked = check_message_digest(signer, content, &out->why);
    if (digest_checked != 1) return digest_checked;
    const CRYPT_ATTRIBUTE *nested = find_attribute(signer.UnauthAttrs, nested_signature);
    out->more_signatures = (int)signers - 1 + (nested ? (int)nested->cValue : 0);

    PCCERT_CONTEXT certificate = nullptr;
    if (message_param(msg, CMSG_SIGNER_CERT_INFO_PARAM, &certificate_info))
        certificate = CertGetSubjectCertificateFromStore(store, encoding,
                                                         (PCERT_INFO)certificate_info.data());
    if (!certificate) return out->why = "its signer's certificate is missing", 0;
    int result = 1;
    if (!CryptMsgControl(msg, 0, CMSG_CTRL_VERIFY_SIGNATURE, certificate->pCertInfo)) {
        const DWORD error = GetLastError();
        char text[128];
        const int broken = error == (DWORD)NTE_BAD_SIGNATURE || error == (DWORD)CRYPT_E_HASH_VALUE;
        snprintf(text, sizeof text, "%s (error 0x%08lX)",
                 broken ? "PKCS#7 verification failed: the signature value does not match"
                        : "the system's cryptography cannot check it",
                 (unsigned long)error);
        out->why = text;
        result = broken ? 0 : -1;
    }
    if (result == 1) {
        out->subject = name_text(&certificate->pCertInfo->Subject);
        out->issuer = name_text(&certificate->pCertInfo->Issuer);
        out->serial = serial_text(certificate->pCertInfo->SerialNumber);
    }
    if (result == 1 && ca_file) {
        result = check_chain(certificate, store, *ca_file, &out->why);
        out->chain_checked = result == 1;
        out->untrusted = result == 0;
    }
    CertFreeCertificateContext(certificate);
    return result;
}

} // namespace

int kvp_pkcs7_verify(const unsigned char *blob, size_t size, const fs::path *ca_file,
                     kvp_signed_data *out) {
    CRYPT_DATA_BLOB in = {(DWORD)size, const_cast<BYTE *>(blob)};
    HCERTSTORE store = nullptr;
    HCRYPTMSG msg = nullptr;
    DWORD query_encoding = 0, content_type = 0, format = 0;
    if (!CryptQueryObject(CERT_QUERY_OBJECT_BLOB, &in, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, &query_encoding, &content_type, &format,
                          &store, &msg, nullptr))
        return out->why = "its PKCS#7 structure cannot be read", 0;
    const int result = verify_message(msg, store, ca_file, out);
    CryptMsgClose(msg);
    CertCloseStore(store, 0);
    return result;
}
