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
    if (!can[Name] && !can[Serial]) {
        for (Kind k : {Name, Serial})
            can[k] = !texts[k] && isPending(k);
        if (awaited)
            can[*awaited] = true;
        can[Power] = true;
    } else {
        // A numeric identity answer reads like a reading: a request's answer may say the same.
        can[Power] = MeterProtocol::readingOfText(text).has_value();
    }
    const auto it = std::find_if(pending.cbegin(), pending.cend(),
                                 [&can](const Question& q) { return can[q.kind]; });
    if (it == pending.cend())
        return std::nullopt;
    const Question found = *it;
    pending.erase(pending.cbegin(), it + 1);
    if (found.kind != Power)
        texts[found.kind] = text;
    return found;
}
