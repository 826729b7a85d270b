#include "publish/passwordstore.h"

#include <QEventLoop>

#include <qt6keychain/keychain.h>

using namespace Qt::StringLiterals;

namespace {

// The secret store's service name: every Orvan password is filed under it,
// keyed by destination (scheme, user, server and port).
const QString kService = u"Orvan publishing"_s;

// Runs a keychain job to its end; the library answers through the event loop.
void RunJob(QKeychain::Job& job) {
    job.setAutoDelete(false);
    // A store that cannot keep secrets safely is no store: never fall back to a plain file.
    job.setInsecureFallback(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
}

bool StoreMissing(QKeychain::Error error) {
    return error == QKeychain::NoBackendAvailable || error == QKeychain::NotImplemented ||
           error == QKeychain::OtherError || error == QKeychain::AccessDenied;
}

} // namespace

PasswordStore::PasswordStore(bool secretService) : m_secretService(secretService) {}

std::optional<QString> PasswordStore::find(const QString& key) {
    const auto it = m_memory.constFind(key);
    if (it != m_memory.constEnd())
        return *it;
    if (!m_secretService)
        return std::nullopt;
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(key);
    RunJob(job);
    if (job.error() == QKeychain::NoError) {
        m_memory.insert(key, job.textData());
        return job.textData();
    }
    if (StoreMissing(job.error()))
        m_secretService = false;
    return std::nullopt;
}

void PasswordStore::remember(const QString& key, const QString& password) {
    m_memory.insert(key, password);
    if (!m_secretService)
        return;
    QKeychain::WritePasswordJob job(kService);
    job.setKey(key);
    job.setTextData(password);
    RunJob(job);
    if (job.error() != QKeychain::NoError)
        m_secretService = false;
}

void PasswordStore::keepForSession(const QString& key, const QString& password) {
    m_memory.insert(key, password);
}

void PasswordStore::forget(const QString& key) {
    m_memory.remove(key);
    if (!m_secretService)
        return;
    QKeychain::DeletePasswordJob job(kService);
    job.setKey(key);
    RunJob(job);
}
