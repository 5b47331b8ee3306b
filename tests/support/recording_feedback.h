// A Feedback for tests: answers questions from a script and records every
// message, every progress-field text and every request to end the program,
// in order. Safe to use from the scan thread and the test thread at once.
#pragma once

#include <deque>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/feedback.h"
#include "platform/platform.h"

class RecordingFeedback : public Feedback {
public:
    struct Message {
        int kind = 0;
        std::string title;
        std::optional<std::string> msg1, msg2, msg3;  // nullopt: the line was null
        std::string text;                             // the box text as shown
        int answer = 0;                               // what Complain returned
    };

    // Answers for the next questions (kinds 1 and 2), in order; 1 is OK or
    // Retry, 0 is Cancel. When the script runs out, the default answer (OK
    // unless set) is used.
    void script(std::initializer_list<int> answers) { locked([&] { answers_.insert(answers_.end(), answers); }); }
    void set_default_answer(int a) { locked([&] { default_answer_ = a; }); }
    // Called after each message is recorded (outside the lock), for tests that
    // act while a box is "open", such as pressing ABORT during a question.
    void on_complain(std::function<void(const Message&)> f) { locked([&] { hook_ = std::move(f); }); }

    int Complain(int n, const char* title, const char* msg1, const char* msg2, const char* msg3) override
    {
        auto line = [](const char* s) { return s ? std::optional<std::string>(s) : std::nullopt; };
        Message m{n, title ? title : "", line(msg1), line(msg2), line(msg3), complain_text(msg1, msg2, msg3), 0};
        std::function<void(const Message&)> hook;
        {
            MutexLock l(mu_);
            if (ending_) return 0;  // no box is shown once the program ends
            if (n == COMPLAIN_OKCANCEL || n == COMPLAIN_RETRYCANCEL) {
                m.answer = answers_.empty() ? default_answer_ : answers_.front();
                m.answer = m.answer ? 1 : 0;
                if (!answers_.empty()) answers_.pop_front();
            }
            messages_.push_back(m);
            hook = hook_;
        }
        if (hook) hook(m);
        MutexLock l(mu_);
        return ending_ ? 0 : m.answer;  // closed by the end before it was answered
    }
    void end_questions() override { locked([&] { ending_ = true, ++questions_ended_; }); }
    void set_field(int index, const char* text) override { locked([&] { fields_.emplace_back(index, text ? text : ""); }); }
    // Recorded as the box it stands for.
    void show_fatal(const char* msg) override { Complain(COMPLAIN_ERROR, "twinex", msg, "QUITTING...", nullptr); }
    void end_program() override { locked([&] { ++ended_; }); }
    // Each as "path: reason".
    void walk_error(const char* path, const char* reason) override
    {
        locked([&] { walk_errors_.push_back(std::string(path) + ": " + reason); });
    }

    // --- what was recorded -------------------------------------------------
    std::vector<std::string> walk_errors() const { return copy(walk_errors_); }
    std::vector<Message> messages() const { return copy(messages_); }
    size_t message_count() const { return messages().size(); }
    // The last message; a default Message (kind 0, no lines) when none.
    Message last_message() const { return messages().empty() ? Message() : messages().back(); }
    // Every text field `index` was given, in order.
    std::vector<std::string> field_texts(int index) const
    {
        std::vector<std::string> out;
        for (const auto& f : copy(fields_))
            if (f.first == index) out.push_back(f.second);
        return out;
    }
    // The text field `index` shows now ("" when never set).
    std::string field(int index) const { return field_texts(index).empty() ? "" : field_texts(index).back(); }
    int end_requests() const { return copy(ended_); }
    int questions_ended() const { return copy(questions_ended_); }
    void clear()
    {
        locked([&] {
            messages_.clear(), fields_.clear(), answers_.clear();
            ended_ = questions_ended_ = 0;
            ending_ = false;
        });
    }

private:
    template <class F>
    void locked(F f) { MutexLock l(mu_); f(); }
    template <class T>
    T copy(const T& value) const { MutexLock l(mu_); return value; }

    mutable Mutex mu_;
    std::deque<int> answers_;
    int default_answer_ = 1;
    std::function<void(const Message&)> hook_;
    std::vector<Message> messages_;
    std::vector<std::pair<int, std::string>> fields_;
    std::vector<std::string> walk_errors_;
    int ended_ = 0;
    bool ending_ = false;
    int questions_ended_ = 0;
};
