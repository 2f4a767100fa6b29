// A UserInteraction for tests: keeps every message shown, in order, and answers the rate
// choice from a script.
#pragma once

#include "base/interaction.h"

#include <QStringList>

#include <deque>
#include <optional>

namespace testsupport {

class RecordingInteraction : public base::UserInteraction {
public:
    void showMessage(const QString& text) override { messages.append(text); }

    std::optional<QString> chooseRate(const QStringList& items) override
    {
        rateChoices.push_back(items);
        std::optional<QString> answer; // nothing scripted: the user cancels
        if (!rateAnswers.empty()) {
            answer.swap(rateAnswers.front());
            rateAnswers.pop_front();
        }
        return answer;
    }

    void showTicketImage(const base::TicketImage& fields) override
    {
        ticketImages.push_back(fields);
    }

    QStringList messages;
    std::vector<base::TicketImage> ticketImages; // every ticket image dialog shown
    std::vector<QStringList> rateChoices;           // the items of every rate choice shown
    std::deque<std::optional<QString>> rateAnswers; // label text on OK, nullopt to cancel
};

} // namespace testsupport
