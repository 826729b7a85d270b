// Passwords of publishing destinations: in the desktop's secret store
// (through QtKeychain) when one runs, otherwise only in this process's memory,
// never in a file of ours.
#pragma once

#include <QHash>
#include <QString>

#include <optional>

class PasswordStore final {
public:
    // secretService false keeps every password in memory only (tests, and
    // a user who wants nothing written down).
    explicit PasswordStore(bool secretService = true);

    // The password filed under key: from memory, else from the secret store.
    std::optional<QString> find(const QString& key);
    // In the secret store when one runs, and in memory for the rest of the run.
    void remember(const QString& key, const QString& password);
    // In memory only, for the rest of the run: the user did not want it written down.
    void keepForSession(const QString& key, const QString& password);
    // A password the server refused is dropped from both.
    void forget(const QString& key);
    // False once the secret store has failed to answer; the caller then says
    // that passwords will be asked each time.
    bool secretServiceAvailable() const { return m_secretService; }

private:
    bool m_secretService;
    QHash<QString, QString> m_memory;
};
