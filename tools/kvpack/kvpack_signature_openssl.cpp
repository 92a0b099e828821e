// The PKCS#7 half of signature checking on Linux, with OpenSSL: PKCS7_verify checks the
// signer's signature over its signed attributes and their message digest against the content;
// the signer's chain is built against the --ca-file store only when one is given.
#include "kvpack_signature.h"

#include "kvpack_os.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace {

const char spc_indirect_data[] = "1.3.6.1.4.1.311.2.1.4";
const char nested_signature[] = "1.3.6.1.4.1.311.2.4.1";

// The latest OpenSSL error as text, with fallback when there is none.
std::string openssl_reason(const char *fallback) {
    const unsigned long code = ERR_get_error();
    const char *reason = code ? ERR_reason_error_string(code) : nullptr;
    ERR_clear_error();
    return reason ? reason : fallback;
}

// 1 when object is the OID written as text.
int is_oid(const ASN1_OBJECT *object, const char *text) {
    ASN1_OBJECT *expected = OBJ_txt2obj(text, 1);
    const int same = object && expected && OBJ_cmp(object, expected) == 0;
    ASN1_OBJECT_free(expected);
    return same;
}

std::string name_text(const X509_NAME *name) {
    BIO *bio = BIO_new(BIO_s_mem());
    if (!bio) return "";
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_SEP_CPLUS_SPC | ASN1_STRFLGS_RFC2253);
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string text(data ? data : "", size > 0 ? (size_t)size : 0);
    BIO_free(bio);
    return text;
}

std::string serial_text(const X509 *cert) {
    BIGNUM *number = ASN1_INTEGER_to_BN(X509_get0_serialNumber(cert), nullptr);
    char *hex = number ? BN_bn2hex(number) : nullptr;
    std::string text = hex ? hex : "";
    OPENSSL_free(hex);
    BN_free(number);
    return text;
}

// Nested signatures in the signer's unsigned attributes.
int nested_count(PKCS7_SIGNER_INFO *signer) {
    int count = 0;
    const STACK_OF(X509_ATTRIBUTE) *attributes = signer->unauth_attr;
    for (int i = 0; i < sk_X509_ATTRIBUTE_num(attributes); i++) {
        X509_ATTRIBUTE *a = sk_X509_ATTRIBUTE_value(attributes, i);
        if (is_oid(X509_ATTRIBUTE_get0_object(a), nested_signature))
            count += X509_ATTRIBUTE_count(a);
    }
    return count;
}

// The signer's chain against the certificates of ca_file, for any purpose, then code signing
// where the certificate restricts its use. 1 when it holds; 0 or -1 with why set.
int check_chain(X509 *signer, STACK_OF(X509) * untrusted, const std::filesystem::path &ca_file,
                std::string *why) {
    std::string path;
    X509_STORE *store = X509_STORE_new();
    X509_STORE_CTX *context = X509_STORE_CTX_new();
    int result = -1;
    if (!store || !context) {
        *why = "out of memory";
    } else if (!kvp_path_text(ca_file, &path) || !X509_STORE_load_file(store, path.c_str())) {
        *why = "the trust store " + kvp_path_display(ca_file) + " cannot be read";
    } else if (!X509_STORE_CTX_init(context, store, signer, untrusted) ||
               !X509_STORE_CTX_set_purpose(context, X509_PURPOSE_ANY)) {
        *why = openssl_reason("the chain cannot be built");
    } else if (X509_verify_cert(context) != 1) {
        result = 0;
        *why = std::string("the signer's certificate does not chain to ") +
               kvp_path_display(ca_file) + ": " +
               X509_verify_cert_error_string(X509_STORE_CTX_get_error(context));
    } else if ((X509_get_extension_flags(signer) & EXFLAG_XKUSAGE) &&
               !(X509_get_extended_key_usage(signer) & XKU_CODE_SIGN)) {
        result = 0;
        *why = "the signer's certificate is not for code signing";
    } else {
        result = 1;
    }
    X509_STORE_CTX_free(context);
    X509_STORE_free(store);
    ERR_clear_error();
    return result;
}

// Checks the decoded SignedData p7 as kvp_pkcs7_verify does.
int verify_signed_data(PKCS7 *p7, const std::filesystem::path *ca_file, kvp_signed_data *out) {
    if (!PKCS7_type_is_signed(p7) || !p7->d.sign || !p7->d.sign->contents)
        return out->why = "no PKCS#7 SignedData", 0;
    PKCS7 *inner = p7->d.sign->contents;
    if (!is_oid(inner->type, spc_indirect_data) || !inner->d.other ||
        inner->d.other->type != V_ASN1_SEQUENCE)
        return out->why = "its content is no Authenticode SpcIndirectDataContent", 0;
    // The SEQUENCE as it stands in the blob, tag and length included.
    const ASN1_STRING *sequence = inner->d.other->value.sequence;
    const unsigned char *der = ASN1_STRING_get0_data(sequence);
    out->content.assign(der, der + ASN1_STRING_length(sequence));
    kvp_der content;
    if (!kvp_der_read(out->content.data(), out->content.size(), &content))
        return out->why = "its content cannot be read", 0;

    STACK_OF(PKCS7_SIGNER_INFO) *signers = PKCS7_get_signer_info(p7);
    if (sk_PKCS7_SIGNER_INFO_num(signers) < 1) return out->why = "it names no signer", 0;
    PKCS7_SIGNER_INFO *first = sk_PKCS7_SIGNER_INFO_value(signers, 0);
    // Without signed attributes the content's digest would not be what is signed.
    if (sk_X509_ATTRIBUTE_num(PKCS7_get_signed_attributes(first)) < 1)
        return out->why = "its signer signs no attributes", 0;
    out->more_signatures = sk_PKCS7_SIGNER_INFO_num(signers) - 1 + nested_count(first);

    // Authenticode names exactly one digest algorithm. Anything else is refused before
    // PKCS7_verify is called: where it cannot set up the digests (an algorithm it does not
    // know), OpenSSL 3.0 returns without freeing the buffer it made of the content, and with
    // several it frees only the first of the digests it chained.
    const STACK_OF(X509_ALGOR) *algorithms = p7->d.sign->md_algs;
    if (sk_X509_ALGOR_num(algorithms) != 1 ||
        !EVP_get_digestbyobj(sk_X509_ALGOR_value(algorithms, 0)->algorithm))
        return out->why = "it does not name one known digest algorithm", 0;

    // Authenticode digests the content without its outer tag and length.
    BIO *data = BIO_new_mem_buf(content.value, (int)content.value_size);
    if (!data) return out->why = "out of memory", -1;
    ERR_clear_error();
    const int verified =
        PKCS7_verify(p7, nullptr, nullptr, data, nullptr, PKCS7_NOVERIFY | PKCS7_BINARY);
    BIO_free(data);
    if (verified != 1)
        return out->why = "PKCS#7 verification failed: " + openssl_reason("signature failure"), 0;

    STACK_OF(X509) *signer_certs = PKCS7_get0_signers(p7, nullptr, 0);
    X509 *signer = sk_X509_num(signer_certs) > 0 ? sk_X509_value(signer_certs, 0) : nullptr;
    int result = signer ? 1 : 0;
    if (!signer) out->why = "its signer's certificate is missing";
    if (signer) {
        out->subject = name_text(X509_get_subject_name(signer));
        out->issuer = name_text(X509_get_issuer_name(signer));
        out->serial = serial_text(signer);
    }
    if (signer && ca_file) {
        result = check_chain(signer, p7->d.sign->cert, *ca_file, &out->why);
        out->chain_checked = result == 1;
        out->untrusted = result == 0;
    }
    sk_X509_free(signer_certs);
    return result;
}

} // namespace

int kvp_pkcs7_verify(const unsigned char *blob, size_t size, const std::filesystem::path *ca_file,
                     kvp_signed_data *out) {
    const unsigned char *p = blob;
    PKCS7 *p7 = d2i_PKCS7(nullptr, &p, (long)size);
    if (!p7) {
        ERR_clear_error();
        return out->why = "its PKCS#7 structure cannot be read", 0;
    }
    const int result = verify_signed_data(p7, ca_file, out);
    PKCS7_free(p7);
    return result;
}
