// Records the message boxes the code under test shows, instead of showing
// them: what a user would have seen, without a user. Install one per test.
// Each box is answered with the next queued answer, IDOK when none is left.
#pragma once

#include "toolkit/Services.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

struct RecordedMessageBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

class MessageBoxRecorder {
public:
    MessageBoxRecorder() { previous_ = SetMessageBoxHandler(&Record); }
    ~MessageBoxRecorder() {
        SetMessageBoxHandler(previous_);
        std::lock_guard<std::mutex> lock(Mutex());
        Boxes().clear();
        Answers().clear();
    }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<RecordedMessageBox> Shown() const {
        std::lock_guard<std::mutex> lock(Mutex());
        return Boxes();
    }

    // The answers of the next boxes, in order.
    void QueueAnswers(std::initializer_list<int> answers) {
        std::lock_guard<std::mutex> lock(Mutex());
        Answers().insert(Answers().end(), answers);
    }

    std::vector<std::string> Captions() const {
        std::vector<std::string> captions;
        for (const RecordedMessageBox& box : Shown()) captions.push_back(box.caption);
        return captions;
    }

private:
    static int Record(HWND owner, const char* text, const char* caption, UINT style) {
        std::lock_guard<std::mutex> lock(Mutex());
        Boxes().push_back({owner, text ? text : "", caption ? caption : "", style});
        if (Answers().empty()) return IDOK;
        int answer = Answers().front();
        Answers().pop_front();
        return answer;
    }
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    static std::deque<int>& Answers() {
        static std::deque<int> answers;
        return answers;
    }
    static std::vector<RecordedMessageBox>& Boxes() {
        static std::vector<RecordedMessageBox> boxes;
        return boxes;
    }

    MessageBoxHandler previous_ = nullptr;
};
