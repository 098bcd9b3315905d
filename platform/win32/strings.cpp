#include "platform/win32/strings.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <strings.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/win32/lasterror.h"
#include "platform/win32/winerror.h"

namespace win32 {

namespace {

std::mutex g_charsetLock;

// Empty until first asked. A function-local object, so that a shared object built on this
// layer runs no constructor of ours when it is loaded.
std::string& Charset() {
  static std::string* charset = new std::string;
  return *charset;
}

// Whether the ANSI set is UTF-8, known without the lock once asked: 0 unknown, 1 yes, 2 no.
std::atomic<int> g_ansiIsUtf8{0};

std::string DetectCharset() {
  locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0))
    loc = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
  std::string name = loc ? nl_langinfo_l(CODESET, loc) : "UTF-8";
  if (loc) freelocale(loc);
  if (name.empty() || name == "ANSI_X3.4-1968" || name == "ASCII") name = "UTF-8";
  return name;
}

bool IsUtf8Name(const std::string& name) {
  return strcasecmp(name.c_str(), "UTF-8") == 0 || strcasecmp(name.c_str(), "UTF8") == 0;
}

bool AnsiIsUtf8();

// Strict UTF-8 decoding: overlong forms, surrogates and values past U+10FFFF are invalid.
bool DecodeUtf8(std::string_view in, std::u16string& out, bool replace) {
  out.clear();
  out.reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    char32_t cp;
    size_t need;
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      need = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      need = 2;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      need = 3;
    } else {
      if (!replace) return false;
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    bool ok = true;
    size_t j = 1;
    for (; ok && j <= need; ++j) {
      if (i + j >= in.size()) {
        ok = false;
        break;
      }
      unsigned char d = static_cast<unsigned char>(in[i + j]);
      if ((d & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (d & 0x3F);
    }
    if (ok) {
      static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
      ok = cp >= kMin[need] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    }
    if (!ok) {
      if (!replace) return false;
      out.push_back(0xFFFD);
      i += std::max<size_t>(1, j);
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += need + 1;
  }
  return true;
}

bool EncodeUtf8(std::u16string_view in, std::string& out, bool replace) {
  out.clear();
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    char32_t cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      if (!replace) return false;
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return true;
}

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

bool IconvToUtf16(const std::string& charset, std::string_view in, std::u16string& out) {
  Iconv cd("UTF-16LE", charset.c_str());
  if (!cd.ok()) return false;
  std::vector<char> buffer(in.size() * 4 + 4);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = buffer.data();
  size_t dstLeft = buffer.size();
  if (iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) return false;
  size_t bytes = buffer.size() - dstLeft;
  out.assign(bytes / 2, u'\0');
  std::memcpy(out.data(), buffer.data(), bytes & ~size_t{1});
  return true;
}

// Converts to a narrow set; characters it cannot hold become defaultChar.
bool IconvFromUtf16(const std::string& charset, std::u16string_view in, std::string& out,
                    const std::string& defaultChar, bool* usedDefault) {
  Iconv cd(charset.c_str(), "UTF-16LE");
  if (!cd.ok()) return false;
  out.clear();
  std::vector<char> buffer(8);
  for (size_t i = 0; i < in.size(); ++i) {
    size_t units = 1;
    if (in[i] >= 0xD800 && in[i] <= 0xDBFF) {
      if (i + 1 >= in.size() || in[i + 1] < 0xDC00 || in[i + 1] > 0xDFFF) return false;
      units = 2;
    } else if (in[i] >= 0xDC00 && in[i] <= 0xDFFF) {
      return false;
    }
    char16_t unit[2] = {in[i], units == 2 ? in[i + 1] : u'\0'};
    char* src = reinterpret_cast<char*>(unit);
    size_t srcLeft = units * 2;
    char* dst = buffer.data();
    size_t dstLeft = buffer.size();
    if (iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
      iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
      out += defaultChar;
      if (usedDefault) *usedDefault = true;
    } else {
      out.append(buffer.data(), buffer.size() - dstLeft);
    }
    i += units - 1;
  }
  return true;
}

bool ToUtf16(UINT codePage, std::string_view in, std::u16string& out) {
  if (codePage == CP_UTF8) return DecodeUtf8(in, out, false);
  if (AnsiIsUtf8()) return DecodeUtf8(in, out, false);
  std::string charset = AnsiCharset();
  return IconvToUtf16(charset, in, out);
}

bool FromUtf16(UINT codePage, std::u16string_view in, std::string& out, LPCSTR defaultChar,
               bool* usedDefault) {
  if (codePage == CP_UTF8) return EncodeUtf8(in, out, false);
  if (AnsiIsUtf8()) return EncodeUtf8(in, out, false);
  std::string charset = AnsiCharset();
  return IconvFromUtf16(charset, in, out, defaultChar ? defaultChar : "?", usedDefault);
}

}  // namespace

namespace {
bool AnsiIsUtf8() {
  int known = g_ansiIsUtf8.load(std::memory_order_acquire);
  if (known == 0) {
    known = IsUtf8Name(AnsiCharset()) ? 1 : 2;
    g_ansiIsUtf8.store(known, std::memory_order_release);
  }
  return known == 1;
}
}  // namespace

std::string AnsiCharset() {
  std::lock_guard guard(g_charsetLock);
  if (Charset().empty()) Charset() = DetectCharset();
  return Charset();
}

void SetAnsiCharsetForTesting(const std::string& charset) {
  std::lock_guard guard(g_charsetLock);
  Charset() = charset;
  g_ansiIsUtf8.store(0, std::memory_order_release);
}

bool Utf8ToUtf16(std::string_view in, std::u16string& out) {
  return DecodeUtf8(in, out, false);
}
bool Utf16ToUtf8(std::u16string_view in, std::string& out) {
  return EncodeUtf8(in, out, false);
}
std::u16string Utf16FromUtf8(std::string_view in) {
  std::u16string out;
  DecodeUtf8(in, out, true);
  return out;
}
std::string Utf8FromUtf16(std::u16string_view in) {
  std::string out;
  EncodeUtf8(in, out, true);
  return out;
}
bool AnsiToUtf16(std::string_view in, std::u16string& out) {
  return ToUtf16(CP_ACP, in, out);
}
bool Utf16ToAnsi(std::u16string_view in, std::string& out) {
  return FromUtf16(CP_ACP, in, out, nullptr, nullptr);
}

}  // namespace win32

namespace {

bool KnownCodePage(UINT codePage) {
  return codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_UTF8;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR multiByte, int multiByteLength, LPWSTR wide,
                        int wideLength) {
  if (!multiByte || multiByteLength == 0 || wideLength < 0 || (wideLength > 0 && !wide) ||
      multiByteLength < -1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!KnownCodePage(codePage)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t length =
      multiByteLength == -1 ? std::strlen(multiByte) + 1 : static_cast<size_t>(multiByteLength);
  std::u16string out;
  if (!win32::ToUtf16(codePage == CP_OEMCP ? CP_ACP : codePage, {multiByte, length}, out)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (wideLength == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<size_t>(wideLength)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(wide, out.data(), out.size() * sizeof(char16_t));
  return static_cast<int>(out.size());
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int wideLength, LPSTR multiByte,
                        int multiByteLength, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
  if (usedDefaultChar) *usedDefaultChar = FALSE;
  if (!wide || wideLength == 0 || multiByteLength < 0 || (multiByteLength > 0 && !multiByte) ||
      wideLength < -1 || !KnownCodePage(codePage)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t length = 0;
  if (wideLength == -1) {
    while (wide[length]) ++length;
    ++length;
  } else {
    length = static_cast<size_t>(wideLength);
  }
  std::string out;
  bool used = false;
  if (!win32::FromUtf16(codePage == CP_OEMCP ? CP_ACP : codePage, {wide, length}, out, defaultChar,
                        &used)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (usedDefaultChar && used) *usedDefaultChar = TRUE;
  if (multiByteLength == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<size_t>(multiByteLength)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(multiByte, out.data(), out.size());
  return static_cast<int>(out.size());
}

UINT GetACP() {
  std::string cs = win32::AnsiCharset();
  if (strcasecmp(cs.c_str(), "UTF-8") == 0) return CP_UTF8;
  unsigned n = 0;
  if (std::sscanf(cs.c_str(), "CP%u", &n) == 1 || std::sscanf(cs.c_str(), "WINDOWS-%u", &n) == 1)
    return n;
  if (std::sscanf(cs.c_str(), "ISO-8859-%u", &n) == 1) return 28590 + n;
  return CP_UTF8;
}

int lstrlenW(LPCWSTR text) {
  if (!text) return 0;
  int n = 0;
  while (text[n]) ++n;
  return n;
}
