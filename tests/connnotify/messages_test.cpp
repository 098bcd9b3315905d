// The notifier's message text, built without sending.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "connnotify/notifier.h"
#include "platform/win32/strings.h"

namespace {

using connnotify::TextBuffer;

std::string Utf8(std::u16string_view text) {
  return win32::Utf8FromUtf16(text);
}

LPVOID Context(std::uintptr_t value) {
  return reinterpret_cast<LPVOID>(value);
}
std::uintptr_t Context(LPVOID value) {
  return reinterpret_cast<std::uintptr_t>(value);
}

// Strings the records point at must be writable UTF-16 (LPWSTR).
struct Text {
  explicit Text(std::u16string s) : units(s.begin(), s.end()) { units.push_back(0); }
  LPWSTR get() { return units.data(); }
  std::vector<char16_t> units;
};

std::string AddMessage(NOTIFYINFO& info, const NOTIFYADD& add, std::atomic<DWORD>& counter) {
  TextBuffer message;
  connnotify::BuildAddMessage(info, add, counter, message);
  return Utf8(message.View());
}

std::string CancelMessage(NOTIFYINFO& info, const NOTIFYCANCEL& cancel,
                          std::atomic<DWORD>& counter) {
  TextBuffer message;
  connnotify::BuildCancelMessage(info, cancel, counter, message);
  return Utf8(message.View());
}

TEST(NotifierMessages, AMappedDriveAndItsDisconnectReadAsTheListenerExpects) {
  Text local(u"X:"), remote(u"\\\\host\\docs");
  NOTIFYADD add{};
  add.dwAddFlags = CONNECT_UPDATE_PROFILE;
  add.NetResource = {
      0,      RESOURCETYPE_DISK, RESOURCEDISPLAYTYPE_GENERIC, 0, local.get(), remote.get(), nullptr,
      nullptr};
  std::atomic<DWORD> counter{2};

  NOTIFYINFO info{NOTIFY_PRE, 0, nullptr};
  EXPECT_EQ(AddMessage(info, add, counter),
            "Pre-Add:Context=3, AddFlags=UpdateProfile (1), Scope=0, Type=Disk, "
            "DisplayType=Generic, Usage=(0), LocalName=X:, RemoteName=\\\\host\\docs");
  info.dwNotifyStatus = NOTIFY_POST;  // the router hands back the same context
  EXPECT_EQ(AddMessage(info, add, counter),
            "Post-Add (0):Context=3, AddFlags=UpdateProfile (1), Scope=0, Type=Disk, "
            "DisplayType=Generic, Usage=(0), LocalName=X:, RemoteName=\\\\host\\docs");

  NOTIFYCANCEL cancel{local.get(), nullptr, CONNECT_UPDATE_PROFILE, FALSE};
  NOTIFYINFO cancelInfo{NOTIFY_PRE, 0, nullptr};
  EXPECT_EQ(CancelMessage(cancelInfo, cancel, counter),
            "Pre-Cancel:Context=4, Name=X:, Flags=PersistentCancel, Force=FALSE");
  cancelInfo.dwNotifyStatus = NOTIFY_POST;
  EXPECT_EQ(CancelMessage(cancelInfo, cancel, counter),
            "Post-Cancel (0):Context=4, Name=X:, Flags=PersistentCancel, Force=FALSE");
  EXPECT_EQ(counter.load(), 4u);
}

// ---------------------------------------------------------------------------------------------

struct HeadCase {
  const char* what;
  DWORD status, result;
  std::uintptr_t contextIn;
  const char* addHead;  // the cancel head is the same with "Cancel" for "Add"
  std::uintptr_t contextOut;
  DWORD counterOut;  // counter starts at 0
};

class HeadTest : public ::testing::TestWithParam<HeadCase> {};

TEST_P(HeadTest, HeadAndContext) {
  const auto& c = GetParam();
  for (bool isAdd : {true, false}) {
    std::atomic<DWORD> counter{0};
    NOTIFYINFO info{c.status, c.result, Context(c.contextIn)};
    std::string message;
    if (isAdd) {
      message = AddMessage(info, NOTIFYADD{}, counter);
    } else {
      message = CancelMessage(info, NOTIFYCANCEL{}, counter);
    }
    std::string head = c.addHead;
    if (!isAdd) head.replace(head.find("Add"), 3, "Cancel");
    EXPECT_EQ(message.substr(0, head.size() + 2), head + ", ") << message;
    EXPECT_EQ(Context(info.lpContext), c.contextOut);
    EXPECT_EQ(counter.load(), c.counterOut);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, HeadTest,
    ::testing::Values(
        HeadCase{"PreTakesTheNextCount", NOTIFY_PRE, 0, 0x77, "Pre-Add:Context=1", 1, 1},
        HeadCase{"PostReportsSuccess", NOTIFY_POST, 0, 1, "Post-Add (0):Context=1", 1, 0},
        HeadCase{"PostReportsAFailureInHex", NOTIFY_POST, 1219, 5, "Post-Add (4c3):Context=5", 5,
                 0},
        HeadCase{"PostReportsALargeCode", NOTIFY_POST, 0x80070035, 0x2f,
                 "Post-Add (80070035):Context=2f", 0x2f, 0},
        HeadCase{"OtherLeavesTheContext", 0, 0, 0xabc, "Other-Add:Context=abc", 0xabc, 0},
        HeadCase{"OtherStatusThree", 3, 9, 0, "Other-Add:Context=0", 0, 0},
        HeadCase{"WholePointerPrinted", 7, 0, static_cast<std::uintptr_t>(0x123456789aull),
                 "Other-Add:Context=123456789a", static_cast<std::uintptr_t>(0x123456789aull), 0}),
    [](const auto& info) { return std::string(info.param.what); });

// ---------------------------------------------------------------------------------------------

struct FlagsCase {
  DWORD flags;
  const char* fragment;
};

class AddFlagsTest : public ::testing::TestWithParam<FlagsCase> {};

TEST_P(AddFlagsTest, WordsInOrderThenTheNumber) {
  TextBuffer out;
  connnotify::FormatAddFlags(GetParam().flags, out);
  EXPECT_EQ(Utf8(out.View()), GetParam().fragment);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, AddFlagsTest,
    ::testing::Values(FlagsCase{0, ", AddFlags=(0)"}, FlagsCase{1, ", AddFlags=UpdateProfile (1)"},
                      FlagsCase{2, ", AddFlags=UpdateRecent (2)"},
                      FlagsCase{4, ", AddFlags=Temporary (4)"},
                      FlagsCase{8, ", AddFlags=Interactive (8)"},
                      FlagsCase{0x10, ", AddFlags=Prompt (10)"},
                      FlagsCase{5, ", AddFlags=Temporary UpdateProfile (5)"},
                      FlagsCase{0x1f,
                                ", AddFlags=Temporary Interactive Prompt UpdateProfile "
                                "UpdateRecent (1f)"},
                      FlagsCase{0x100, ", AddFlags=(100)"},
                      FlagsCase{0x80000004, ", AddFlags=Temporary (80000004)"}));

// ---------------------------------------------------------------------------------------------

struct ResourceCase {
  DWORD scope, type, displayType, usage;
  const char* fragment;
};

class NetResourceTest : public ::testing::TestWithParam<ResourceCase> {};

TEST_P(NetResourceTest, WordsOrHexadecimal) {
  const auto& c = GetParam();
  NETRESOURCEW resource{c.scope, c.type,  c.displayType, c.usage,
                        nullptr, nullptr, nullptr,       nullptr};
  TextBuffer out;
  connnotify::FormatNetResource(resource, out);
  EXPECT_EQ(Utf8(out.View()), c.fragment);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Fields, NetResourceTest, ::testing::Values(
    ResourceCase{0, 0, 0, 0, ", Scope=0, Type=Any, DisplayType=Generic, Usage=(0)"},
    ResourceCase{1, 0, 0, 0, ", Scope=Connected, Type=Any, DisplayType=Generic, Usage=(0)"},
    ResourceCase{2, 0, 0, 0, ", Scope=GlobalNet, Type=Any, DisplayType=Generic, Usage=(0)"},
    ResourceCase{3, 0, 0, 0, ", Scope=3, Type=Any, DisplayType=Generic, Usage=(0)"},
    ResourceCase{4, 0, 0, 0, ", Scope=4, Type=Any, DisplayType=Generic, Usage=(0)"},
    ResourceCase{5, 0, 0, 0, ", Scope=Context, Type=Any, DisplayType=Generic, Usage=(0)"},
    ResourceCase{0x1a, 0, 0, 0, ", Scope=1a, Type=Any, DisplayType=Generic, Usage=(0)"},
    ResourceCase{0, 1, 0, 0, ", Scope=0, Type=Disk, DisplayType=Generic, Usage=(0)"},
    ResourceCase{0, 2, 0, 0, ", Scope=0, Type=Printer, DisplayType=Generic, Usage=(0)"},
    ResourceCase{0, 3, 0, 0, ", Scope=0, Type=3, DisplayType=Generic, Usage=(0)"},
    ResourceCase{0, 0xffffffff, 0, 0, ", Scope=0, Type=ffffffff, DisplayType=Generic, Usage=(0)"},
    ResourceCase{0, 0, 1, 0, ", Scope=0, Type=Any, DisplayType=Domain, Usage=(0)"},
    ResourceCase{0, 0, 2, 0, ", Scope=0, Type=Any, DisplayType=Server, Usage=(0)"},
    ResourceCase{0, 0, 3, 0, ", Scope=0, Type=Any, DisplayType=Share, Usage=(0)"},
    ResourceCase{0, 0, 4, 0, ", Scope=0, Type=Any, DisplayType=4, Usage=(0)"},
    ResourceCase{0, 0, 5, 0, ", Scope=0, Type=Any, DisplayType=5, Usage=(0)"},
    ResourceCase{0, 0, 6, 0, ", Scope=0, Type=Any, DisplayType=Network, Usage=(0)"},
    ResourceCase{0, 0, 7, 0, ", Scope=0, Type=Any, DisplayType=7, Usage=(0)"},
    ResourceCase{0, 0, 8, 0, ", Scope=0, Type=Any, DisplayType=8, Usage=(0)"},
    ResourceCase{0, 0, 9, 0, ", Scope=0, Type=Any, DisplayType=Directory, Usage=(0)"},
    ResourceCase{0, 0, 10, 0, ", Scope=0, Type=Any, DisplayType=a, Usage=(0)"},
    ResourceCase{0, 0, 11, 0, ", Scope=0, Type=Any, DisplayType=b, Usage=(0)"},
    ResourceCase{0, 0, 0, 1, ", Scope=0, Type=Any, DisplayType=Generic, Usage=Connectable (1)"},
    ResourceCase{0, 0, 0, 2, ", Scope=0, Type=Any, DisplayType=Generic, Usage=Container (2)"},
    ResourceCase{0, 0, 0, 4, ", Scope=0, Type=Any, DisplayType=Generic, Usage=NoLocalDevice (4)"},
    ResourceCase{0, 0, 0, 8, ", Scope=0, Type=Any, DisplayType=Generic, Usage=Sibling (8)"},
    ResourceCase{0, 0, 0, 0x10, ", Scope=0, Type=Any, DisplayType=Generic, Usage=Attached (10)"},
    ResourceCase{0, 0, 0, 0x1f, ", Scope=0, Type=Any, DisplayType=Generic, "
                                "Usage=Connectable Container NoLocalDevice Sibling Attached (1f)"},
    ResourceCase{0, 0, 0, 0x80000000, ", Scope=0, Type=Any, DisplayType=Generic, "
                                      "Usage=(80000000)"}));
// clang-format on

struct NamesCase {
  const char16_t *local, *remote, *comment, *provider;
  const char* tail;  // after the usage fragment
};

class NetResourceNamesTest : public ::testing::TestWithParam<NamesCase> {};

TEST_P(NetResourceNamesTest, PresentNamesOnlyInOrderAsTheyAre) {
  const auto& c = GetParam();
  auto maybe = [](const char16_t* s) { return s ? std::make_unique<Text>(s) : nullptr; };
  auto local = maybe(c.local), remote = maybe(c.remote), comment = maybe(c.comment),
       provider = maybe(c.provider);
  NETRESOURCEW resource{};
  resource.lpLocalName = local ? local->get() : nullptr;
  resource.lpRemoteName = remote ? remote->get() : nullptr;
  resource.lpComment = comment ? comment->get() : nullptr;
  resource.lpProvider = provider ? provider->get() : nullptr;
  TextBuffer out;
  connnotify::FormatNetResource(resource, out);
  EXPECT_EQ(Utf8(out.View()),
            std::string(", Scope=0, Type=Any, DisplayType=Generic, Usage=(0)") + c.tail);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NetResourceNamesTest,
    ::testing::Values(
        NamesCase{nullptr, nullptr, nullptr, nullptr, ""},
        NamesCase{u"X:", u"\\\\host\\docs", u"Team files", u"Microsoft Windows Network",
                  ", LocalName=X:, RemoteName=\\\\host\\docs, Comment=Team files, "
                  "Provider=Microsoft Windows Network"},
        NamesCase{nullptr, nullptr, u"c", u"p", ", Comment=c, Provider=p"},
        NamesCase{nullptr, u"\\\\h\\a, b=c", nullptr, nullptr, ", RemoteName=\\\\h\\a, b=c"},
        NamesCase{u"", nullptr, nullptr, nullptr, ", LocalName="},
        NamesCase{nullptr, u"\\\\h\\\u00fcber", nullptr, nullptr,
                  ", RemoteName=\\\\h\\\xc3\xbc"
                  "ber"}));

// ---------------------------------------------------------------------------------------------

struct CancelCase {
  const char16_t *name, *provider;
  DWORD flags;
  BOOL force;
  const char* message;  // counter starts at 0, status Pre
};

class CancelTest : public ::testing::TestWithParam<CancelCase> {};

TEST_P(CancelTest, Fragments) {
  const auto& c = GetParam();
  auto name = c.name ? std::make_unique<Text>(c.name) : nullptr;
  auto provider = c.provider ? std::make_unique<Text>(c.provider) : nullptr;
  NOTIFYCANCEL cancel{name ? name->get() : nullptr, provider ? provider->get() : nullptr, c.flags,
                      c.force};
  std::atomic<DWORD> counter{0};
  NOTIFYINFO info{NOTIFY_PRE, 0, nullptr};
  EXPECT_EQ(CancelMessage(info, cancel, counter), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Cancels, CancelTest,
    ::testing::Values(
        CancelCase{nullptr, nullptr, 0, FALSE, "Pre-Cancel:Context=1, Flags=(0), Force=FALSE"},
        CancelCase{u"X:", nullptr, 3, FALSE,
                   "Pre-Cancel:Context=1, Name=X:, Flags=PersistentCancel, Force=FALSE"},
        CancelCase{u"X:", nullptr, 2, TRUE, "Pre-Cancel:Context=1, Name=X:, Flags=(2), Force=TRUE"},
        CancelCase{nullptr, u"p", 0x10, 5,
                   "Pre-Cancel:Context=1, Provider=p, Flags=(10), Force=TRUE"},
        CancelCase{u"\\\\h\\s", u"p", 1, TRUE,
                   "Pre-Cancel:Context=1, Name=\\\\h\\s, Provider=p, Flags=PersistentCancel, "
                   "Force=TRUE"}));

// ---------------------------------------------------------------------------------------------

TEST(NotifierCounter, PreCountsForBothOperationsAndPostCarriesTheContextBack) {
  std::atomic<DWORD> counter{0};
  NOTIFYINFO add{NOTIFY_PRE, 0, nullptr};
  AddMessage(add, NOTIFYADD{}, counter);
  NOTIFYINFO cancel{NOTIFY_PRE, 0, nullptr};
  CancelMessage(cancel, NOTIFYCANCEL{}, counter);
  EXPECT_EQ(Context(add.lpContext), 1u);
  EXPECT_EQ(Context(cancel.lpContext), 2u);

  add.dwNotifyStatus = NOTIFY_POST;
  EXPECT_EQ(AddMessage(add, NOTIFYADD{}, counter).rfind("Post-Add (0):Context=1, ", 0), 0u);
  NOTIFYINFO other{9, 0, Context(std::uintptr_t{0x55})};
  AddMessage(other, NOTIFYADD{}, counter);
  EXPECT_EQ(counter.load(), 2u) << "only Pre counts";
}

TEST(NotifierCounter, TwoThreadsNotifyingAtOnceLoseNoIncrement) {
  constexpr int kEach = 20000;
  std::atomic<DWORD> counter{0};
  std::vector<std::uintptr_t> seen[2];
  auto run = [&](int which) {
    for (int i = 0; i < kEach; ++i) {
      NOTIFYINFO info{NOTIFY_PRE, 0, nullptr};
      TextBuffer message;
      if (which == 0) {
        connnotify::BuildAddMessage(info, NOTIFYADD{}, counter, message);
      } else {
        connnotify::BuildCancelMessage(info, NOTIFYCANCEL{}, counter, message);
      }
      seen[which].push_back(Context(info.lpContext));
    }
  };
  std::thread a(run, 0), b(run, 1);
  a.join();
  b.join();
  EXPECT_EQ(counter.load(), 2u * kEach);
  std::vector<std::uintptr_t> all(seen[0]);
  all.insert(all.end(), seen[1].begin(), seen[1].end());
  std::sort(all.begin(), all.end());
  for (std::size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], i + 1) << "a context repeats";
}

// ---------------------------------------------------------------------------------------------

enum class Long { Local, Remote, Comment, Provider, CancelName, CancelProvider };

struct LongCase {
  Long field;
  const char* prefix;  // what must stand before the long text, intact
};

class LongTextTest : public ::testing::TestWithParam<LongCase> {};

TEST_P(LongTextTest, IsCutAtTheBufferAndStaysTerminated) {
  const auto& c = GetParam();
  Text shortName(u"X:"), longText(std::u16string(5000, u'r'));
  std::atomic<DWORD> counter{0};
  NOTIFYINFO info{NOTIFY_PRE, 0, nullptr};
  TextBuffer message;
  if (c.field == Long::CancelName || c.field == Long::CancelProvider) {
    NOTIFYCANCEL cancel{c.field == Long::CancelName ? longText.get() : shortName.get(),
                        c.field == Long::CancelProvider ? longText.get() : nullptr, 0, FALSE};
    connnotify::BuildCancelMessage(info, cancel, counter, message);
  } else {
    NOTIFYADD add{};
    add.NetResource.dwType = RESOURCETYPE_DISK;
    add.NetResource.lpLocalName = c.field == Long::Local ? longText.get() : shortName.get();
    if (c.field == Long::Remote) add.NetResource.lpRemoteName = longText.get();
    if (c.field == Long::Comment) add.NetResource.lpComment = longText.get();
    if (c.field == Long::Provider) add.NetResource.lpProvider = longText.get();
    connnotify::BuildAddMessage(info, add, counter, message);
  }
  EXPECT_EQ(message.Length(), connnotify::kBufferUnits - 1);
  EXPECT_EQ(message.Data()[message.Length()], u'\0');
  std::string text = Utf8(message.View());
  std::string prefix = c.prefix;
  ASSERT_EQ(text.substr(0, prefix.size()), prefix);
  EXPECT_EQ(text.find_first_not_of('r', prefix.size()), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, LongTextTest,
    ::testing::Values(
        LongCase{Long::Remote,
                 "Pre-Add:Context=1, AddFlags=(0), Scope=0, Type=Disk, DisplayType=Generic, "
                 "Usage=(0), LocalName=X:, RemoteName="},
        LongCase{Long::Local,
                 "Pre-Add:Context=1, AddFlags=(0), Scope=0, Type=Disk, DisplayType=Generic, "
                 "Usage=(0), LocalName="},
        LongCase{Long::Comment,
                 "Pre-Add:Context=1, AddFlags=(0), Scope=0, Type=Disk, DisplayType=Generic, "
                 "Usage=(0), LocalName=X:, Comment="},
        LongCase{Long::Provider,
                 "Pre-Add:Context=1, AddFlags=(0), Scope=0, Type=Disk, DisplayType=Generic, "
                 "Usage=(0), LocalName=X:, Provider="},
        LongCase{Long::CancelName, "Pre-Cancel:Context=1, Name="},
        LongCase{Long::CancelProvider, "Pre-Cancel:Context=1, Name=X:, Provider="}));

TEST(NotifierLongText, ANameIsReadOnlyAsFarAsItFits) {
  // Exactly the room left and no terminator: one unit more read would be out of bounds.
  std::vector<char16_t> unterminated(connnotify::kBufferUnits - 3, u'z');
  TextBuffer out;
  out.Append(u"ab");
  out.AppendString(unterminated.data());
  EXPECT_EQ(out.Length(), connnotify::kBufferUnits - 1);
  out.Append(u"more");
  out.AppendHex(0xabc);
  EXPECT_EQ(out.Length(), connnotify::kBufferUnits - 1);
  EXPECT_EQ(out.Data()[connnotify::kBufferUnits - 1], u'\0');
}

TEST(NotifierWire, TheBufferGoesOutWholeAsLittleEndianWithNothingAfterTheText) {
  TextBuffer message;
  message.Append(u"Pre-\u0101");
  connnotify::WireMessage wire;
  wire.fill(0xEE);
  connnotify::EncodeMessage(message, wire);
  ASSERT_EQ(wire.size(), 2048u);
  const unsigned char expected[] = {'P', 0, 'r', 0, 'e', 0, '-', 0, 0x01, 0x01};
  EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), wire.begin()));
  EXPECT_TRUE(std::all_of(wire.begin() + 10, wire.end(), [](unsigned char b) { return b == 0; }));
}

}  // namespace
