#pragma once

#include "MemoDetails.h"

#include <QByteArray>
#include <QJsonObject>

#include <optional>

// What the command line and the memo service say to each other: one JSON object a
// line, each with "version". A request names what it wants in "request" ("memo",
// "warm", "status", "stop"); every answer has a "status" ("working" while a memo is
// under way, then "written", "failed" or "declined"). Texts travel as base64 of their
// UTF-16, so every character arrives as it was typed; documents as base64 of their bytes.
namespace ServiceProtocol {

constexpr int kVersion = 1;

QByteArray line(QJsonObject message);
// The message of one line; nothing when it is no object of this version.
std::optional<QJsonObject> message(const QByteArray &line);

QJsonObject memoObject(const MemoDetails &memo);
std::optional<MemoDetails> memoFrom(const QJsonObject &object);

// What, besides the request, shapes a memo made in this process: the office started,
// the locale that words the date, when offices are replaced. A service whose key
// differs from the command's declines its memos, which the command then makes itself.
QString environmentKey();

QString bytesText(const QByteArray &bytes);
QByteArray bytesFrom(const QJsonValue &value);

} // namespace ServiceProtocol
