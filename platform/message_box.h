#pragma once

#include <QString>

#include <functional>

namespace platform {

/// The application title that titles every message box.
inline const QString AppTitle = QStringLiteral("pavex");

/// Shows `prompt` in a modal message box titled AppTitle with one OK button and no icon;
/// returns when the user has closed it.
void MsgBox(const QString& prompt);

/// What MsgBox() does: receives the title and the prompt and returns when the box is closed.
using MessageBoxHandler = std::function<void(const QString& title, const QString& prompt)>;

/// Replaces what MsgBox() does (tests answer the box without blocking); returns the previous
/// handler. An empty handler restores the real message box.
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);

} // namespace platform
