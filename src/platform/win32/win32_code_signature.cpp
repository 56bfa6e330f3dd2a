// A file's Authenticode signature through WinVerifyTrust (wintrust.dll) and its signer's
// certificate through crypt32.dll, both loaded only when a package is checked.

#include "platform/win32/win32_code_signature.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {
namespace {

// What WinVerifyTrust says of a file that carries no signature, or that is of no kind that can
// carry one; and of a signature over other bytes.
constexpr LONG kNoSignature = static_cast<LONG>(0x800B0100);  // TRUST_E_NOSIGNATURE
constexpr LONG kUnknownForm = static_cast<LONG>(0x800B0003);  // TRUST_E_SUBJECT_FORM_UNKNOWN
constexpr LONG kBadDigest = static_cast<LONG>(0x80096010);    // TRUST_E_BAD_DIGEST

CodeSignature::State StateOf(LONG result) {
  if (result == ERROR_SUCCESS) return CodeSignature::State::kSigned;
  if (result == kNoSignature || result == kUnknownForm) return CodeSignature::State::kUnsigned;
  if (result == kBadDigest) return CodeSignature::State::kAltered;
  return CodeSignature::State::kOtherError;
}

// The verification's state, closed (WTD_STATEACTION_CLOSE) when it goes.
class Verification {
 public:
  Verification(HANDLE file, const std::string& path) : path_(FilePath(path)) {
    file_info_.cbStruct = sizeof file_info_;
    file_info_.pcwszFilePath = path_.c_str();
    file_info_.hFile = file;
    data_.cbStruct = sizeof data_;
    data_.dwUIChoice = WTD_UI_NONE;
    // Revocation as far as the system already knows it: a closed office network has no way to
    // the certificate authority, and must neither wait for it nor fail for it.
    data_.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    data_.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    data_.dwUnionChoice = WTD_CHOICE_FILE;
    data_.pFile = &file_info_;
    data_.dwStateAction = WTD_STATEACTION_VERIFY;
    result_ = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }
  Verification(const Verification&) = delete;
  Verification& operator=(const Verification&) = delete;
  ~Verification() {
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }

  LONG result() const { return result_; }
  // The signer's own certificate, where the verification got as far as it.
  PCCERT_CONTEXT Signer() const {
    CRYPT_PROVIDER_DATA* provider =
        data_.hWVTStateData ? WTHelperProvDataFromStateData(data_.hWVTStateData) : nullptr;
    CRYPT_PROVIDER_SGNR* signer =
        provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    CRYPT_PROVIDER_CERT* certificate = signer ? WTHelperGetProvCertFromChain(signer, 0) : nullptr;
    return certificate ? certificate->pCert : nullptr;
  }

 private:
  std::wstring path_;
  GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO file_info_{};
  WINTRUST_DATA data_{};
  LONG result_ = 0;
};

// The SHA-256 of the certificate's SubjectPublicKeyInfo as DER, as `openssl pkey -pubin -outform
// DER` writes it; all zeros when it cannot be encoded.
Sha256Digest KeyDigest(PCCERT_CONTEXT certificate) {
  BYTE* der = nullptr;
  DWORD size = 0;
  if (!CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO,
                           &certificate->pCertInfo->SubjectPublicKeyInfo, CRYPT_ENCODE_ALLOC_FLAG,
                           nullptr, &der, &size)) {
    return {};
  }
  const LocalMemory<BYTE> owned(der);
  const auto hash = MakeSystemCrypto()->StartSha256();
  hash->Add({reinterpret_cast<const char*>(der), size});
  return hash->Finish();
}

std::string Subject(PCCERT_CONTEXT certificate) {
  DWORD type = CERT_X500_NAME_STR;
  const DWORD length = CertGetNameStringW(certificate, CERT_NAME_RDN_TYPE, 0, &type, nullptr, 0);
  std::wstring name(length, L'\0');
  CertGetNameStringW(certificate, CERT_NAME_RDN_TYPE, 0, &type, name.data(), length);
  name.resize(name.empty() ? 0 : length - 1);
  return Narrow(name);
}

}  // namespace

CodeSignature VerifyCodeSignature(HANDLE file, const std::string& path) {
  const Verification verification(file, path);
  CodeSignature signature;
  signature.result = verification.result();
  signature.state = StateOf(verification.result());
  if (const PCCERT_CONTEXT signer = verification.Signer()) {
    signature.signer_key = KeyDigest(signer);
    signature.signer = Subject(signer);
  }
  return signature;
}

}  // namespace hanamizu::win32
