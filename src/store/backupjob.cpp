#include "backupjob.h"

#include <QObject>
#include <QThread>

BackupJob::~BackupJob()
{
    if (m_thread)
        m_thread->wait();
}

bool BackupJob::start(const QString &waitText, QObject *context, std::function<Result<QString>()> work,
                      std::function<void(const Result<QString> &)> done)
{
    if (m_thread)
        return false;
    auto outcome = std::make_shared<Result<QString>>();
    m_thread.reset(QThread::create([work = std::move(work), outcome] { *outcome = work(); }));
    m_waitText = waitText;
    QThread *thread = m_thread.get();
    // Queued to `context`'s thread: the outcome is handed over where the store is used.
    QObject::connect(
        thread, &QThread::finished, context,
        [this, thread, outcome, done = std::move(done)] {
            if (m_thread.get() != thread)
                return;
            m_thread->wait();
            m_thread.reset();
            done(*outcome);
        },
        Qt::QueuedConnection);
    thread->start();
    return true;
}
