// A Feedback for tests: answers questions from a script and records every
// message, every progress-field text and every request to end the program,
// in order. Safe to use from the scan thread and the test thread at once.
#pragma once

#include <deque>
#include <initializer_list>
#include <functional>
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
        std::string text;                            // the box text as shown
        int answer = 0;                              // what Complain returned
    };

    // Answers for the next questions (kinds 1 and 2), in order; 1 is OK or
    // Retry, 0 is Cancel. When the script runs out, `default_answer` is used.
    void script(std::initializer_list<int> answers)
    {
        MutexLock l(mu_);
        for (int a : answers)
            answers_.push_back(a);
    }
    void set_default_answer(int a)
    {
        MutexLock l(mu_);
        default_answer_ = a;
    }
    // Called after each message is recorded (outside the lock), for tests that
    // act while a box is "open", such as pressing ABORT during a question.
    void on_complain(std::function<void(const Message&)> f)
    {
        MutexLock l(mu_);
        hook_ = std::move(f);
    }

    int Complain(int n, const char* title, const char* msg1, const char* msg2, const char* msg3) override
    {
        Message m;
        m.kind = n;
        m.title = title ? title : "";
        if (msg1) m.msg1 = msg1;
        if (msg2) m.msg2 = msg2;
        if (msg3) m.msg3 = msg3;
        m.text = complain_text(msg1, msg2, msg3);
        std::function<void(const Message&)> hook;
        {
            MutexLock l(mu_);
            if (ending_)
                return 0;   // no box is shown once the program ends
            if (n == COMPLAIN_OKCANCEL || n == COMPLAIN_RETRYCANCEL) {
                m.answer = default_answer_;
                if (!answers_.empty()) {
                    m.answer = answers_.front();
                    answers_.pop_front();
                }
                m.answer = m.answer ? 1 : 0;
            }
            messages_.push_back(m);
            hook = hook_;
        }
        if (hook)
            hook(m);
        MutexLock l(mu_);
        return ending_ ? 0 : m.answer;   // closed by the end before it was answered
    }

    void end_questions() override
    {
        MutexLock l(mu_);
        ending_ = true;
        ++questions_ended_;
    }
    int questions_ended() const
    {
        MutexLock l(mu_);
        return questions_ended_;
    }

    void set_field(int index, const char* text) override
    {
        MutexLock l(mu_);
        fields_.emplace_back(index, text ? text : "");
    }

    // Recorded as the box it stands for.
    void show_fatal(const char* msg) override { Complain(COMPLAIN_ERROR, "twinex", msg, "QUITTING...", nullptr); }

    void end_program() override
    {
        MutexLock l(mu_);
        ++ended_;
    }

    // Each as "path: reason".
    void walk_error(const char* path, const char* reason) override
    {
        MutexLock l(mu_);
        walk_errors_.push_back(std::string(path) + ": " + reason);
    }
    std::vector<std::string> walk_errors() const
    {
        MutexLock l(mu_);
        return walk_errors_;
    }

    // --- what was recorded -------------------------------------------------
    std::vector<Message> messages() const
    {
        MutexLock l(mu_);
        return messages_;
    }
    size_t message_count() const
    {
        MutexLock l(mu_);
        return messages_.size();
    }
    // The last message; a default Message (kind 0, no lines) when none.
    Message last_message() const
    {
        MutexLock l(mu_);
        return messages_.empty() ? Message() : messages_.back();
    }
    // Every field text set, in order, as (index, text).
    std::vector<std::pair<int, std::string>> field_events() const
    {
        MutexLock l(mu_);
        return fields_;
    }
    // Every text field `index` was given, in order.
    std::vector<std::string> field_texts(int index) const
    {
        MutexLock l(mu_);
        std::vector<std::string> out;
        for (const auto& f : fields_)
            if (f.first == index)
                out.push_back(f.second);
        return out;
    }
    // The text field `index` shows now ("" when never set).
    std::string field(int index) const
    {
        MutexLock l(mu_);
        for (auto it = fields_.rbegin(); it != fields_.rend(); ++it)
            if (it->first == index)
                return it->second;
        return "";
    }
    int end_requests() const
    {
        MutexLock l(mu_);
        return ended_;
    }
    void clear()
    {
        MutexLock l(mu_);
        messages_.clear();
        fields_.clear();
        answers_.clear();
        ended_ = 0;
        ending_ = false;
        questions_ended_ = 0;
    }

private:
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
