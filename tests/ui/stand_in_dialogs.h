#pragma once

#include "ui/common_dialog.h"

#include <deque>
#include <optional>
#include <vector>

namespace kelvarin::testing {

// Answers file dialogs as a person would have, in the order given, and keeps every request.
// A dialog nobody prepared an answer for is cancelled.
class StandInDialogs final : public FileDialogBackend {
  public:
    void willChoose(const QString& path, int filter = 1) {
        answers_.push_back({true, {path, filter}});
    }
    void willCancel() { answers_.push_back({false, {}}); }
    // Forgets the answers no dialog took, as when a press stopped before its dialog.
    void dropAnswers() { answers_.clear(); }

    std::optional<FileDialogChoice> choose(const FileDialogRequest& request) override {
        requests.push_back(request);
        if (answers_.empty()) {
            return std::nullopt;
        }
        const Answer answer = answers_.front();
        answers_.pop_front();
        if (!answer.chosen) {
            return std::nullopt;
        }
        return answer.choice;
    }

    std::vector<FileDialogRequest> requests;

  private:
    struct Answer {
        bool chosen;
        FileDialogChoice choice;
    };
    std::deque<Answer> answers_;
};

} // namespace kelvarin::testing
