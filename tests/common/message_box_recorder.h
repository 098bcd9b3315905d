// Records the message boxes shown while it lives, instead of showing them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/messagebox.h"
#include "platform/win32/strings.h"

namespace testsupport {

struct RecordedBox {
  std::string text;  // UTF-8
  std::string caption;
  UINT type;
};

class MessageBoxRecorder {
 public:
  MessageBoxRecorder() {
    auto presenter = std::make_unique<Presenter>(&boxes_);
    previous_ = win32::SetMessageBoxPresenter(std::move(presenter));
  }
  ~MessageBoxRecorder() { win32::SetMessageBoxPresenter(std::move(previous_)); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  const std::vector<RecordedBox>& boxes() const { return boxes_; }
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const auto& b : boxes_) out.push_back(b.text);
    return out;
  }
  void clear() { boxes_.clear(); }

 private:
  class Presenter : public win32::MessageBoxPresenter {
   public:
    explicit Presenter(std::vector<RecordedBox>* boxes) : boxes_(boxes) {}
    int Present(HWND, const std::u16string& text, const std::u16string& caption,
                UINT type) override {
      boxes_->push_back({win32::Utf8FromUtf16(text), win32::Utf8FromUtf16(caption), type});
      return IDOK;
    }

   private:
    std::vector<RecordedBox>* boxes_;
  };

  std::vector<RecordedBox> boxes_;
  std::unique_ptr<win32::MessageBoxPresenter> previous_;
};

}  // namespace testsupport
