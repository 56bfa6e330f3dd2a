#include "platform/win32/win32_http.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include "common/app_error.h"
#include "win32/test_servers.h"

namespace hanamizu::win32 {
namespace {

using testing::TestServers;

struct MemorySink : ByteSink {
  std::string bytes;
  int writes = 0;
  void Write(std::string_view data) override {
    bytes += data;
    ++writes;
  }
};

std::string AllByteValues(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  return bytes;
}

// The error of a download that must fail; the test fails if it does not.
AppError FailedDownload(Win32HttpClient& http, const std::string& url, MemorySink& sink) {
  try {
    http.Download(url, sink);
  } catch (const AppError& error) {
    return error;
  }
  ADD_FAILURE() << "no error for " << url;
  return AppError(0, "");
}

class Win32HttpTest : public ::testing::Test {
 protected:
  TestServers servers;
  Win32HttpClient http;
  MemorySink sink;
};

TEST_F(Win32HttpTest, ABinaryFileArrivesExactlyAsServed) {
  const std::string body = AllByteValues(300 * 1024 + 17);  // several reads, odd tail
  servers.Publish("binary.bin", body);
  http.Download(servers.NginxUrl() + "binary.bin", sink);
  EXPECT_EQ(sink.bytes.size(), body.size());
  EXPECT_TRUE(sink.bytes == body);
  EXPECT_GT(sink.writes, 1);
}

TEST_F(Win32HttpTest, JapaneseNamesAndBlanksAreSentAsUtf8) {
  servers.Publish("更新 プログラム.exe", "japanese");
  http.Download(servers.NginxUrl() + "更新 プログラム.exe", sink);
  EXPECT_EQ(sink.bytes, "japanese");
}

TEST_F(Win32HttpTest, AnEmptyBodyIsNoError) {
  http.Download(servers.FaultUrl() + "empty", sink);
  EXPECT_EQ(sink.bytes, "");
  servers.Publish("empty.dat", "");
  http.Download(servers.NginxUrl() + "empty.dat", sink);
  EXPECT_EQ(sink.bytes, "");
}

TEST_F(Win32HttpTest, EveryAnswerIsFetchedAfreshNeverFromACache) {
  servers.Publish("changing.dat", "first");
  http.Download(servers.NginxUrl() + "changing.dat", sink);
  EXPECT_EQ(sink.bytes, "first");
  servers.Publish("changing.dat", "second, longer");
  MemorySink again;
  http.Download(servers.NginxUrl() + "changing.dat", again);
  EXPECT_EQ(again.bytes, "second, longer");
}

TEST_F(Win32HttpTest, RedirectsAreFollowed) {
  servers.Publish("target.bin", "the target");
  http.Download(servers.FaultUrl() + "redirect/" + servers.nginx_port() + "/target.bin", sink);
  EXPECT_EQ(sink.bytes, "the target");
}

TEST_F(Win32HttpTest, ErrorStatusesFailNamingTheStatusAndTheAddress) {
  for (const std::string& url :
       {servers.NginxUrl() + "no-such-file.exe", servers.FaultUrl() + "status/404"}) {
    SCOPED_TRACE(url);
    const AppError error = FailedDownload(http, url, sink);
    EXPECT_EQ(error.number(), 404);
    EXPECT_NE(error.description().find("404"), std::string::npos) << error.description();
    EXPECT_NE(error.description().find(url), std::string::npos) << error.description();
  }
  const std::string url = servers.FaultUrl() + "status/500";
  const AppError error = FailedDownload(http, url, sink);
  EXPECT_EQ(error.number(), 500);
  EXPECT_NE(error.description().find("500"), std::string::npos);
  EXPECT_EQ(sink.bytes, "");  // no error page reaches the sink
}

TEST_F(Win32HttpTest, ABodyCutShortOfItsLengthFails) {
  const std::string url = servers.FaultUrl() + "cut/5000/1000";
  const AppError error = FailedDownload(http, url, sink);
  EXPECT_NE(error.description().find(url), std::string::npos) << error.description();
  EXPECT_LT(sink.bytes.size(), 5000u);
}

TEST_F(Win32HttpTest, ARefusedConnectionFails) {
  const std::string url = servers.RefusingUrl() + "di04.dat";
  const AppError error = FailedDownload(http, url, sink);
  EXPECT_EQ(error.number(), ERROR_INTERNET_CANNOT_CONNECT) << error.description();
  EXPECT_NE(error.description().find(url), std::string::npos);
  EXPECT_GT(error.description().size(), url.size() + 3);  // WinINet's own text comes first
}

TEST_F(Win32HttpTest, AServerThatNeverAnswersTimesOut) {
  http.SetTimeouts({2000, 1500});
  const AppError error = FailedDownload(http, servers.FaultUrl() + "stall", sink);
  // Windows reports the time-out as such; Wine as a connection that was ended.
  EXPECT_TRUE(error.number() == ERROR_INTERNET_TIMEOUT ||
              error.number() == ERROR_INTERNET_CONNECTION_ABORTED)
      << error.number() << " " << error.description();
}

TEST_F(Win32HttpTest, AServerThatStopsSendingTimesOut) {
  http.SetTimeouts({2000, 1500});
  const AppError error = FailedDownload(http, servers.FaultUrl() + "stall-body", sink);
  EXPECT_LT(sink.bytes.size(), 1000u);
  EXPECT_NE(error.description().find("stall-body"), std::string::npos);
}

TEST_F(Win32HttpTest, OnlyHttpAndHttpsAddresses) {
  const AppError error = FailedDownload(http, "ftp://127.0.0.1/di04.dat", sink);
  EXPECT_EQ(error.number(), ERROR_INTERNET_UNRECOGNIZED_SCHEME);
  FailedDownload(http, "not an address", sink);
}

}  // namespace
}  // namespace hanamizu::win32
