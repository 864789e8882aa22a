#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "app/FrameFixture.h"
#include "app/InputDialog.h"
#include "app/OpmlTransfer.h"
#include "common/TextConv.h"
#include "doc/Opml.h"
#include "res/resource.h"
#include "win/FileDialog.h"

using test::DialogAnswerer;
using test::PostedMessageSpy;
using test::TempDir;

namespace {

std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  win::ReadWholeFile(path, 1u << 26, bytes);
  return bytes;
}

std::wstring Utf8(const std::string& bytes) { return ToWide(bytes, CP_UTF8); }

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  ASSERT_EQ(win::WriteWholeFile(path, bytes), win::FileResult::Ok);
}

std::set<std::wstring> StoredUrls() {
  std::vector<std::wstring> ids;
  Config().EnumSubsections(L"CONFIG", ids);
  std::set<std::wstring> urls;
  for (const auto& id : ids) urls.insert(Config().GetString(section::Channel(id), L"URL", L""));
  return urls;
}

// Answers the open and save dialogs with one path.
class FileAnswer {
 public:
  explicit FileAnswer(std::wstring path) {
    win::SetFileDialogHook([path](win::FileDialogKind, std::wstring& chosen) {
      chosen = path;
      return true;
    });
  }
  ~FileAnswer() { win::SetFileDialogHook(nullptr); }
};

class OpmlCommandsTest : public test::FrameTest {
 protected:
  void Command(UINT id) { ::SendMessageW(frame.Hwnd(), WM_COMMAND, id, 0); }
  void Add(const std::wstring& url) {
    DialogAnswerer answer(true, url, true);
    Command(IDM_ADD_RSS);
  }
  TempDir dir;
};

}  // namespace

TEST_F(OpmlCommandsTest, ImportAddsNewAddressesInFileOrderCountsTheRestAndRefreshes) {
  Add(L"http://old.example/rss");
  const std::wstring path = dir.File(L"subs.opml");
  WriteBytes(path,
             "\xEF\xBB\xBF<opml version=\"1.0\"><body><outline text=\"f\">"
             "<outline xmlUrl=\"http://old.example/rss\"/><outline xmlUrl=\"http://new.example/a\"/></outline>"
             "<outline xmlUrl=\"http://new.example/a\"/><outline text=\"no address\"/>"
             "<outline xmlUrl=\"http://new.example/b\"/></body></opml>");
  PostedMessageSpy posted(frame.Hwnd(), WM_USER);
  FileAnswer answer(path);
  Command(IDM_IMPORT_OPML);
  test::PumpFor(20);

  EXPECT_EQ(StoredUrls(), (std::set<std::wstring>{L"http://old.example/rss", L"http://new.example/a",
                                                  L"http://new.example/b"}));
  for (const wchar_t* url : {L"http://new.example/a", L"http://new.example/b"}) {
    CChannel* channel = Channel(url);
    ASSERT_NE(channel, nullptr) << url;
    EXPECT_TRUE(channel->notYetLoaded);
  }
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_NE(boxes.Last().text.find(L"추가한 채널: 2개"), std::wstring::npos) << boxes.Last().text;
  EXPECT_NE(boxes.Last().text.find(L"이미 등록된 채널: 2개"), std::wstring::npos);
  EXPECT_NE(boxes.Last().text.find(L"주소가 없는 항목: 1개"), std::wstring::npos);
  EXPECT_EQ(posted.Count(frame_code::kRun), 1u);

  // The same file again adds nothing and starts no refresh.
  posted.Clear();
  Command(IDM_IMPORT_OPML);
  test::PumpFor(20);
  EXPECT_EQ(StoredUrls().size(), 3u);
  EXPECT_EQ(posted.Count(frame_code::kRun), 0u);
}

TEST_F(OpmlCommandsTest, AFileThatIsNotAUsableListChangesNothing) {
  Add(L"http://old.example/rss");
  std::string many = "<opml><body>";
  for (size_t i = 0; i <= kOpmlMaxOutlines; ++i) many += "<outline xmlUrl=\"http://m/" + std::to_string(i) + "\"/>";
  many += "</body></opml>";
  const struct {
    const char* name;
    std::string bytes;
  } files[] = {
      {"rss", "<rss><channel><item><link>http://x/</link></item></channel></rss>"},
      {"many", many},
      {"huge", std::string(kOpmlMaxBytes + 1, '<')},
      {"binary", std::string("\x00\x01\x02\xFF<opml", 9)},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    const std::wstring path = dir.File(std::wstring(file.name, file.name + strlen(file.name)) + L".opml");
    WriteBytes(path, file.bytes);
    FileAnswer answer(path);
    const size_t before = boxes.Count();
    Command(IDM_IMPORT_OPML);
    EXPECT_EQ(StoredUrls(), std::set<std::wstring>{L"http://old.example/rss"});
    ASSERT_EQ(boxes.Count(), before + 1);
    EXPECT_NE(boxes.Last().text.find(L"채널 목록은 바뀌지 않았습니다"), std::wstring::npos);
    EXPECT_TRUE(boxes.Last().type & MB_ICONWARNING);
  }
}

TEST_F(OpmlCommandsTest, ExportFollowsTheTreeAndTheCommandLineBringsEverythingBack) {
  Config().SetString(L"CONFIG\\00000001", L"URL", L"http://z.example/rss?a=1&b=2");
  Config().SetString(L"CONFIG\\00000002", L"URL", L"http://a.example/\xD55C\xAE00");
  Config().SetString(L"CONFIG\\00000003", L"URL", L"#http://off.example/");
  // The tree orders by title, against the order of storage.
  Deliver(L"00000001", L"http://z.example/rss?a=1&b=2", test::Rss(L"Beta", {}));
  Deliver(L"00000002", L"http://a.example/\xD55C\xAE00", test::Rss(L"Alpha", {}));
  const std::wstring path = dir.File(L"out.opml");
  {
    FileAnswer answer(path);
    Command(IDM_EXPORT_OPML);
  }
  const std::string written = ReadBytes(path);
  const size_t alpha = written.find("text=\"Alpha\"");
  const size_t beta = written.find("text=\"Beta\"");
  ASSERT_NE(alpha, std::string::npos) << written;
  EXPECT_LT(alpha, beta);
  EXPECT_NE(written.find("xmlUrl=\"http://z.example/rss?a=1&amp;b=2\""), std::string::npos);
  EXPECT_NE(written.find("xmlUrl=\"http://a.example/\xED\x95\x9C\xEA\xB8\x80\""), std::string::npos);
  EXPECT_NE(written.find("pellora:url=\"#http://off.example/\""), std::string::npos);
  EXPECT_NE(boxes.Last().text.find(L"3"), std::wstring::npos);

  const std::set<std::wstring> before = StoredUrls();
  {
    test::ScopedConfig fresh(test::ScopedConfig::Backend::Ini);
    EXPECT_EQ(RunOpmlCommandLine((L"pellora.exe /IMPORT \"" + path + L"\"").c_str()), 0);
    EXPECT_EQ(StoredUrls(), before);
    EXPECT_EQ(RunOpmlCommandLine((L"pellora.exe /export \"" + dir.File(L"again.opml") + L"\"").c_str()), 0);
  }
  SetConfigOverride(&config.Store());  // back to the frame's settings
  OpmlList list;
  ASSERT_EQ(ReadOpml(Utf8(ReadBytes(dir.File(L"again.opml"))), list), OpmlStatus::Ok);
  EXPECT_EQ(std::set<std::wstring>(list.addresses.begin(), list.addresses.end()), before);
}

TEST(OpmlCommandLineTest, ExitCodes) {
  test::ScopedConfig config(test::ScopedConfig::Backend::Ini);
  TempDir dir;
  const struct {
    std::wstring line;
    int code;
  } cases[] = {
      {L"pellora.exe", -1},
      {L"pellora.exe /other x", -1},
      {L"pellora.exe /import", 1},
      {L"pellora.exe /import \"" + dir.File(L"missing.opml") + L"\"", 1},
      {L"pellora.exe /export \"" + dir.File(L"no such folder\\x.opml") + L"\"", 1},
      {L"pellora.exe /export \"" + dir.File(L"empty.opml") + L"\"", 0},
      {L"pellora.exe /import \"" + dir.File(L"empty.opml") + L"\"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(RunOpmlCommandLine(c.line.c_str()), c.code) << c.line;
  std::vector<std::wstring> ids;
  Config().EnumSubsections(L"CONFIG", ids);
  EXPECT_TRUE(ids.empty());
}

TEST(OpmlCommandLineTest, FilesInTheEncodingsOtherReadersWrite) {
  TempDir dir;
  std::string utf16 = "\xFF\xFE";
  for (char16_t c : std::u16string(u"<opml><body><outline xmlUrl=\"h:/\xD55C\"/></body></opml>")) {
    utf16.push_back(static_cast<char>(c & 0xFF));
    utf16.push_back(static_cast<char>(c >> 8));
  }
  const struct {
    const char* name;
    std::string bytes;
    std::wstring address;  // empty: refused
  } files[] = {
      {"UTF-8 byte-order mark without declaration",
       "\xEF\xBB\xBF<opml version=\"2.0\"><body><outline text=\"\xED\x95\x9C\" xmlUrl=\"http://k.example/\xED\x95\x9C\"/>"
       "</body></opml>",
       L"http://k.example/\xD55C"},
      {"UTF-16LE with byte-order mark", utf16, L"h:/\xD55C"},
      {"declared ISO-8859-1",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><opml version=\"1.1\"><body>"
       "<outline title=\"caf\xE9\" xmlUrl=\"http://x/caf\xE9\"/></body></opml>",
       L"http://x/caf\xE9"},
      {"declared EUC-KR", "<?xml version=\"1.0\" encoding=\"euc-kr\"?><opml><body><outline xmlUrl=\"http://e/\xC7\xD1\"/></body></opml>",
       L"http://e/\xD55C"},
      {"unknown encoding", "<?xml version=\"1.0\" encoding=\"x-mystery\"?><opml><body><outline xmlUrl=\"http://m/\"/></body></opml>",
       L""},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    test::ScopedConfig config(test::ScopedConfig::Backend::Ini);
    const std::wstring path = dir.File(L"list.opml");
    WriteBytes(path, file.bytes);
    EXPECT_EQ(RunOpmlCommandLine((L"pellora.exe /import \"" + path + L"\"").c_str()), file.address.empty() ? 1 : 0);
    EXPECT_EQ(StoredUrls(), file.address.empty() ? std::set<std::wstring>{} : std::set<std::wstring>{file.address});
  }
}
