#include "Notifier.h"

#include "CurlDelivery.h"
#include "DataRoot.h"
#include "TagTable.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <variant>

namespace halvane {

namespace {

// Lines that wait to be taken beyond this many are dropped: the journal keeps them all.
constexpr size_t kMaxIncoming = 10'000;
constexpr auto kHour = std::chrono::hours(1);

} // namespace

std::filesystem::path NotifySpoolFolder() {
    return ResolveDataPath("notify");
}

std::string NotifyStationName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0)
        return {};
    return name.data();
}

Notifier::Notifier(AlarmService& alarms, const TagTable& tags, NotifyOptions options,
                   std::string station, std::filesystem::path spoolFolder, NotifyTiming timing)
    : m_alarms(alarms), m_tags(tags), m_options(std::move(options)), m_station(std::move(station)),
      m_timing(std::move(timing)) {
    if (!m_options.smtpUrl.empty())
        m_channels.push_back(
            {"mail",
             NotifySpool(spoolFolder / "mail"),
             [this](const Notice& notice) { return MailMessage(notice, m_options, m_station); },
             [this](const std::string& payload) { return SendMail(m_options, payload, &m_abort); },
             {},
             0,
             {}});
    if (!m_options.webhookUrl.empty())
        m_channels.push_back(
            {"webhook",
             NotifySpool(spoolFolder / "webhook"),
             [this](const Notice& notice) { return WebhookBody(notice, m_station); },
             [this](const std::string& payload) {
                 return PostWebhook(m_options, payload, &m_abort);
             },
             {},
             0,
             {}});
}

Notifier::~Notifier() {
    Stop();
}

std::optional<std::string> Notifier::Start() {
    if (!m_options.enabled || m_thread.joinable())
        return std::nullopt;
    if (auto problem = NotifyOptionsProblem(m_options))
        return problem;
    for (Channel& channel : m_channels) {
        const std::vector<SpooledMessage> left = channel.spool.Pending();
        channel.waiting.assign(left.begin(), left.end());
    }
    m_stopping = false;
    m_abort = false;
    m_alarms.Subscribe(this);
    m_thread = std::thread([this] { Run(); });
    return std::nullopt;
}

void Notifier::Stop() {
    if (!m_thread.joinable())
        return;
    m_alarms.Unsubscribe(this);
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_abort = true;
    m_wake.notify_all();
    m_thread.join();
}

// On the alarm service's thread: only looked at and queued.
void Notifier::JournalLineAdded(const JournalEvent& event) {
    if (!WantsNotice(event))
        return;
    {
        const std::lock_guard lock(m_mutex);
        if (m_incoming.size() >= kMaxIncoming)
            return;
        m_incoming.push_back(event);
    }
    m_wake.notify_all();
}

bool Notifier::WantsNotice(const JournalEvent& event) const {
    if (!StartsOrEndsAlarm(event, m_options.minPriority) || *event.tag < 1)
        return false;
    bool wanted = false;
    m_tags.Read(static_cast<size_t>(*event.tag - 1),
                [&](const TDataChannel& tag) { wanted = tag.SMSAlert; });
    return wanted;
}

void Notifier::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait_for(lock, Sleep(), [this] { return m_stopping || !m_incoming.empty(); });
        if (m_stopping)
            return;
        const auto lines = std::exchange(m_incoming, {});
        lock.unlock();
        for (const JournalEvent& line : lines)
            Take(line);
        SummariseHeldBack();
        // Lines that came meanwhile are spooled before the next delivery.
        for (Channel& channel : m_channels)
            while (DeliverOldest(channel) && !m_abort && !LinesWaiting())
                ;
        lock.lock();
    }
}

bool Notifier::LinesWaiting() {
    const std::lock_guard lock(m_mutex);
    return !m_incoming.empty();
}

void Notifier::DropOldSendTimes(AlarmTime now) {
    while (!m_sentTimes.empty() && now - m_sentTimes.front() >= kHour)
        m_sentTimes.pop_front();
}

void Notifier::Take(const JournalEvent& line) {
    const AlarmTime now = m_timing.clock();
    DropOldSendTimes(now);
    if (m_sentTimes.size() >= static_cast<size_t>(m_options.maxPerHour)) {
        ++m_heldBack;
        return;
    }
    Queue(Notice{line, 0}, now);
}

// The messages held back are told in one, as soon as the hour allows one more.
void Notifier::SummariseHeldBack() {
    if (m_heldBack == 0)
        return;
    const AlarmTime now = m_timing.clock();
    DropOldSendTimes(now);
    if (m_sentTimes.size() >= static_cast<size_t>(m_options.maxPerHour))
        return;
    Notice summary;
    summary.line.time = now;
    summary.heldBack = std::exchange(m_heldBack, 0);
    Queue(summary, now);
}

void Notifier::Queue(const Notice& notice, AlarmTime now) {
    m_sentTimes.push_back(now);
    const std::string title = NoticeSubject(notice, m_station);
    for (Channel& channel : m_channels) {
        std::string payload = channel.render(notice);
        auto added = channel.spool.Add(now, title, payload);
        if (auto* failure = std::get_if<std::string>(&added)) {
            // Not in the spool, it is still sent while the station runs.
            Journal("notify-failed", channel, title + ": " + *failure);
            channel.waiting.push_back({{}, now, title, std::move(payload)});
        } else {
            channel.waiting.push_back(std::get<SpooledMessage>(std::move(added)));
        }
    }
}

bool Notifier::DeliverOldest(Channel& channel) {
    if (channel.waiting.empty())
        return false;
    const AlarmTime now = m_timing.clock();
    if (now < channel.nextAttempt)
        return false;
    const SpooledMessage& message = channel.waiting.front();
    const std::optional<std::string> failure = channel.send(message.payload);
    if (m_abort)
        return false; // cut short by Stop: tried again at the next start
    if (!failure) {
        Journal("notify-sent", channel, message.title);
    } else if (m_timing.clock() - message.queuedAt < m_timing.giveUpAfter) {
        Journal("notify-failed", channel, message.title + ": " + *failure);
        const auto& delays = m_timing.retryDelays;
        channel.nextAttempt =
            m_timing.clock() + (delays.empty()
                                    ? std::chrono::milliseconds(0)
                                    : delays[std::min(channel.failures, delays.size() - 1)]);
        ++channel.failures;
        return false;
    } else {
        Journal("notify-failed", channel,
                message.title + ": " + *failure + "; dropped, undelivered for too long");
    }
    channel.spool.Remove(message);
    channel.waiting.pop_front();
    channel.failures = 0;
    return true;
}

std::chrono::milliseconds Notifier::Sleep() const {
    auto sleep = m_timing.longestSleep;
    if (m_heldBack > 0)
        return sleep;
    const AlarmTime now = m_timing.clock();
    for (const Channel& channel : m_channels)
        if (!channel.waiting.empty())
            sleep = std::min(sleep, std::max(std::chrono::milliseconds(0),
                                             std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 channel.nextAttempt - now)));
    return sleep;
}

void Notifier::Journal(std::string_view event, const Channel& channel, std::string text) {
    JournalEvent line = EventNow(event, channel.name);
    line.time = m_timing.clock();
    line.text = std::move(text);
    m_alarms.Record(std::move(line), false);
}

} // namespace halvane
