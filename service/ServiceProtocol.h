#pragma once

#include "MemoDetails.h"

#include <QByteArray>
#include <QJsonObject>

#include <optional>

// What the command line and the memo service say to each other: one JSON object a
// line, each with "version". A request names what it wants in "request" ("memo",
// "warm", "status", "stop"); every answer has a "status": "working" while a memo is
// under way, then "written", "invalid" (the memo itself cannot be made: "error" says
// why, in the command's words), "failed" (the service could not make it: its folder,
// office or disk; the command makes it itself) or "declined". Texts travel as base64 of
// their UTF-16, so every character arrives as it was typed; documents as base64 of
// their bytes.
namespace ServiceProtocol {

constexpr int kVersion = 2;

// The longest request line the service reads: a memo of some six million characters.
// A longer one is declined, and a command with a longer memo makes it itself.
constexpr qsizetype kLongestLine = 16 * 1024 * 1024;

QByteArray line(QJsonObject message);
// The message of one line; nothing when it is no object of this version.
std::optional<QJsonObject> message(const QByteArray &line);

QJsonObject memoObject(const MemoDetails &memo);
// Throws Failure saying why, in the command's words, when the object is no memo.
MemoDetails memoFrom(const QJsonObject &object);

// What, besides the request, shapes a memo made in this process: this very program
// (its templates), the office started, the locale that words the date, the home whose
// fonts the office finds, when offices are replaced. A service whose environment
// differs from the command's declines its memos, which the command then makes itself.
// The temporary folder is not part of it: the service uses its own.
QJsonObject environment();

QString bytesText(const QByteArray &bytes);
QByteArray bytesFrom(const QJsonValue &value);

} // namespace ServiceProtocol
