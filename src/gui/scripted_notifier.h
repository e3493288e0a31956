#pragma once

#include <QString>
#include <QStringList>
#include <deque>

#include "gui/notifier.h"

namespace clinora {

// A notifier for tests: records every text and answers questions from a
// script (No when the script is empty).
class ScriptedNotifier final : public Notifier {
public:
    struct Shown {
        QString kind;  // "message", "error", "question", "timed"
        QString text;
        int seconds = 0;
    };

    void message(const QString& text) override { shown.push_back({"message", text}); }
    void error(const QString& text) override { shown.push_back({"error", text}); }
    bool question(const QString& text) override {
        shown.push_back({"question", text});
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void timedMessage(int seconds, const QString& text) override {
        shown.push_back({"timed", text, seconds});
    }

    QStringList texts() const {
        QStringList list;
        for (const auto& s : shown) list << s.text;
        return list;
    }

    std::deque<bool> answers;
    std::deque<Shown> shown;
};

}  // namespace clinora
