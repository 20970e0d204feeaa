#include "lineledger.h"

#include "meterprotocol.h"

#include <algorithm>

void LineLedger::asked(const Question& question) {
    pending.append(question);
    if (pending.size() > kMaxPending)
        pending.removeFirst();
}

bool LineLedger::isPending(Kind kind) const {
    return std::any_of(pending.cbegin(), pending.cend(),
                       [kind](const Question& q) { return q.kind == kind; });
}

bool LineLedger::pendingBesides(Kind kind) const {
    return std::any_of(pending.cbegin(), pending.cend(),
                       [kind](const Question& q) { return q.kind != kind; });
}

std::optional<LineLedger::Question> LineLedger::answer(const QByteArray& text,
                                                       std::optional<Kind> awaited) {
    bool can[3] = {false, false, false};
    for (Kind k : {Name, Serial})
        can[k] = texts[k] == text && isPending(k);
    // The question just asked, when nothing else fits: another meter put on the line.
    bool last = false;
    if (!can[Name] && !can[Serial]) {
        for (Kind k : {Name, Serial})
            can[k] = !texts[k] && isPending(k);
        can[Power] = true;
        last = awaited && !pending.isEmpty() && pending.constLast().kind == *awaited;
    } else {
        // A numeric identity answer reads like a reading: a request's answer may say the same.
        can[Power] = MeterProtocol::readingOfText(text).has_value();
    }
    for (qsizetype i = 0; i < pending.size(); ++i) {
        const Question q = pending.at(i);
        if (can[q.kind] || (last && i == pending.size() - 1)) {
            pending.remove(0, i + 1);
            if (q.kind != Power)
                texts[q.kind] = text;
            return q;
        }
    }
    return std::nullopt;
}
