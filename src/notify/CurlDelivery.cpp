#include "CurlDelivery.h"

#include "NotifyMessage.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>

namespace halvane {

namespace {

constexpr long kTimeoutSeconds = 10;
constexpr size_t kMaxReplyBytes = 2048;
constexpr size_t kMaxReplyShown = 200;

struct EasyDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using List = std::unique_ptr<curl_slist, ListDeleter>;

// libcurl's global state is set up once, before the first handle of any thread.
Easy NewEasy() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    return Easy(curl_easy_init());
}

List Append(List list, const std::string& line) {
    curl_slist* longer = curl_slist_append(list.get(), line.c_str());
    if (longer)
        static_cast<void>(list.release());
    return List(longer ? longer : list.release());
}

// What one transfer saw of the server besides its outcome.
struct Exchange {
    std::string_view upload; // what is still to be sent
    std::string reply;       // the start of an HTTP reply's body
    std::string lastRefusal; // the server's last line starting 4xx or 5xx (mail)
    const std::atomic<bool>* abort = nullptr;
    char error[CURL_ERROR_SIZE] = {};
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* data) {
    auto& exchange = *static_cast<Exchange*>(data);
    const size_t taken = std::min(size * count, exchange.upload.size());
    std::memcpy(buffer, exchange.upload.data(), taken);
    exchange.upload.remove_prefix(taken);
    return taken;
}

size_t KeepReply(char* data, size_t size, size_t count, void* target) {
    auto& exchange = *static_cast<Exchange*>(target);
    const size_t bytes = size * count;
    exchange.reply.append(
        data, std::min(bytes, kMaxReplyBytes - std::min(kMaxReplyBytes, exchange.reply.size())));
    return bytes;
}

// Only what the server said is looked at: what we sent (a login among it) is never kept.
int WatchServer(CURL*, curl_infotype type, char* data, size_t size, void* target) {
    if (type != CURLINFO_HEADER_IN || size < 3)
        return 0;
    std::string_view line(data, size);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.front() == '4' || line.front() == '5')
        static_cast<Exchange*>(target)->lastRefusal = OneLine(line.substr(0, kMaxReplyShown));
    return 0;
}

int CheckAbort(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* abort = static_cast<Exchange*>(data)->abort;
    return abort && abort->load() ? 1 : 0;
}

void CommonSetup(CURL* curl, const NotifyOptions& options, Exchange& exchange) {
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, exchange.error);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CheckAbort);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &exchange);
    if (!options.caFile.empty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, options.caFile.c_str());
}

// The failure as a sentence: libcurl's words, its details and the server's refusal, with
// the password (should a server repeat it) masked.
std::string Failure(CURLcode code, const Exchange& exchange, const NotifyOptions& options) {
    std::string text = curl_easy_strerror(code);
    if (exchange.error[0] != '\0' && text != exchange.error)
        text += ": " + std::string(exchange.error);
    if (!exchange.lastRefusal.empty())
        text += " (server: " + exchange.lastRefusal + ")";
    const std::string& password = options.smtpPassword;
    for (size_t at = password.empty() ? std::string::npos : text.find(password);
         at != std::string::npos; at = text.find(password, at))
        text.replace(at, password.size(), "***");
    return OneLine(text);
}

long UseSsl(StartTls mode) {
    switch (mode) {
    case StartTls::Optional:
        return CURLUSESSL_TRY;
    case StartTls::Off:
        return CURLUSESSL_NONE;
    case StartTls::Required:
        break;
    }
    return CURLUSESSL_ALL;
}

} // namespace

std::optional<std::string> SendMail(const NotifyOptions& options, std::string_view message,
                                    const std::atomic<bool>* abort) {
    const Easy curl = NewEasy();
    if (!curl)
        return std::string("libcurl could not start a transfer");
    Exchange exchange;
    exchange.upload = message;
    exchange.abort = abort;
    CommonSetup(curl.get(), options, exchange);
    List recipients;
    for (const std::string& address : Recipients(options.to))
        recipients = Append(std::move(recipients), "<" + OneLine(address) + ">");
    const std::string from = "<" + OneLine(options.from) + ">";
    curl_easy_setopt(curl.get(), CURLOPT_URL, options.smtpUrl.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_USE_SSL, UseSsl(options.smtpStartTls));
    if (!options.smtpUser.empty()) {
        curl_easy_setopt(curl.get(), CURLOPT_USERNAME, options.smtpUser.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_PASSWORD, options.smtpPassword.c_str());
    }
    curl_easy_setopt(curl.get(), CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(curl.get(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_READFUNCTION, ReadUpload);
    curl_easy_setopt(curl.get(), CURLOPT_READDATA, &exchange);
    curl_easy_setopt(curl.get(), CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_DEBUGFUNCTION, WatchServer);
    curl_easy_setopt(curl.get(), CURLOPT_DEBUGDATA, &exchange);
    const CURLcode code = curl_easy_perform(curl.get());
    if (code != CURLE_OK)
        return Failure(code, exchange, options);
    return std::nullopt;
}

std::optional<std::string> PostWebhook(const NotifyOptions& options, std::string_view json,
                                       const std::atomic<bool>* abort) {
    const Easy curl = NewEasy();
    if (!curl)
        return std::string("libcurl could not start a transfer");
    Exchange exchange;
    exchange.abort = abort;
    CommonSetup(curl.get(), options, exchange);
    // No "Expect: 100-continue": a receiver that does not answer it would cost a second.
    List headers = Append(Append(List(), "Content-Type: application/json"), "Expect:");
    // A header holding a line break would start lines of its own: it is not sent.
    if (!options.webhookHeader.empty() && OneLine(options.webhookHeader) == options.webhookHeader)
        headers = Append(std::move(headers), options.webhookHeader);
    curl_easy_setopt(curl.get(), CURLOPT_URL, options.webhookUrl.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, json.data());
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(json.size()));
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, KeepReply);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &exchange);
    const CURLcode code = curl_easy_perform(curl.get());
    if (code != CURLE_OK)
        return Failure(code, exchange, options);
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status < 400)
        return std::nullopt;
    std::string text = "HTTP " + std::to_string(status);
    if (!exchange.reply.empty())
        text += ": " + OneLine(exchange.reply.substr(0, kMaxReplyShown));
    return text;
}

std::optional<std::string> SendTestMessage(const NotifyOptions& options, std::string_view station) {
    if (auto problem = NotifyOptionsProblem(options))
        return problem;
    if (options.smtpUrl.empty() && options.webhookUrl.empty())
        return std::string("Neither a mail server nor a webhook is set.");
    Notice test;
    test.line.event = std::string(kTestEvent);
    test.line.time = std::chrono::system_clock::now();
    if (!options.smtpUrl.empty())
        if (auto failure = SendMail(options, MailMessage(test, options, station)))
            return "Mail: " + *failure;
    if (!options.webhookUrl.empty())
        if (auto failure = PostWebhook(options, WebhookBody(test, station)))
            return "Webhook: " + *failure;
    return std::nullopt;
}

} // namespace halvane
