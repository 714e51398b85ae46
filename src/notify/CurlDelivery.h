#pragma once

#include "NotifyOptions.h"

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

namespace halvane {

// One attempt to hand a message over, through libcurl, within 10 s: nothing when the
// server took it, else why not, with the server's own reply when it gave one. The
// password never appears in what is returned. A set `abort` ends the attempt early.

// `message` (MailMessage) to each recipient of `options.to`, from `options.from`, through
// `options.smtpUrl` with TLS as `options.smtpStartTls` asks (smtps:// always), logging in
// when a user is set.
std::optional<std::string> SendMail(const NotifyOptions& options, std::string_view message,
                                    const std::atomic<bool>* abort = nullptr);

// `json` POSTed to `options.webhookUrl` as application/json, with `options.webhookHeader`
// as one more header line; a reply status of 400 or above is a failure.
std::optional<std::string> PostWebhook(const NotifyOptions& options, std::string_view json,
                                       const std::atomic<bool>* abort = nullptr);

// A test message through every channel the options set (mail, then webhook), waiting for
// the outcome (up to 10 s each: call it off the window's thread): nothing when each took it, else
// the first failure ("Mail: ..." or "Webhook: ..."), or why the options cannot be used.
std::optional<std::string> SendTestMessage(const NotifyOptions& options, std::string_view station);

} // namespace halvane
