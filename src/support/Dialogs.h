// Everything that talks to the user goes through Dialogs: message boxes, questions,
// input boxes and file choices. The desktop program shows real dialogs; tests and the
// batch tool answer from a script and keep what was shown.
#pragma once

#include "support/Message.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace support {

class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A message box with a single button.
    virtual void Message(BoxKind kind, const std::string &text, BoxButton button) = 0;
    void Error(const std::string &text, BoxButton button = BoxButton::Ok) {
        Message(BoxKind::Error, text, button);
    }
    void Warning(const std::string &text) { Message(BoxKind::Warning, text, BoxButton::Ok); }
    void Information(const std::string &text) {
        Message(BoxKind::Information, text, BoxButton::Ok);
    }
    // Shows what a reader or writer handed back, in its order.
    void Show(const TMessages &messages) {
        for (const TMessage &m : messages)
            Message(m.Kind, m.Text, m.Button);
    }

    // A warning with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string &text) = 0;
    // A one-line input box; "Cancel" yields `defaultText`.
    virtual std::string InputBox(const std::string &caption, const std::string &prompt,
                                 const std::string &defaultText) = 0;
    // File choices starting in the current folder; nullopt / empty when cancelled.
    virtual std::vector<std::string> OpenFiles(const std::string &title,
                                               const std::string &filter) = 0;
    virtual std::optional<std::string> SaveFile(const std::string &title, const std::string &filter,
                                                const std::string &defaultExt) = 0;
};

// The one "Overwrite?" question: true when nothing is at the path, or the user says Yes to
// `question` + path + " ?".
bool MayOverwrite(Dialogs &dialogs, const std::string &path,
                  const std::string &question = "Overwrite ");

// Answers from queues (the default when a queue is empty: No, the default text, cancel)
// and records every box shown.
class ScriptedDialogs : public Dialogs {
  public:
    struct Shown {
        BoxKind kind;
        std::string text;
        BoxButton button;
    };
    std::vector<Shown> shown;
    std::vector<std::string> questions, prompts;
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<std::string>> inputAnswers; // nullopt = Cancel
    std::deque<std::vector<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;

    void Message(BoxKind kind, const std::string &text, BoxButton button) override {
        shown.push_back({kind, text, button});
    }
    bool AskYesNo(const std::string &text) override {
        questions.push_back(text);
        return Pop(yesNoAnswers, false);
    }
    std::string InputBox(const std::string &, const std::string &prompt,
                         const std::string &defaultText) override {
        prompts.push_back(prompt);
        return Pop(inputAnswers, std::optional<std::string>()).value_or(defaultText);
    }
    std::vector<std::string> OpenFiles(const std::string &, const std::string &) override {
        return Pop(openAnswers, std::vector<std::string>());
    }
    std::optional<std::string> SaveFile(const std::string &, const std::string &,
                                        const std::string &) override {
        return Pop(saveAnswers, std::optional<std::string>());
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const Shown &s : shown)
            out.push_back(s.text);
        return out;
    }

  private:
    template <class Q, class T> static T Pop(Q &q, T fallback) {
        if (q.empty())
            return fallback;
        T v = q.front();
        q.pop_front();
        return v;
    }
};

} // namespace support
