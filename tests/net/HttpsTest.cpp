// HTTPS read for real: a test CA trusted in the test's Wine prefix only, and a server on
// 127.0.0.1 whose certificate it issued for "localhost".
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "config/ConfigStore.h"
#include "net/FeedFetcher.h"
#include "net/UpdateCheck.h"
#include "support/net/PythonTestServer.h"
#include "support/net/RecordingFrame.h"
#include "support/win/WinTest.h"

namespace {

// The CA in the machine's Root store while the object lives. Registry stores are written
// when committed, and the chain engine reads the registry.
class TrustedCa {
 public:
  explicit TrustedCa(const std::string& pem) {
    DWORD size = 0;
    ::CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr);
    std::vector<BYTE> der(size);
    store_ = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (store_ && size &&
        ::CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr) &&
        ::CertAddEncodedCertificateToStore(store_, X509_ASN_ENCODING, der.data(), size, CERT_STORE_ADD_REPLACE_EXISTING,
                                           &added_))
      ::CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
  }
  ~TrustedCa() {
    if (added_ && ::CertDeleteCertificateFromStore(added_)) ::CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    if (store_) ::CertCloseStore(store_, 0);
  }
  bool Trusted() const { return added_ != nullptr; }

 private:
  HCERTSTORE store_ = nullptr;
  PCCERT_CONTEXT added_ = nullptr;
};

}  // namespace

TEST(Https, FeedsAndTheUpdateServerAreReadWhenTheCertificateIsTrustedAndNamesTheHost) {
  test::PythonTestServer server(/*tls=*/true, /*testCa=*/true);
  ASSERT_TRUE(server.Started()) << server.Error();
  auto ca = server.NextEvent(10000);
  TrustedCa trust(ca["pem"]);
  ASSERT_TRUE(trust.Trusted());
  const std::wstring port = std::to_wstring(server.Port());
  test::ScopedConfig config;
  Config().SetString(section::Channel(L"good"), L"URL", L"https://localhost:" + port + L"/feed.xml");
  Config().SetString(section::Channel(L"wrongname"), L"URL", L"https://127.0.0.1:" + port + L"/feed.xml");
  Config().SetString(section::kConfig, L"UPDATE_SERVER", L"https://localhost:" + port);

  test::RecordingFrame frame;
  ASSERT_TRUE(StartFeedFetcher(frame.Hwnd()));
  ASSERT_TRUE(frame.WaitForEnd(20000));
  ASSERT_EQ(frame.results.size(), 2u);
  for (const FeedResult& result : frame.results) {
    if (result.id == L"good")
      EXPECT_NE(result.text.find(L"<title>over TLS</title>"), std::wstring::npos);
    else
      EXPECT_EQ(result.text, L"");  // the certificate names localhost only
  }
  ASSERT_TRUE(StartUpdateCheck(frame.Hwnd()));
  ASSERT_TRUE(test::PumpUntil([&] { return !frame.answers.empty(); }, 20000));
  EXPECT_EQ(frame.answers[0], L"ok");
}
