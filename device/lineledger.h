#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// The questions written to one serial line whose answers may still come, oldest first, and what
// the meter is known to answer to its two identity queries. It tells which question a reply
// answers from their order alone, never from timing: the meter answers in order and may leave a
// question unanswered, so a reply answers the earliest pending question it can be the answer to
// or a later one, and every question before that one will get no answer. Taking the earliest
// keeps questions pending that may be done with, never the other way round.
//
// A reply can be the answer to a question of a kind whose known answer it equals (or to a power
// request, when that answer reads as a number); failing that, to one whose answer is not known
// yet, to a power request, or to the question just asked (a different meter put on the line says
// other things). Callers keep at most one kind with an unknown answer pending besides power
// requests, which all come before it, so no reply is put down to a question it cannot answer.
class LineLedger {
public:
    enum Kind : quint8 { Name, Serial, Power };
    struct Question {
        Kind kind = Name;
        double freqKHz = 0;  // what a power request asked
        bool att = false;
    };

    void asked(const Question& question);
    // The question a reply with this "OK" text answers, taken off with every question before it;
    // none when no pending question can have it. `awaited`: the kind of the question just asked.
    std::optional<Question> answer(const QByteArray& text, std::optional<Kind> awaited);

    bool isPending(Kind kind) const;
    bool pendingBesides(Kind kind) const;
    qsizetype size() const { return pending.size(); }
    // An identity query's answer, learnt from replies or told; a changed meter may replace it.
    void know(Kind kind, const QByteArray& text) { texts[kind] = text; }
    std::optional<QByteArray> known(Kind kind) const { return texts[kind]; }

private:
    // Questions of a line left silent for days: the oldest go, long past any late answer.
    static constexpr qsizetype kMaxPending = 64;

    QList<Question> pending;
    std::optional<QByteArray> texts[2];
};
