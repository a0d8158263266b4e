#pragma once

#include "common/result.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>

// One long copy of the store (a backup, the fetch of a restore) on a thread of its own, so the
// event loop goes on serving the café's PCs meanwhile. The work must use connections of its
// own; its outcome comes back on the event loop.
class BackupJob final
{
public:
    BackupJob() = default;
    // Waits for a copy still running: it holds a connection to the store.
    ~BackupJob();
    BackupJob(const BackupJob &) = delete;
    BackupJob &operator=(const BackupJob &) = delete;

    bool running() const { return m_thread != nullptr; }
    // What the command path says while the job runs (empty when none runs).
    QString waitText() const { return running() ? m_waitText : QString(); }

    // Runs `work` aside; `done` gets its outcome on the thread of `context`, unless `context`
    // is gone by then. False (nothing started) while another copy runs.
    bool start(const QString &waitText, QObject *context, std::function<Result<QString>()> work,
               std::function<void(const Result<QString> &)> done);

private:
    std::unique_ptr<QThread> m_thread;
    QString m_waitText;
};
